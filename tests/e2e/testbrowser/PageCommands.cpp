// The test browser's command channel: what a test asks the "page" to do, done on the control's own
// thread as a page script's calls would be.
#include "tests/e2e/testbrowser/TestBrowser.h"

#include "tests/e2e/testbrowser/ComAnswers.h"

#include <dispex.h>
#include <mshtmhst.h>

#include <cwchar>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace {

// A command line longer than this is refused before anything is read from it.
constexpr DWORD kMaxCommandBytes = 64 * 1024;
// How long the sender may take to take its answer.
constexpr UINT kAnswerTimeoutMs = 5000;

// {BD3F23C0-D43E-11CF-893B-00AA00BDCE1A}
constexpr IID kIidDocHostUIHandler = {0xBD3F23C0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};

struct Token {
    std::wstring strText;
    bool bQuoted = false;
};

// Words separated by blanks; "..." is one word, with \" and \\ inside. nullopt for an open quote.
std::optional<std::vector<Token>> Tokenize(std::wstring_view line) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == L' ' || line[i] == L'\t') {
            ++i;
            continue;
        }
        Token token;
        if (line[i] == L'"') {
            token.bQuoted = true;
            ++i;
            bool bClosed = false;
            while (i < line.size()) {
                const wchar_t c = line[i++];
                if (c == L'"') {
                    bClosed = true;
                    break;
                }
                if (c == L'\\' && i < line.size() && (line[i] == L'"' || line[i] == L'\\'))
                    token.strText += line[i++];
                else
                    token.strText += c;
            }
            if (!bClosed)
                return std::nullopt;
        } else {
            while (i < line.size() && line[i] != L' ' && line[i] != L'\t')
                token.strText += line[i++];
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

// A decimal integer within 32 bits.
std::optional<LONG> ParseInt(const std::wstring& text) {
    if (text.empty() || text.size() > 11)
        return std::nullopt;
    size_t i = text[0] == L'-' ? 1 : 0;
    if (i == text.size())
        return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return std::nullopt;
        value = value * 10 + (text[i] - L'0');
    }
    if (text[0] == L'-')
        value = -value;
    if (value < -2147483648LL || value > 2147483647LL)
        return std::nullopt;
    return static_cast<LONG>(value);
}

std::wstring Quoted(const wchar_t* text, size_t length) {
    std::wstring out = L"\"";
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == L'"' || text[i] == L'\\')
            out += L'\\';
        out += text[i];
    }
    return out + L"\"";
}

// The value as a script would see it.
std::wstring ScriptValueText(const VARIANT& v) {
    const VARIANT* p = &v;
    if (p->vt == (VT_BYREF | VT_VARIANT) && p->pvarVal != nullptr)
        p = p->pvarVal;
    switch (p->vt) {
    case VT_EMPTY:
        return L"undefined";
    case VT_NULL:
        return L"null";
    case VT_BOOL:
        return p->boolVal != VARIANT_FALSE ? L"true" : L"false";
    case VT_I1:
        return std::to_wstring(p->cVal);
    case VT_UI1:
        return std::to_wstring(p->bVal);
    case VT_I2:
        return std::to_wstring(p->iVal);
    case VT_UI2:
        return std::to_wstring(p->uiVal);
    case VT_I4:
        return std::to_wstring(p->lVal);
    case VT_UI4:
        return std::to_wstring(p->ulVal);
    case VT_INT:
        return std::to_wstring(p->intVal);
    case VT_UINT:
        return std::to_wstring(p->uintVal);
    case VT_I8:
        return std::to_wstring(p->llVal);
    case VT_UI8:
        return std::to_wstring(p->ullVal);
    case VT_R8:
        return std::to_wstring(p->dblVal);
    case VT_BSTR:
        return p->bstrVal != nullptr ? Quoted(p->bstrVal, ::SysStringLen(p->bstrVal)) : L"\"\"";
    case VT_DISPATCH:
        return p->pdispVal != nullptr ? L"[object]" : L"null";
    default:
        return L"[variant " + std::to_wstring(p->vt) + L"]";
    }
}

