#include "portal/BrowserHost.h"

namespace dravel::win {

// Until the control container exists the program runs without a browser.
struct CBrowserHost::Impl {};

CBrowserHost::CBrowserHost() = default;
CBrowserHost::~CBrowserHost() { Destroy(); }

bool CBrowserHost::Create(HWND, UINT, const RECT&) { return false; }
void CBrowserHost::Navigate(const std::wstring&) {}
void CBrowserHost::Move(const RECT&) {}
void CBrowserHost::Destroy() { m_pImpl.reset(); }
bool CBrowserHost::IsCreated() const { return false; }
HWND CBrowserHost::Window() const { return nullptr; }

} // namespace dravel::win
