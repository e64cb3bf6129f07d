#include "win/portal/ControlSiteManager.h"

#include <urlmon.h>

#include <new>

namespace dravel::win {

void HardenBrowserEngine() noexcept {
    for (const INTERNETFEATURELIST feature :
         {FEATURE_LOCALMACHINE_LOCKDOWN, FEATURE_ZONE_ELEVATION, FEATURE_MIME_SNIFFING, FEATURE_MIME_HANDLING,
          FEATURE_RESTRICT_ACTIVEXINSTALL, FEATURE_DISABLE_MK_PROTOCOL})
        ::CoInternetSetFeatureEnabled(feature, SET_FEATURE_ON_PROCESS, TRUE);
}

namespace {
const CControlSiteManager* g_pInstalled = nullptr;
}

CControlSiteManager::CControlSiteManager(CScriptExternal* pExternal, CCustomControlSite::MenuOwnerFn menuOwner)
    : m_pExternal(pExternal), m_menuOwner(std::move(menuOwner)) {}

CCustomControlSite* CControlSiteManager::CreateSite(HWND hwndParent, const RECT& rect) const {
    return new (std::nothrow) CCustomControlSite(hwndParent, rect, m_pExternal, m_menuOwner);
}

void CControlSiteManager::Install(const CControlSiteManager* pManager) {
    g_pInstalled = pManager;
}

const CControlSiteManager* CControlSiteManager::Installed() {
    return g_pInstalled;
}

CCustomControlSite* CControlSiteManager::CreateSiteFor(HWND hwndParent, const RECT& rect) {
    if (g_pInstalled != nullptr)
        return g_pInstalled->CreateSite(hwndParent, rect);
    return new (std::nothrow) CCustomControlSite(hwndParent, rect);
}

} // namespace dravel::win