std::wstring HexHResult(HRESULT hr) {
    wchar_t buf[16];
    std::swprintf(buf, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

// Owns the arguments of one call.
class CArgs {
public:
    CArgs() = default;
    CArgs(const CArgs&) = delete;
    CArgs& operator=(const CArgs&) = delete;
    ~CArgs() {
        for (VARIANT& v : m_vecArgs)
            ::VariantClear(&v);
    }

    // Script order; stored last-first as IDispatch::Invoke reads them.
    bool Add(const Token& token) {
        VARIANT v;
        ::VariantInit(&v);
        if (token.bQuoted) {
            v.vt = VT_BSTR;
            v.bstrVal = ::SysAllocStringLen(token.strText.data(), static_cast<UINT>(token.strText.size()));
            if (v.bstrVal == nullptr)
                throw std::bad_alloc();
        } else if (const auto n = ParseInt(token.strText)) {
            v.vt = VT_I4;
            v.lVal = *n;
        } else {
            return false;
        }
        m_vecArgs.insert(m_vecArgs.begin(), v);
        return true;
    }

    DISPPARAMS Params() {
        DISPPARAMS params{};
        params.cArgs = static_cast<UINT>(m_vecArgs.size());
        params.rgvarg = m_vecArgs.empty() ? nullptr : m_vecArgs.data();
        return params;
    }

private:
    std::vector<VARIANT> m_vecArgs;
};

template <typename T> class CComRef {
public:
    CComRef() = default;
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;
    ~CComRef() {
        if (m_p != nullptr)
            m_p->Release();
    }
    T** Out() { return &m_p; }
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }

private:
    T* m_p = nullptr;
};

// {A6EF9860-C720-11D0-9337-00A0C90DCAA9}
constexpr IID kIidDispatchEx = {0xA6EF9860, 0xC720, 0x11D0, {0x93, 0x37, 0x00, 0xA0, 0xC9, 0x0D, 0xCA, 0xA9}};
// {B722BE00-4E68-101B-A2BC-00AA00404770}
constexpr GUID kSidContainerDispatch = {0xB722BE00, 0x4E68, 0x101B, {0xA2, 0xBC, 0x00, 0xAA, 0x00, 0x40, 0x47, 0x70}};

template <typename Base> class CSimpleObject : public Base {
public:
    CSimpleObject() noexcept { ModuleAddRef(); }
    CSimpleObject(const CSimpleObject&) = delete;
    CSimpleObject& operator=(const CSimpleObject&) = delete;
    virtual ~CSimpleObject() { ModuleRelease(); }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_nRefs)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG refs = ::InterlockedDecrement(&m_nRefs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

private:
    LONG m_nRefs = 1;
};

// A late-bound object of read-only properties, each a text or an object (null for none).
class CPropertyObject final : public CSimpleObject<IDispatch> {
public:
    struct Property {
        std::wstring strName;
        std::wstring strText;
        IDispatch* pObject = nullptr; // owned; a text property when bIsText
        bool bIsText = true;
    };
    explicit CPropertyObject(std::vector<Property> properties) noexcept : m_vecProperties(std::move(properties)) {}
    ~CPropertyObject() override {
        for (Property& p : m_vecProperties)
            ReleaseAndClear(p.pObject);
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch))
            return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override { return Answer(pctinfo, 0u); }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override { return NotOffered<ITypeInfo*>(ppTInfo); }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) override {
        if (rgszNames == nullptr || rgDispId == nullptr)
            return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < cNames; ++i) {
            rgDispId[i] = DISPID_UNKNOWN;
            for (size_t k = 0; k < m_vecProperties.size(); ++k) {
                if (rgszNames[i] != nullptr && m_vecProperties[k].strName == rgszNames[i])
                    rgDispId[i] = static_cast<DISPID>(k + 1);
            }
            if (rgDispId[i] == DISPID_UNKNOWN)
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD wFlags, DISPPARAMS*, VARIANT* pVarResult, EXCEPINFO*,
                        UINT*) override {
        if (id < 1 || static_cast<size_t>(id) > m_vecProperties.size() || (wFlags & DISPATCH_PROPERTYGET) == 0)
            return DISP_E_MEMBERNOTFOUND;
        if (pVarResult == nullptr)
            return S_OK;
        const Property& p = m_vecProperties[static_cast<size_t>(id - 1)];
        ::VariantInit(pVarResult);
        if (p.bIsText) {
            pVarResult->bstrVal = ::SysAllocStringLen(p.strText.data(), static_cast<UINT>(p.strText.size()));
            if (pVarResult->bstrVal == nullptr)
                return E_OUTOFMEMORY;
            pVarResult->vt = VT_BSTR;
        } else {
            pVarResult->vt = VT_DISPATCH;
            pVarResult->pdispVal = p.pObject;
            if (p.pObject != nullptr)
                p.pObject->AddRef();
        }
        return S_OK;
    }

