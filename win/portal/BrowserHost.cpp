#include "win/portal/BrowserHost.h"

#include "win/base/MessageBox.h"
#include "win/portal/ControlSiteManager.h"
#include "win/portal/CustomControlSite.h"
#include "win/portal/NavigationSink.h"
#include "win/portal/ScriptExternal.h"

#include <exdisp.h>
#include <ole2.h>
#include <oleauto.h>

#include <algorithm>
#include <new>
#include <vector>

namespace dravel::win {

namespace {

template <typename T> void ReleaseAndClear(T*& p) noexcept {
    if (p != nullptr) {
        p->Release();
        p = nullptr;
    }
}

// The thread's hosted controls and the message hook that gives each its keys. A hook, like the modeless
// dialogs' one, because keys reach a page under message loops that are not ours (the system's dialog
// loops, message boxes, menus). It is installed anew with each control so that it runs before the
// dialogs' hook, which would otherwise take Escape, Enter and Tab from the page.
struct HostedControls {
    std::vector<CBrowserHost::Impl*> hosts;
    HHOOK hook = nullptr;
};

thread_local HostedControls t_hosted;

// How long after a click or key in a page the page may still open another site in the user's browser.
constexpr ULONGLONG kUserActivationMs = 5000;

bool ForwardToPage(MSG& msg);
void NoteUserInput(const MSG& msg);

LRESULT CALLBACK PageKeyHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        NoteUserInput(*msg);
        if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && ForwardToPage(*msg)) {
            msg->message = WM_NULL;
            msg->wParam = 0;
            msg->lParam = 0;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

// Everything the host holds while a control lives. The control keeps the site alive through its own
// references; we hold one more so that the site can be told the window is gone.
struct CBrowserHost::Impl {
    bool bOleStarted = false;
    CCustomControlSite* pSite = nullptr;
    IOleObject* pObject = nullptr;
    IOleInPlaceObject* pInPlace = nullptr;
    // Takes the keys of its page first, as the control expects of its container (may be null).
    IOleInPlaceActiveObject* pActive = nullptr;
    IWebBrowser2* pBrowser = nullptr;
    // Keeps the pages on the portal (null without an installed site manager, or a control without events).
    CNavigationSink* pSink = nullptr;
    HWND hwnd = nullptr;
    // When the user last clicked or pressed a key in the page.
    ULONGLONG nLastInputTick = 0;
    bool bHadInput = false;

    bool Start(HWND hwndParent, UINT nId, const RECT& rect) noexcept;
    void Stop() noexcept;
    void ConnectNavigationSink(HWND hwndParent) noexcept;
    void ReleaseSink() noexcept;
};

namespace {

void AddHosted(CBrowserHost::Impl* impl) {
    t_hosted.hosts.push_back(impl);
    if (t_hosted.hook != nullptr)
        ::UnhookWindowsHookEx(t_hosted.hook);
    t_hosted.hook = ::SetWindowsHookExW(WH_GETMESSAGE, &PageKeyHook, nullptr, ::GetCurrentThreadId());
}

void RemoveHosted(CBrowserHost::Impl* impl) {
    auto& list = t_hosted.hosts;
    list.erase(std::remove(list.begin(), list.end(), impl), list.end());
    if (list.empty() && t_hosted.hook != nullptr) {
        ::UnhookWindowsHookEx(t_hosted.hook);
        t_hosted.hook = nullptr;
    }
}

// The host whose control holds hwnd, or null.
CBrowserHost::Impl* HostOf(HWND hwnd) {
    if (hwnd == nullptr)
        return nullptr;
    for (CBrowserHost::Impl* impl : t_hosted.hosts) {
        if (impl->hwnd != nullptr && (hwnd == impl->hwnd || ::IsChild(impl->hwnd, hwnd)))
            return impl;
    }
    return nullptr;
}

// A click or a key that follows a link, in a page: what lets the page open another site in the user's
// browser for a moment.
void NoteUserInput(const MSG& msg) {
    const bool bInput = msg.message == WM_LBUTTONUP || msg.message == WM_MBUTTONUP ||
                        (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_SPACE));
    if (!bInput)
        return;
    if (CBrowserHost::Impl* impl = HostOf(msg.hwnd)) {
        impl->nLastInputTick = ::GetTickCount64();
        impl->bHadInput = true;
    }
}

// A key for a window inside a hosted control goes to that control's page; true when the page (or our
// key filter, which the page asks) took it.
bool ForwardToPage(MSG& msg) {
    CBrowserHost::Impl* impl = HostOf(msg.hwnd);
    if (impl == nullptr || impl->pActive == nullptr)
        return false;
    // Held for the call: the page may close its window while it handles the key.
    IOleInPlaceActiveObject* active = impl->pActive;
    active->AddRef();
    const HRESULT hr = active->TranslateAccelerator(&msg);
    active->Release();
    return hr == S_OK;
}

} // namespace

bool CBrowserHost::Impl::Start(HWND hwndParent, UINT nId, const RECT& rect) noexcept {
    // In-place activation needs OLE on this thread (single-threaded apartment). Each host starts it
    // for itself and ends it again in Stop, so the calls stay balanced whoever else uses COM.
    const HRESULT hrOle = ::OleInitialize(nullptr);
    if (FAILED(hrOle))
        return false; // a multi-threaded apartment cannot host the control
    bOleStarted = true;

    if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(&pObject))) ||
        pObject == nullptr)
        return false;

    pSite = CControlSiteManager::CreateSiteFor(hwndParent, rect);
    if (pSite == nullptr)
        return false;
    if (FAILED(pObject->SetClientSite(static_cast<IOleClientSite*>(pSite))))
        return false;
    pObject->SetHostNames(AppTitle().c_str(), nullptr);
    ::OleSetContainedObject(pObject, TRUE);

    if (FAILED(pObject->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&pBrowser))) || pBrowser == nullptr)
        return false;
    pSite->SetBrowser(pBrowser);
    // The control asks the client site for the page customisation (IDocHostUIHandler, IDocHostShowUI)
    // itself; its navigation events are ours to ask for, before the first navigation.
    ConnectNavigationSink(hwndParent);

    RECT pos = rect;
    if (FAILED(pObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(pSite), 0, hwndParent,
                               &pos)))
        return false;
    if (FAILED(pObject->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&pInPlace))) ||
        pInPlace == nullptr)
        return false;
    HWND hwndControl = nullptr;
    if (FAILED(pInPlace->GetWindow(&hwndControl)) || hwndControl == nullptr || !::IsWindow(hwndControl))
        return false;
    hwnd = hwndControl;
    // Our windows find the control by its id, as they would any other child.
    ::SetWindowLongPtrW(hwnd, GWLP_ID, static_cast<LONG_PTR>(nId));
    pInPlace->SetObjectRects(&pos, &pos);
    // Asked after activation: a control may answer only once it is active in place.
    if (FAILED(pObject->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&pActive))))
        pActive = nullptr;
    AddHosted(this);
    return true;
}

