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

bool ForwardToPage(MSG& msg);
void NoteUserInput(const MSG& msg);

// A property of a late-bound object, read by name into value (cleared by the caller).
bool ReadProperty(IDispatch* object, const wchar_t* name, VARIANT& value) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    DISPPARAMS none{};
    return SUCCEEDED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) &&
           SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr,
                                    nullptr));
}

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
    // The user's own clicks and keys in the page: what lets it open another site in the user's browser.
    UserGesture gesture;
    // A real press of the left button began in the page (its release then is a click).
    bool bButtonPressed = false;

    bool Start(HWND hwndParent, UINT nId, const RECT& rect) noexcept;
    void Stop() noexcept;
    bool ConnectNavigationSink(HWND hwndParent) noexcept;
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

bool IsHeld(int nVirtualKey) {
    return (static_cast<USHORT>(::GetKeyState(nVirtualKey)) & 0x8000u) != 0;
}

// Whether the page's focused element is a link, so that Enter or Space follows it (rather than typing
// into a form field). Asked of the page's document; without one, no key counts.
bool FocusIsOnLink(IWebBrowser2* browser) {
    IDispatch* document = nullptr;
    if (browser == nullptr || FAILED(browser->get_Document(&document)) || document == nullptr)
        return false;
    bool bLink = false;
    VARIANT element;
    ::VariantInit(&element);
    if (ReadProperty(document, L"activeElement", element) && element.vt == VT_DISPATCH && element.pdispVal != nullptr) {
        VARIANT tag;
        ::VariantInit(&tag);
        if (ReadProperty(element.pdispVal, L"tagName", tag) && tag.vt == VT_BSTR && tag.bstrVal != nullptr)
            bLink = ::lstrcmpiW(tag.bstrVal, L"A") == 0 || ::lstrcmpiW(tag.bstrVal, L"AREA") == 0;
        ::VariantClear(&tag);
    }
    ::VariantClear(&element);
    document->Release();
    return bLink;
}

// The user's own click, or Enter or Space on a link, in a page: what lets the page open one other site
// in the user's browser (UserGesture). Only input the user made counts: a button or key that the
// thread's input state shows as really pressed, not a message some process posted to the page.
void NoteUserInput(const MSG& msg) {
    if (msg.message != WM_LBUTTONDOWN && msg.message != WM_LBUTTONUP && msg.message != WM_KEYDOWN)
        return;
    CBrowserHost::Impl* impl = HostOf(msg.hwnd);
    if (impl == nullptr)
        return;
    switch (msg.message) {
    case WM_LBUTTONDOWN:
        impl->bButtonPressed = IsHeld(VK_LBUTTON);
        break;
    case WM_LBUTTONUP:
        if (impl->bButtonPressed && !IsHeld(VK_LBUTTON))
            impl->gesture.Note(::GetTickCount64());
        impl->bButtonPressed = false;
        break;
    default:
        if ((msg.wParam == VK_RETURN || msg.wParam == VK_SPACE) && IsHeld(static_cast<int>(msg.wParam)) &&
            FocusIsOnLink(impl->pBrowser))
            impl->gesture.Note(::GetTickCount64());
        break;
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
    // The control asks the client site for the page customisation (IDocHostUIHandler, IDocHostShowUI)
    // itself; its navigation events are ours to ask for, before the first navigation. A control that
    // offers none would show pages nobody checks: it is not hosted at all.
    if (!ConnectNavigationSink(hwndParent))
        return false;

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

bool CBrowserHost::Impl::ConnectNavigationSink(HWND hwndParent) noexcept {
    const CControlSiteManager* manager = CControlSiteManager::Installed();
    CScriptExternal* external = manager != nullptr ? manager->External() : nullptr;
    if (external == nullptr)
        return true; // no portal: nothing to keep the pages on (tests of the bare host)
    try {
        pSink = new CNavigationSink(external->PortalHostName(), &external->Host(), hwndParent, &gesture);
    } catch (...) {
        pSink = nullptr;
        return false;
    }
    if (!pSink->Connect(pObject)) {
        ReleaseSink();
        return false;
    }
    return true;
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