private:
    std::vector<Property> m_vecProperties;
};

// The script engine's caller: names the document the script runs in.
class CCaller final : public CSimpleObject<IServiceProvider> {
public:
    explicit CCaller(IDispatch* pDocument) noexcept : m_pDocument(pDocument) {}
    ~CCaller() override { ReleaseAndClear(m_pDocument); }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IServiceProvider))
            return E_NOINTERFACE;
        *ppv = static_cast<IServiceProvider*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP QueryService(REFGUID guidService, REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualGUID(guidService, kSidContainerDispatch))
            return E_NOINTERFACE;
        return m_pDocument->QueryInterface(riid, ppv);
    }

private:
    IDispatch* m_pDocument;
};

} // namespace

IDispatch* NewPageDocument(const std::wstring& url, const std::wstring& focusTag) {
    std::vector<CPropertyObject::Property> element;
    IDispatch* pElement = nullptr;
    if (!focusTag.empty()) {
        element.push_back({L"tagName", focusTag, nullptr, true});
        pElement = new CPropertyObject(std::move(element));
    }
    std::vector<CPropertyObject::Property> document;
    try {
        document.push_back({L"URL", url, nullptr, true});
        document.push_back({L"activeElement", {}, pElement, false});
    } catch (...) {
        ReleaseAndClear(pElement);
        throw;
    }
    return new CPropertyObject(std::move(document));
}

LRESULT CTestBrowser::OnCopyData(HWND hwndFrom, const COPYDATASTRUCT* pData) {
    if (pData == nullptr || pData->dwData != kTestBrowserMagic)
        return FALSE;
    // The call may make the host let go of us (and destroy this window): we finish answering first.
    AddRef();
    std::wstring answer;
    HRESULT hr = E_INVALIDARG;
    if (pData->cbData > kMaxCommandBytes || pData->cbData % sizeof(wchar_t) != 0 ||
        (pData->cbData != 0 && pData->lpData == nullptr)) {
        answer = L"error: a command is UTF-16 text of at most 64 KiB";
    } else {
        std::wstring_view line(static_cast<const wchar_t*>(pData->lpData), pData->cbData / sizeof(wchar_t));
        while (!line.empty() && line.back() == L'\0')
            line.remove_suffix(1);
        try {
            hr = RunCommand(line, answer);
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
            answer = L"error: out of memory";
        } catch (...) {
            hr = E_UNEXPECTED;
            answer = L"error: unexpected failure";
        }
    }
    if (hwndFrom != nullptr && ::IsWindow(hwndFrom)) {
        COPYDATASTRUCT reply{};
        reply.dwData = kTestBrowserMagic;
        reply.cbData = static_cast<DWORD>(answer.size() * sizeof(wchar_t));
        reply.lpData = answer.data();
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(hwndFrom, WM_COPYDATA, reinterpret_cast<WPARAM>(m_hwnd), reinterpret_cast<LPARAM>(&reply),
                              SMTO_NORMAL, kAnswerTimeoutMs, &ignored);
    }
    Release();
    return static_cast<LRESULT>(static_cast<LONG>(hr));
}

void CTestBrowser::OnRunPosted() {
    if (!m_bPostedPending)
        return;
    AddRef();
    std::wstring answer;
    HRESULT hr;
    try {
        hr = RunCommand(m_strPostedLine, answer);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
        answer = L"error: out of memory";
    } catch (...) {
        hr = E_UNEXPECTED;
        answer = L"error: unexpected failure";
    }
    m_hrPosted = hr;
    m_strPostedAnswer = std::move(answer);
    m_bPostedPending = false;
    Release();
}

