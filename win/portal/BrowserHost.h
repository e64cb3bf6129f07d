#pragma once
// Hosts the web browser control inside one of our windows (a minimal OLE container: client site,
// in-place site and frame). Where no browser engine can be hosted, Create() reports false and the
// window goes on without a browser: nothing is shown and no prompt appears.

#include <windows.h>

#include <oleidl.h>

#include <memory>
#include <string>

namespace dravel::win {

class CBrowserHost {
public:
    CBrowserHost();
    ~CBrowserHost();
    CBrowserHost(const CBrowserHost&) = delete;
    CBrowserHost& operator=(const CBrowserHost&) = delete;

    // Creates the control as child nId of hwndParent, covering rect (client coordinates). Call on the
    // thread of hwndParent; a control created before is released first. OLE is started on the thread
    // for as long as the control lives.
    bool Create(HWND hwndParent, UINT nId, const RECT& rect);
    // Loads url; does nothing when the control was not created.
    void Navigate(const std::wstring& url);
    void Move(const RECT& rect);
    // Releases the control; safe to call more than once, and called by the destructor. Best called
    // while the parent window still exists (from its WM_DESTROY at the latest).
    void Destroy();
    bool IsCreated() const;
    // The control's READYSTATE (0 uninitialised .. 4 complete); -1 without a control or an answer.
    int ReadyState() const;
    // The control's window, or null.
    HWND Window() const;
    // The site the control was given (from the installed control-site manager), or null.
    IOleClientSite* ClientSite() const;

    // What a live control holds (named here so the thread's key routing can keep a list of them).
    struct Impl;

private:
    std::unique_ptr<Impl> m_pImpl;
};

} // namespace dravel::win
