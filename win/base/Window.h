#pragma once

// Base of every window of the program. One static window procedure finds the C++ object of a window
// and forwards to HandleMessage, whose switch calls handlers named after the messages. A derived
// class overrides the handlers it needs, or HandleMessage itself for messages without a handler
// (calling the base for the rest). Every handler's base version gives the message its default
// processing, so an override may run the default first and add to it.
//
// No exception leaves the window procedure: it is traced to the debugger output and the message gets
// a fixed result (creation fails for WM_NCCREATE/WM_CREATE, WM_PAINT validates the window so that
// painting does not repeat for ever, every other message returns 0).

#include <windows.h>

#include <string>
#include <string_view>

namespace dravel::win {

// The text of any window (GetWindowTextW) as a string.
std::wstring WindowText(HWND hwnd);

class CWindow {
public:
    CWindow() noexcept = default;
    // A window still alive is destroyed (or, if it was only subclassed, released) here; its handlers
    // no longer run at that point. Destroy windows explicitly where OnDestroy matters.
    virtual ~CWindow();

    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;

    HWND GetHwnd() const noexcept { return m_hWnd; }
    bool IsWindow() const noexcept { return m_hWnd != nullptr && ::IsWindow(m_hWnd); }

    // Registers a class of the program's module whose procedure is CWindow's. A class of that name
    // registered before also counts as success. A null cursor means the arrow.
    static bool RegisterWindowClass(const wchar_t* className, UINT style = CS_HREDRAW | CS_VREDRAW,
                                    HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1),
                                    HCURSOR cursor = nullptr, HICON icon = nullptr, HICON smallIcon = nullptr);
    // The same with every field given; lpfnWndProc and a null hInstance are filled in.
    static bool RegisterWindowClass(WNDCLASSEXW wc);

    // Creates a window of a class registered with RegisterWindowClass and binds it to this object.
    HWND Create(const wchar_t* className, const wchar_t* title, DWORD style, int x = CW_USEDEFAULT,
                int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, HWND parent = nullptr,
                HMENU menuOrId = nullptr, DWORD exStyle = 0);

    // Takes over an existing window (a control made by a dialog template, say): its messages come to
    // HandleMessage first and default processing goes to its original procedure. When this object goes, the
    // window is given back to that procedure, not destroyed.
    bool Subclass(HWND hwnd);

    bool DestroyWindow();

    BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
    std::wstring GetText() const { return WindowText(m_hWnd); }
    bool SetText(std::wstring_view text) const;
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) const { return ::SetTimer(m_hWnd, id, elapseMs, nullptr); }
    bool KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id) != FALSE; }
    void Invalidate(bool bErase = true) const { ::InvalidateRect(m_hWnd, nullptr, bErase ? TRUE : FALSE); }
    RECT GetClientRect() const;
    RECT GetWindowRect() const;
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }
    bool PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageW(m_hWnd, msg, wParam, lParam) != FALSE;
    }

    // Centres the window over relativeTo, or else over its owner (its parent for a child window); with
    // neither, or one that is hidden or minimised, over the work area. The result is kept inside the
    // work area of the monitor.
    void CenterWindow(HWND relativeTo = nullptr) const;

protected:
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    // Default processing: the original procedure of a subclassed window, else DefWindowProcW.
    LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled now.
    LRESULT Default();

    // Return false to make creation fail.
    virtual bool OnCreate(CREATESTRUCTW& cs);
    virtual void OnDestroy();
    virtual void OnClose();
    // WM_COMMAND; return true if handled, false for default processing.
    virtual bool OnCommand(int id, int code, HWND hwndCtl);
    virtual LRESULT OnNotify(int id, NMHDR& hdr);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnPaint();
    // Return true if the background was erased.
    virtual bool OnEraseBkgnd(HDC hdc);
    virtual void OnSysCommand(UINT cmd, LPARAM lParam);
    virtual void OnMouseMove(UINT keys, POINT pt);
    virtual void OnLButtonDown(UINT keys, POINT pt);
    virtual void OnLButtonUp(UINT keys, POINT pt);
    virtual void OnGetMinMaxInfo(MINMAXINFO& info);
    // pt in screen coordinates; returns an HT* code.
    virtual UINT OnNcHitTest(POINT pt);

    // Notifications a control sends its parent (WM_DRAWITEM, WM_COMMAND from a control, WM_CTLCOLORBTN)
    // are first offered here, on the control's own object, when the control is a bound child of a
    // CWindow: a control can then draw and react by itself (owner-drawn buttons). Return true and set
    // result to answer in the parent's place; a reflected WM_COMMAND still reaches the parent. Runs
    // inside the parent's message, so it must not call Default().
    virtual bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Called once after the last message of the window (WM_NCDESTROY), when no handler of this object is
    // running any more. A window that owns itself may delete this here.
    virtual void OnFinalMessage(HWND hwnd);

public:
    // How many message handlers of this program run on this thread, the caller's included: 1 means
    // the caller was called straight from a message loop with nothing of ours below it. Entry points
    // that are not windows of this base (socket notifications) count themselves with CHandlerScope.
    static int HandlerDepth() noexcept;
    class CHandlerScope {
    public:
        CHandlerScope() noexcept;
        ~CHandlerScope();
        CHandlerScope(const CHandlerScope&) = delete;
        CHandlerScope& operator=(const CHandlerScope&) = delete;
    };

protected:
    // Binding used by the window and dialog procedures.
    bool Bind(HWND hwnd, bool bSubclass);
    void Unbind();
    static CWindow* FromHandle(HWND hwnd);
    // The object whose window is being created on this thread; consumed when the window binds.
    static void SetPendingCreate(CWindow* pWindow);
    static bool TakePendingCreate(CWindow* pWindow);
    // Runs HandleMessage with the exception guard; bFailed tells whether a handler threw.
    LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool& bFailed) noexcept;

    HWND m_hWnd = nullptr;
    bool m_bOwnsWindow = false;

private:
    bool ReflectToChild(HWND child, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;
    MSG m_msgCurrent{};
    int m_nDepth = 0;
    bool m_bFinalPending = false;
};

} // namespace dravel::win