HRESULT CTestBrowser::RunCommand(std::wstring_view line, std::wstring& answer) {
    const size_t start = line.find_first_not_of(L" \t");
    const size_t end = start == std::wstring_view::npos ? start : line.find_first_of(L" \t", start);
    const std::wstring_view verb =
        start == std::wstring_view::npos ? std::wstring_view() : line.substr(start, end - start);
    const std::wstring_view rest = end == std::wstring_view::npos ? std::wstring_view() : line.substr(end);
    if (verb == L"call" || verb == L"framecall")
        return CallExternal(rest, verb == L"framecall", answer);
    if (verb == L"redirect")
        return Redirect(rest, answer);
    if (verb == L"focus") {
        const auto tokens = Tokenize(rest);
        if (!tokens || tokens->size() != 1) {
            answer = L"error: focus <tag>";
            return E_INVALIDARG;
        }
        m_strFocusTag = (*tokens)[0].strText == L"-" ? std::wstring() : (*tokens)[0].strText;
        answer = L"focused";
        return S_OK;
    }
    if (verb == L"newwindow2") {
        answer = RaiseNewWindow2() ? L"cancelled" : L"allowed";
        return S_OK;
    }
    if (verb == L"navigate") {
        const auto tokens = Tokenize(rest);
        if (!tokens || tokens->size() != 1) {
            answer = L"error: navigate <url>";
            return E_INVALIDARG;
        }
        GoTo((*tokens)[0].strText);
        answer = Quoted(m_strUrl.data(), m_strUrl.size());
        return S_OK;
    }
    if (verb == L"keys") {
        answer = m_strKeys;
        m_strKeys.clear();
        return S_OK;
    }
    if (verb == L"press")
        return PressKey(rest, answer);
    if (verb == L"rect") {
        const HWND hwndParent = m_hwnd != nullptr ? ::GetParent(m_hwnd) : nullptr;
        RECT rc{}, client{};
        if (hwndParent == nullptr || !::GetWindowRect(m_hwnd, &rc) || !::GetClientRect(hwndParent, &client)) {
            answer = L"error: not in place";
            return E_FAIL;
        }
        ::MapWindowPoints(nullptr, hwndParent, reinterpret_cast<POINT*>(&rc), 2);
        answer = std::to_wstring(rc.left) + L" " + std::to_wstring(rc.top) + L" " + std::to_wstring(rc.right) + L" " +
                 std::to_wstring(rc.bottom) + L" " + std::to_wstring(client.right) + L" " +
                 std::to_wstring(client.bottom);
        return S_OK;
    }
    if (verb == L"post") {
        if (m_bPostedPending) {
            answer = L"error: the command posted before is still running";
            return E_PENDING;
        }
        if (m_hwnd == nullptr || !::PostMessageW(m_hwnd, kRunPostedMessage, 0, 0)) {
            answer = L"error: not in place";
            return E_FAIL;
        }
        m_strPostedLine.assign(rest);
        m_bPosted = m_bPostedPending = true;
        answer = L"posted";
        return S_OK;
    }
    if (verb == L"result") {
        if (!m_bPosted) {
            answer = L"error: nothing was posted";
            return E_FAIL;
        }
        if (m_bPostedPending) {
            answer = L"pending";
            return E_PENDING;
        }
        answer = m_strPostedAnswer;
        return m_hrPosted;
    }
    if (verb == L"follow" || verb == L"frame")
        return GoByPage(rest, verb == L"frame", answer);
    if (verb == L"newwindow")
        return AskNewWindow(rest, answer);
    if (verb == L"navigations") {
        for (const std::wstring& url : m_vecNavigations) {
            if (!answer.empty())
                answer += L'\n';
            answer += url;
        }
        m_vecNavigations.clear();
        return S_OK;
    }
    if (verb == L"click")
        return RealClick(answer);
    if (verb == L"postclick") {
        RECT rc{};
        if (m_hwnd == nullptr || !::GetClientRect(m_hwnd, &rc)) {
            answer = L"error: not in place";
            return E_FAIL;
        }
        const LPARAM at = MAKELPARAM((rc.right - rc.left) / 2, (rc.bottom - rc.top) / 2);
        if (!::PostMessageW(m_hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at) || !::PostMessageW(m_hwnd, WM_LBUTTONUP, 0, at)) {
            answer = L"error: PostMessage failed";
            return HRESULT_FROM_WIN32(::GetLastError());
        }
        answer = L"posted";
        return S_OK;
    }
    if (verb == L"contextmenu" || verb == L"hostinfo")
        return AskHost(verb, rest, answer);
    answer = L"error: commands are call, framecall, navigate, follow, frame, redirect, newwindow, newwindow2, "
             L"navigations, focus, click, postclick, contextmenu, hostinfo, post, result, "
             L"rect, keys and press";
    return E_INVALIDARG;
}

