#include "portal/BrowserHost.h"

#include "portal/ControlSiteManager.h"
#include "portal/CustomControlSite.h"

#include <exdisp.h>
#include <ole2.h>
#include <oleauto.h>

#include <new>

namespace dravel::win {

namespace {

template <typename T> void ReleaseAndClear(T*& p) noexcept {
    if (p != nullptr) {
        p->Release();
        p = nullptr;
    }
}

} // namespace

// Everything the host holds while a control lives. The control keeps the site alive through its own
// references; we hold one more so that the site can be told the window is gone.
struct CBrowserHost::Impl {
    bool bOleStarted = false;
    CCustomControlSite* pSite = nullptr;
    IOleObject* pObject = nullptr;
    IOleInPlaceObject* pInPlace = nullptr;
    IWebBrowser2* pBrowser = nullptr;
    HWND hwnd = nullptr;

    bool Start(HWND hwndParent, UINT nId, const RECT& rect) noexcept;
    void Stop() noexcept;
};

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
    pObject->SetHostNames(L"Dravel On", nullptr);
    ::OleSetContainedObject(pObject, TRUE);

    if (FAILED(pObject->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&pBrowser))) || pBrowser == nullptr)
        return false;
    // The control asks the client site for the page customisation (IDocHostUIHandler, IDocHostShowUI)
    // itself; navigation events (DWebBrowserEvents2) would be advised here, on the control's connection
    // point, before the first navigation.

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
    return true;
}

void CBrowserHost::Impl::Stop() noexcept {
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
