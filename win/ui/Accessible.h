#pragma once

// Active Accessibility for the program's own controls. A control describes itself and its children
// through CAccessibleSource; CAccessibleServer answers WM_GETOBJECT for the client area with one
// IAccessible object that checks every argument and asks the source. Child ids are 1..GetChildCount()
// (CHILDID_SELF is the control); an id the control no longer has is refused with E_INVALIDARG. Once
// the window is gone the object stays valid for clients that hold it, and every call answers
// RPC_E_DISCONNECTED.
//
//     case WM_GETOBJECT:
//         if (LRESULT r = m_accessible.OnGetObject(m_hWnd, wParam, lParam, *this); r != 0)
//             return r;
//         break;

#include "win/base/Handles.h"

#include <oleacc.h>
#include <windows.h>

#include <string>

namespace dravel::win {

// What an accessibility client learns about a control. child is CHILDID_SELF or a valid child id:
// the object has checked it against GetChildCount() before asking.
class CAccessibleSource {
public:
    virtual ~CAccessibleSource() = default;

    virtual long AccChildCount() { return 0; }
    virtual long AccRole(long child) = 0;
    // Empty: no name (S_FALSE to the client).
    virtual std::wstring AccName(long child) = 0;
    virtual std::wstring AccDescription(long) { return {}; }
    virtual std::wstring AccKeyboardShortcut(long) { return {}; }
    // STATE_SYSTEM_* bits added to what the window itself tells for CHILDID_SELF (invisible,
    // unavailable, focused, focusable); a child's whole state.
    virtual long AccState(long child) = 0;
    // Screen coordinates; false: no location.
    virtual bool AccLocation(long, RECT&) { return false; }
    // The child at a point of the client area (client coordinates), CHILDID_SELF for none.
    virtual long AccHitTest(POINT) { return CHILDID_SELF; }
    // The child that has the keyboard focus while the window has it; CHILDID_SELF for none.
    virtual long AccFocusChild() { return CHILDID_SELF; }
    // The selected child; CHILDID_SELF for none.
    virtual long AccSelectedChild() { return CHILDID_SELF; }
    // Empty: no default action.
    virtual std::wstring AccDefaultAction(long) { return {}; }
    // False: the action cannot be done now.
    virtual bool AccDoDefaultAction(long) { return false; }
};

class CAccessibleObject;

// Owned by the control, beside its window. Keeps one object for the life of the window, so a client
// that asks twice gets the same one.
class CAccessibleServer {
public:
    CAccessibleServer() noexcept = default;
    ~CAccessibleServer();
    CAccessibleServer(const CAccessibleServer&) = delete;
    CAccessibleServer& operator=(const CAccessibleServer&) = delete;

    // WM_GETOBJECT: the LresultFromObject answer for OBJID_CLIENT, 0 for anything else (default
    // processing then answers).
    LRESULT OnGetObject(HWND hwnd, WPARAM wParam, LPARAM lParam, CAccessibleSource& source);
    // The window is going: clients holding the object get RPC_E_DISCONNECTED from now on.
    void Disconnect() noexcept;

private:
    CAccessibleObject* m_pObject = nullptr; // one reference held
};

// Tells accessibility clients that something happened to a child (CHILDID_SELF: the control itself)
// of the window's client area.
void NotifyAccEvent(DWORD event, HWND hwnd, long child);

// A caption as read aloud: "&" mnemonics removed ("&&" is one "&"); the shortcut "Alt+X" of the
// mnemonic letter, if any, into shortcut.
std::wstring AccCaptionText(const std::wstring& caption, std::wstring* shortcut = nullptr);

// A rectangle of hwnd's client area in screen coordinates.
RECT ClientToScreenRect(HWND hwnd, RECT rc);

} // namespace dravel::win