// "follow <url>" / "frame <url>": the page, or a frame in it, goes somewhere on its own; the host may
// cancel it from BeforeNavigate2.
HRESULT CTestBrowser::GoByPage(std::wstring_view line, bool bFrame, std::wstring& answer) {
    const auto tokens = Tokenize(line);
    if (!tokens || tokens->size() != 1) {
        answer = bFrame ? L"error: frame <url>" : L"error: follow <url>";
        return E_INVALIDARG;
    }
    const std::wstring& url = (*tokens)[0].strText;
    IDispatch* pDisp = bFrame ? FrameDispatch() : SelfDispatch();
    pDisp->AddRef(); // a sink may close the control, and the frame with it
    bool bCancelled = true;
    try {
        bCancelled = RaiseBeforeNavigate(pDisp, url);
        if (!bCancelled) {
            if (bFrame)
                m_strFrameUrl = url;
            else
                GoTo(url);
            RaiseNavigated(pDisp, url);
        }
    } catch (...) {
        pDisp->Release();
        throw;
    }
    pDisp->Release();
    answer = bCancelled ? L"cancelled" : L"went";
    return S_OK;
}

// "newwindow <url> [flags]": the page asks for a window of its own.
HRESULT CTestBrowser::AskNewWindow(std::wstring_view line, std::wstring& answer) {
    const auto tokens = Tokenize(line);
    DWORD dwFlags = 0;
    bool bValid = tokens && (tokens->size() == 1 || tokens->size() == 2);
    if (bValid && tokens->size() == 2) {
        const std::wstring& text = (*tokens)[1].strText;
        bValid = !(*tokens)[1].bQuoted && !text.empty() && text.size() <= 10 &&
                 text.find_first_not_of(L"0123456789") == std::wstring::npos;
        const unsigned long long value = bValid ? std::wcstoull(text.c_str(), nullptr, 10) : 0;
        bValid = bValid && value <= 0xFFFFFFFFull;
        dwFlags = static_cast<DWORD>(value);
    }
    if (!bValid) {
        answer = L"error: newwindow <url> [flags]";
        return E_INVALIDARG;
    }
    answer = RaiseNewWindow((*tokens)[0].strText, dwFlags) ? L"cancelled" : L"allowed";
    return S_OK;
}

