#pragma once

// Makes the site of every browser control the program hosts. The application installs one at start-up,
// before any window that hosts a control exists, with the script object that pages get as their
// external object and the window that receives the portal menu's commands. Without an installed manager
// (tests, or a start-up that failed before) controls still get our site, with no external object.

#include "win/portal/CustomControlSite.h"

#include <windows.h>

namespace dravel::win {

// Turns on, for this process, the engine's own hardening that the portal does not need to be without:
// local-machine zone lockdown, no zone elevation, MIME sniffing and handling limits, restricted ActiveX
// installation, no "mk:" protocol. Call once at start-up, before the first control; a feature the
// system does not know is skipped.
void HardenBrowserEngine() noexcept;

class CControlSiteManager {
public:
    CControlSiteManager(CScriptExternal* pExternal, CCustomControlSite::MenuOwnerFn menuOwner);
    CControlSiteManager(const CControlSiteManager&) = delete;
    CControlSiteManager& operator=(const CControlSiteManager&) = delete;

    // The script object behind every page's external object (may be null).
    CScriptExternal* External() const { return m_pExternal; }
    // A new site with one reference (the caller's), or null when out of memory.
    CCustomControlSite* CreateSite(HWND hwndParent, const RECT& rect) const;

    // The manager new controls get their site from; null removes it. The manager must stay alive while
    // installed. GUI thread only.
    static void Install(const CControlSiteManager* pManager);
    static const CControlSiteManager* Installed();
    // A site from the installed manager, or a plain one without it.
    static CCustomControlSite* CreateSiteFor(HWND hwndParent, const RECT& rect);

private:
    CScriptExternal* m_pExternal;
    CCustomControlSite::MenuOwnerFn m_menuOwner;
};

} // namespace dravel::win