void CBrowserHost::Impl::ConnectNavigationSink(HWND hwndParent) noexcept {
    const CControlSiteManager* manager = CControlSiteManager::Installed();
    CScriptExternal* external = manager != nullptr ? manager->External() : nullptr;
    if (external == nullptr)
        return; // no portal: nothing to keep the pages on (tests of the bare host)
    try {
        pSink = new CNavigationSink(external->PortalHostName(), &external->Host(), hwndParent, [this] {
            return bHadInput && ::GetTickCount64() - nLastInputTick <= kUserActivationMs;
        });
    } catch (...) {
        pSink = nullptr;
        return;
    }
    if (!pSink->Connect(pObject))
        ReleaseSink();
}

void CBrowserHost::Impl::ReleaseSink() noexcept {
    if (pSink != nullptr) {
        pSink->Disconnect();
        pSink->Release();
        pSink = nullptr;
    }
}

void CBrowserHost::Impl::Stop() noexcept {
    RemoveHosted(this);
    ReleaseSink();
    ReleaseAndClear(pActive);
    // From here pages are asked nothing more about where they are: a call finds no page and is refused.
    if (pSite != nullptr)
        pSite->SetBrowser(nullptr);
    if (pBrowser != nullptr)
        pBrowser->Stop();
    if (pInPlace != nullptr)
        pInPlace->InPlaceDeactivate();
    ReleaseAndClear(pInPlace);
    ReleaseAndClear(pBrowser);
    if (pObject != nullptr) {
        pObject->Close(OLECLOSE_NOSAVE);
        pObject->SetClientSite(nullptr);
        ::CoDisconnectObject(pObject, 0);
    }
    ReleaseAndClear(pObject);
    if (pSite != nullptr) {
        // Any reference the control still holds now answers without our window.
        pSite->Detach();
        pSite->Release();
        pSite = nullptr;
    }
    // The control destroys its window when it closes; if it did not, nothing else will.
    if (hwnd != nullptr && ::IsWindow(hwnd))
        ::DestroyWindow(hwnd);
    hwnd = nullptr;
    if (bOleStarted) {
        bOleStarted = false;
        ::OleUninitialize();
    }
}