// "contextmenu <x> <y>" and "hostinfo": what the engine asks of the host's IDocHostUIHandler.
HRESULT CTestBrowser::AskHost(std::wstring_view verb, std::wstring_view line, std::wstring& answer) {
    const auto tokens = Tokenize(line);
    const bool bMenu = verb == L"contextmenu";
    std::optional<LONG> x, y;
    if (bMenu && tokens && tokens->size() == 2) {
        x = ParseInt((*tokens)[0].strText);
        y = ParseInt((*tokens)[1].strText);
    }
    if (!tokens || (bMenu && (!x || !y)) || (!bMenu && !tokens->empty())) {
        answer = bMenu ? L"error: contextmenu <x> <y>" : L"error: hostinfo";
        return E_INVALIDARG;
    }
    if (m_pClientSite == nullptr) {
        answer = L"error: no client site";
        return E_FAIL;
    }
    CComRef<IDocHostUIHandler> handler;
    HRESULT hr = m_pClientSite->QueryInterface(kIidDocHostUIHandler, reinterpret_cast<void**>(handler.Out()));
    if (FAILED(hr) || handler.Get() == nullptr) {
        answer = L"error: the site has no IDocHostUIHandler";
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    if (bMenu) {
        POINT pt{*x, *y};
        hr = handler->ShowContextMenu(0 /* CONTEXT_MENU_DEFAULT */, &pt, nullptr, nullptr);
        answer = L"shown";
        return hr;
    }
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof info;
    hr = handler->GetHostInfo(&info);
    ::CoTaskMemFree(info.pchHostCss);
    ::CoTaskMemFree(info.pchHostNS);
    if (FAILED(hr)) {
        answer = L"error: GetHostInfo answered " + HexHResult(hr);
        return hr;
    }
    wchar_t buf[64];
    std::swprintf(buf, 64, L"flags=0x%08lX dblclk=%lu", static_cast<unsigned long>(info.dwFlags),
                  static_cast<unsigned long>(info.dwDoubleClick));
    answer = buf;
    return hr;
}

// window.external as a page gets it: from the host's IDocHostUIHandler on the client site; called as a
// script engine calls, naming the document the script runs in.
HRESULT CTestBrowser::CallExternal(std::wstring_view line, bool bFromFrame, std::wstring& answer) {
    const auto tokens = Tokenize(line);
    if (!tokens || tokens->empty() || (*tokens)[0].bQuoted) {
        answer = L"error: call <name> [args...]";
        return E_INVALIDARG;
    }
    CArgs args;
    for (size_t i = 1; i < tokens->size(); ++i) {
        if (!args.Add((*tokens)[i])) {
            answer = L"error: argument " + std::to_wstring(i) + L" is neither a number nor quoted text";
            return E_INVALIDARG;
        }
    }
    if (m_pClientSite == nullptr) {
        answer = L"error: no client site";
        return E_FAIL;
    }
    CComRef<IDocHostUIHandler> handler;
    HRESULT hr = m_pClientSite->QueryInterface(kIidDocHostUIHandler, reinterpret_cast<void**>(handler.Out()));
    if (FAILED(hr) || handler.Get() == nullptr) {
        answer = L"error: the site has no IDocHostUIHandler";
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    CComRef<IDispatch> external;
    hr = handler->GetExternal(external.Out());
    if (FAILED(hr) || external.Get() == nullptr) {
        answer = L"error: window.external is null";
        return FAILED(hr) ? hr : E_POINTER;
    }
    std::wstring name = (*tokens)[0].strText;
    LPOLESTR names[1] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    hr = external->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        answer = L"error: GetIDsOfNames answered " + HexHResult(hr);
        return hr;
    }
    DISPPARAMS params = args.Params();
    VARIANT result;
    ::VariantInit(&result);
    EXCEPINFO excep{};
    UINT nArgErr = 0;
    CComRef<IDispatchEx> externalEx;
    if (SUCCEEDED(external->QueryInterface(kIidDispatchEx, reinterpret_cast<void**>(externalEx.Out()))) &&
        externalEx.Get() != nullptr) {
        IServiceProvider* caller = new CCaller(NewPageDocument(bFromFrame ? m_strFrameUrl : m_strUrl, {}));
        hr = externalEx->InvokeEx(id, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &excep, caller);
        caller->Release();
    } else {
        hr = external->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &excep, &nArgErr);
    }
    if (SUCCEEDED(hr)) {
        answer = ScriptValueText(result);
    } else {
        answer = L"error: Invoke answered " + HexHResult(hr);
        if (externalEx.Get() == nullptr &&
            (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND || hr == E_INVALIDARG))
            answer += L", argument array index " + std::to_wstring(nArgErr);
    }
    ::VariantClear(&result);
    ::SysFreeString(excep.bstrSource);
    ::SysFreeString(excep.bstrDescription);
    ::SysFreeString(excep.bstrHelpFile);
    return hr;
}

