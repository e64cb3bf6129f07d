#pragma once

// What the portal page window and the browser pop-ups share: a dialog whose whole client area is a
// hosted browser (control id 1000) showing one address. The page is loaded again each time the window
// is shown or hidden, and closing only hides the window: its owner shows it again.

#include "win/base/Dialog.h"
#include "win/portal/BrowserHost.h"

#include <string>

namespace dravel::win {

class CBrowserWindow : public CDialog {
public:
    // The address the window shows from its next show or hide on.
    void SetUrl(std::wstring url) { m_strUrl = std::move(url); }
    const std::wstring& Url() const { return m_strUrl; }
    // The hosted browser; not created where no browser engine can be hosted.
    const CBrowserHost& Browser() const { return m_browser; }
    // Places the window (screen coordinates) without activating it.
    void Place(int nLeft, int nTop, int nWidth, int nHeight) const;

protected:
    explicit CBrowserWindow(UINT templateId);

    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnDestroy() override;
    // Escape and the close box: hide, never destroy.
    void OnCancel() override;
    // After the page was loaded for a show or hide.
    virtual void OnShown(bool bShow);

private:
    void OnShowWindow(bool bShow);

    std::wstring m_strUrl;
    HICON m_hIcon = nullptr;
    CBrowserHost m_browser;
};

} // namespace dravel::win