CBrowserHost::CBrowserHost() = default;

CBrowserHost::~CBrowserHost() {
    Destroy();
}

bool CBrowserHost::Create(HWND hwndParent, UINT nId, const RECT& rect) {
    Destroy();
    if (hwndParent == nullptr || !::IsWindow(hwndParent) ||
        ::GetWindowThreadProcessId(hwndParent, nullptr) != ::GetCurrentThreadId())
        return false;
    auto impl = std::unique_ptr<Impl>(new (std::nothrow) Impl);
    if (impl == nullptr)
        return false;
    if (!impl->Start(hwndParent, nId, rect)) {
        impl->Stop();
        return false;
    }
    m_pImpl = std::move(impl);
    return true;
}

int CBrowserHost::ReadyState() const {
    if (m_pImpl == nullptr || m_pImpl->pBrowser == nullptr)
        return -1;
    READYSTATE state = READYSTATE_UNINITIALIZED;
    if (FAILED(m_pImpl->pBrowser->get_ReadyState(&state)))
        return -1;
    return static_cast<int>(state);
}

void CBrowserHost::Navigate(const std::wstring& url) {
    if (m_pImpl == nullptr || m_pImpl->pBrowser == nullptr)
        return;
    BSTR bstrUrl = ::SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    if (bstrUrl == nullptr)
        return;
    VARIANT empty;
    ::VariantInit(&empty);
    // A page that cannot be loaded is the control's business: it shows its own error page.
    m_pImpl->pBrowser->Navigate(bstrUrl, &empty, &empty, &empty, &empty);
    ::SysFreeString(bstrUrl);
}

void CBrowserHost::Move(const RECT& rect) {
    if (m_pImpl == nullptr || m_pImpl->pInPlace == nullptr)
        return;
    m_pImpl->pSite->SetRect(rect);
    RECT pos = rect;
    m_pImpl->pInPlace->SetObjectRects(&pos, &pos);
}

void CBrowserHost::Destroy() {
    if (m_pImpl == nullptr)
        return;
    // Taken out first: a control that calls back into us while closing finds no host.
    const std::unique_ptr<Impl> impl = std::move(m_pImpl);
    impl->Stop();
}

bool CBrowserHost::IsCreated() const {
    return m_pImpl != nullptr;
}

HWND CBrowserHost::Window() const {
    return m_pImpl != nullptr ? m_pImpl->hwnd : nullptr;
}

IOleClientSite* CBrowserHost::ClientSite() const {
    return m_pImpl != nullptr ? static_cast<IOleClientSite*>(m_pImpl->pSite) : nullptr;
}

} // namespace dravel::win