// "redirect [frame] <url>": the server sent the page, or its frame, on to url; the engine raises no
// BeforeNavigate2 for it, only the completion events.
HRESULT CTestBrowser::Redirect(std::wstring_view line, std::wstring& answer) {
    const auto tokens = Tokenize(line);
    const bool bFrame = tokens && tokens->size() == 2 && (*tokens)[0].strText == L"frame";
    if (!tokens || (tokens->size() != 1 && !bFrame)) {
        answer = L"error: redirect [frame] <url>";
        return E_INVALIDARG;
    }
    const std::wstring url = tokens->back().strText;
    IDispatch* pDisp = bFrame ? FrameDispatch() : SelfDispatch();
    pDisp->AddRef();
    try {
        if (bFrame)
            m_strFrameUrl = url;
        else
            GoTo(url);
        RaiseNavigated(pDisp, url);
    } catch (...) {
        pDisp->Release();
        throw;
    }
    pDisp->Release();
    answer = m_strUrl;
    return S_OK;
}

// "click": the user's own click at the window's centre.
HRESULT CTestBrowser::RealClick(std::wstring& answer) {
    RECT rc{};
    if (m_hwnd == nullptr || !::GetWindowRect(m_hwnd, &rc)) {
        answer = L"error: not in place";
        return E_FAIL;
    }
    ::SetForegroundWindow(::GetAncestor(m_hwnd, GA_ROOT));
    ::SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    if (::SendInput(2, inputs, sizeof(INPUT)) != 2) {
        answer = L"error: SendInput failed";
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    answer = L"clicked";
    return S_OK;
}

// As the real control does, the host's IDocHostUIHandler sees every key first; what it takes the page
// never gets.
STDMETHODIMP CTestBrowser::TranslateAccelerator(LPMSG lpmsg) {
    if (lpmsg == nullptr)
        return E_INVALIDARG;
    HRESULT hr = S_FALSE;
    if (m_pClientSite != nullptr) {
        CComRef<IDocHostUIHandler> handler;
        if (SUCCEEDED(m_pClientSite->QueryInterface(kIidDocHostUIHandler, reinterpret_cast<void**>(handler.Out()))) &&
            handler.Get() != nullptr)
            hr = handler->TranslateAccelerator(lpmsg, nullptr, 0);
    }
    if (lpmsg->message == WM_KEYDOWN)
        NoteKey(static_cast<unsigned>(lpmsg->wParam), hr == S_OK ? L"eaten" : L"passed");
    return hr == S_OK ? S_OK : S_FALSE;
}

void CTestBrowser::NoteKey(unsigned nVirtualKey, std::wstring_view fate) {
    if (m_strKeys.size() > 4096)
        return;
    if (!m_strKeys.empty())
        m_strKeys += L",";
    m_strKeys += std::to_wstring(nVirtualKey) + L" ";
    m_strKeys.append(fate);
}

// "press <vk> down|up": the key as the keyboard gives it (its held state changes too), to the page,
// which takes the focus and brings its window to the front first.
HRESULT CTestBrowser::PressKey(std::wstring_view line, std::wstring& answer) {
    const auto tokens = Tokenize(line);
    if (!tokens || tokens->size() != 2 || (*tokens)[0].bQuoted || (*tokens)[1].bQuoted ||
        ((*tokens)[1].strText != L"down" && (*tokens)[1].strText != L"up")) {
        answer = L"error: press <vk> down|up";
        return E_INVALIDARG;
    }
    const unsigned long vk = std::wcstoul((*tokens)[0].strText.c_str(), nullptr, 10);
    if (vk == 0 || vk > 0xFE || m_hwnd == nullptr) {
        answer = L"error: press <vk> down|up";
        return E_INVALIDARG;
    }
    ::SetForegroundWindow(::GetAncestor(m_hwnd, GA_ROOT));
    ::SetFocus(m_hwnd);
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(vk);
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (*tokens)[1].strText == L"up" ? KEYEVENTF_KEYUP : 0;
    if (::SendInput(1, &input, sizeof(input)) != 1) {
        answer = L"error: SendInput failed";
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    answer = ::GetFocus() == m_hwnd ? L"focused" : L"not focused";
    return S_OK;
}
