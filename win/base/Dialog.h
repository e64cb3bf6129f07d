#pragma once

// Base of every dialog. The dialog procedure binds the object at WM_INITDIALOG (the object travels in
// the creation parameter) and then subclasses the dialog window, so that from then on every message
// goes through HandleMessage exactly like a plain CWindow, with the dialog manager's own procedure as
// the default processing. Handlers therefore return real window-procedure results (brushes for
// WM_CTLCOLOR*, hit-test codes...) and can run the default first and add to it.
//
// Modeless dialogs: Create registers the dialog for its thread, and while any is registered a
// message hook runs IsDialogMessage for keyboard messages aimed at it. So Tab, Enter, Escape and
// mnemonics work in modeless dialogs inside any message loop of the thread: the modal loop of
// DoModal, message boxes, menus, or the program's own loop.

#include "win/base/Window.h"

#include <string>
#include <string_view>

namespace dravel::win {

class CDialog : public CWindow {
public:
    // A DIALOGEX template of the module (null: the program itself).
    explicit CDialog(UINT templateId, HINSTANCE module = nullptr) noexcept;
    // A template in memory (for dialogs built at run time); it must stay valid while the dialog is created.
    explicit CDialog(const DLGTEMPLATE* pTemplate) noexcept;
    // A live modeless dialog is destroyed with its object (see ~CWindow).
    ~CDialog() override;

    // Runs the dialog modally; returns the value given to EndDialog, or -1 if the dialog could not be
    // created or its OnInitDialog threw.
    INT_PTR DoModal(HWND parent = nullptr);
    // Creates the dialog modeless; it shows only if the template says WS_VISIBLE, else call ShowWindow.
    // Returns false if it could not be created or its OnInitDialog threw.
    bool Create(HWND parent = nullptr);

    // Modal: ends the modal run with this result. Modeless: hides the window (a modeless dialog is
    // destroyed with DestroyWindow or its object).
    void EndDialog(INT_PTR result);

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    bool SetDlgItemText(int id, std::wstring_view text) const;
    std::wstring GetDlgItemText(int id) const { return WindowText(GetDlgItem(id)); }

    // IsDialogMessage for the thread's modeless dialogs; true if the message was consumed.
    static bool RouteDialogMessage(MSG& msg);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // Return TRUE to let the system focus the first tab stop, FALSE if the handler set the focus.
    virtual BOOL OnInitDialog();
    // Enter / IDOK: EndDialog(IDOK).
    virtual void OnOK();
    // Escape, close box / IDCANCEL: EndDialog(IDCANCEL).
    virtual void OnCancel();
    // Sends IDOK and IDCANCEL (button clicks, Enter, Escape, accelerators) to OnOK and OnCancel.
    bool OnCommand(int id, int code, HWND hwndCtl) override;
    // Modeless: a key on its way to the dialog or one of its controls, before the dialog manager sees
    // it (the dialog's own shortcuts). Return true to take it: it then goes nowhere else.
    virtual bool OnDialogKey(const MSG& msg);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static void Register(HWND hwnd);
    static void Unregister(HWND hwnd);

    UINT m_nTemplateId = 0;
    HINSTANCE m_hModule = nullptr;
    const DLGTEMPLATE* m_pTemplate = nullptr;
    bool m_bModal = false;
    bool m_bInitFailed = false;
};

} // namespace dravel::win
