#include "win/ui/Accessible.h"

#include "win/base/Debug.h"

#include <cwctype>
#include <new>

namespace dravel::win {

namespace {

// Not the import library's IID_IAccessible: MinGW links that name to oleacc's import thunk, not to
// the identifier's bytes.
const IID kIidAccessible = __uuidof(IAccessible);

// No exception may leave a COM method: whatever a source throws (an allocation, mostly) becomes an
// error code for the client.
template <class F> HRESULT Guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT ReturnText(const std::wstring& text, BSTR* out) {
    if (text.empty())
        return S_FALSE;
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

void SetChild(VARIANT* out, long child) {
    out->vt = VT_I4;
    out->lVal = child;
}

} // namespace

class CAccessibleObject final : public IAccessible {
public:
    CAccessibleObject(HWND hwnd, CAccessibleSource& source) noexcept : m_hWnd(hwnd), m_pSource(&source) {}

    HWND Window() const noexcept { return m_hWnd; }
    void Disconnect() noexcept { m_pSource = nullptr; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidAccessible) {
            *ppv = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_nRefs)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG refs = ::InterlockedDecrement(&m_nRefs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

    // IDispatch: clients of this object call IAccessible directly; there is no type information.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count == nullptr)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr)
            *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    STDMETHODIMP get_accParent(IDispatch** parent) override {
        if (parent == nullptr)
            return E_POINTER;
        *parent = nullptr;
        return Guarded([&]() -> HRESULT {
            if (!IsConnected())
                return RPC_E_DISCONNECTED;
            // The window object above the client area is the system's; where the system offers none
            // there is no parent to give.
            CComPtr<IAccessible> standard;
            if (FAILED(::CreateStdAccessibleObject(m_hWnd, OBJID_CLIENT, kIidAccessible, standard.PutVoid())) ||
                !standard)
                return S_FALSE;
            return standard->get_accParent(parent);
        });
    }
    STDMETHODIMP get_accChildCount(long* count) override {
        if (count == nullptr)
            return E_POINTER;
        *count = 0;
        return Guarded([&]() -> HRESULT {
            if (!IsConnected())
                return RPC_E_DISCONNECTED;
            *count = ChildCount();
            return S_OK;
        });
    }
    STDMETHODIMP get_accChild(VARIANT varChild, IDispatch** child) override {
        if (child == nullptr)
            return E_POINTER;
        *child = nullptr;
        return Guarded([&]() -> HRESULT {
            long id = 0;
            const HRESULT hr = CheckChild(varChild, id);
            // Every child is a simple element of this object.
            return FAILED(hr) ? hr : S_FALSE;
        });
    }
    STDMETHODIMP get_accName(VARIANT varChild, BSTR* name) override {
        return GetText(varChild, name, [&](long id) { return m_pSource->AccName(id); });
    }
    STDMETHODIMP get_accValue(VARIANT varChild, BSTR* value) override {
        return GetText(varChild, value, [](long) { return std::wstring(); });
    }
    STDMETHODIMP get_accDescription(VARIANT varChild, BSTR* description) override {
        return GetText(varChild, description, [&](long id) { return m_pSource->AccDescription(id); });
    }
    STDMETHODIMP get_accRole(VARIANT varChild, VARIANT* role) override {
        if (role == nullptr)
            return E_POINTER;
        ::VariantInit(role);
        return Guarded([&]() -> HRESULT {
            long id = 0;
            if (const HRESULT hr = CheckChild(varChild, id); FAILED(hr))
                return hr;
            SetChild(role, m_pSource->AccRole(id));
            return S_OK;
        });
    }
    STDMETHODIMP get_accState(VARIANT varChild, VARIANT* state) override {
        if (state == nullptr)
            return E_POINTER;
        ::VariantInit(state);
        return Guarded([&]() -> HRESULT {
            long id = 0;
            if (const HRESULT hr = CheckChild(varChild, id); FAILED(hr))
                return hr;
            long bits = m_pSource->AccState(id);
            if (id == CHILDID_SELF) {
                if (!::IsWindowVisible(m_hWnd))
                    bits |= STATE_SYSTEM_INVISIBLE;
                if (!::IsWindowEnabled(m_hWnd))
                    bits |= STATE_SYSTEM_UNAVAILABLE;
                if (::GetFocus() == m_hWnd)
                    bits |= STATE_SYSTEM_FOCUSED;
            }
            SetChild(state, bits);
            return S_OK;
        });
    }
    STDMETHODIMP get_accHelp(VARIANT varChild, BSTR* help) override {
        return GetText(varChild, help, [](long) { return std::wstring(); });
    }
    STDMETHODIMP get_accHelpTopic(BSTR* helpFile, VARIANT varChild, long* topic) override {
        if (helpFile == nullptr || topic == nullptr)
            return E_POINTER;
        *helpFile = nullptr;
        *topic = 0;
        return Guarded([&]() -> HRESULT {
            long id = 0;
            const HRESULT hr = CheckChild(varChild, id);
            return FAILED(hr) ? hr : S_FALSE;
        });
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT varChild, BSTR* shortcut) override {
        return GetText(varChild, shortcut, [&](long id) { return m_pSource->AccKeyboardShortcut(id); });
    }
    STDMETHODIMP get_accFocus(VARIANT* focus) override {
        if (focus == nullptr)
            return E_POINTER;
        ::VariantInit(focus);
        return Guarded([&]() -> HRESULT {
            if (!IsConnected())
                return RPC_E_DISCONNECTED;
            if (::GetFocus() != m_hWnd)
                return S_FALSE;
            const long child = m_pSource->AccFocusChild();
            SetChild(focus, IsChild(child) ? child : CHILDID_SELF);
            return S_OK;
        });
    }
    STDMETHODIMP get_accSelection(VARIANT* selection) override {
        if (selection == nullptr)
            return E_POINTER;
        ::VariantInit(selection);
        return Guarded([&]() -> HRESULT {
            if (!IsConnected())
                return RPC_E_DISCONNECTED;
            const long child = m_pSource->AccSelectedChild();
            if (!IsChild(child))
                return S_FALSE;
            SetChild(selection, child);
            return S_OK;
        });
    }
    STDMETHODIMP get_accDefaultAction(VARIANT varChild, BSTR* action) override {
        return GetText(varChild, action, [&](long id) { return m_pSource->AccDefaultAction(id); });
    }
    STDMETHODIMP accSelect(long, VARIANT varChild) override {
        return Guarded([&]() -> HRESULT {
            long id = 0;
            const HRESULT hr = CheckChild(varChild, id);
            return FAILED(hr) ? hr : DISP_E_MEMBERNOTFOUND;
        });
    }
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT varChild) override {
        if (left == nullptr || top == nullptr || width == nullptr || height == nullptr)
            return E_POINTER;
        *left = *top = *width = *height = 0;
        return Guarded([&]() -> HRESULT {
            long id = 0;
            if (const HRESULT hr = CheckChild(varChild, id); FAILED(hr))
                return hr;
            RECT rc{};
            if (id == CHILDID_SELF) {
                if (!m_pSource->AccLocation(id, rc)) {
                    ::GetClientRect(m_hWnd, &rc);
                    rc = ClientToScreenRect(m_hWnd, rc);
                }
            } else if (!m_pSource->AccLocation(id, rc)) {
                return S_FALSE;
            }
            *left = rc.left;
            *top = rc.top;
            *width = rc.right - rc.left;
            *height = rc.bottom - rc.top;
            return S_OK;
        });
    }
    STDMETHODIMP accNavigate(long direction, VARIANT varStart, VARIANT* end) override {
        if (end == nullptr)
            return E_POINTER;
        ::VariantInit(end);
        return Guarded([&]() -> HRESULT {
            long id = 0;
            if (const HRESULT hr = CheckChild(varStart, id); FAILED(hr))
                return hr;
            const long count = ChildCount();
            long to = CHILDID_SELF;
            if (id == CHILDID_SELF) {
                if (direction == NAVDIR_FIRSTCHILD)
                    to = count > 0 ? 1 : CHILDID_SELF;
                else if (direction == NAVDIR_LASTCHILD)
                    to = count;
            } else if (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD) {
                return E_INVALIDARG; // only a container has children
            } else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) {
                to = id < count ? id + 1 : CHILDID_SELF;
            } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) {
                to = id - 1;
            }
            if (to == CHILDID_SELF)
                return S_FALSE;
            SetChild(end, to);
            return S_OK;
        });
    }
    STDMETHODIMP accHitTest(long x, long y, VARIANT* hit) override {
        if (hit == nullptr)
            return E_POINTER;
        ::VariantInit(hit);
        return Guarded([&]() -> HRESULT {
            if (!IsConnected())
                return RPC_E_DISCONNECTED;
            RECT client{};
            ::GetClientRect(m_hWnd, &client);
            POINT pt{x, y};
            if (!::ScreenToClient(m_hWnd, &pt) || !::PtInRect(&client, pt))
                return S_FALSE;
            const long child = m_pSource->AccHitTest(pt);
            SetChild(hit, IsChild(child) ? child : CHILDID_SELF);
            return S_OK;
        });
    }
    STDMETHODIMP accDoDefaultAction(VARIANT varChild) override {
        return Guarded([&]() -> HRESULT {
            long id = 0;
            if (const HRESULT hr = CheckChild(varChild, id); FAILED(hr))
                return hr;
            if (m_pSource->AccDefaultAction(id).empty())
                return DISP_E_MEMBERNOTFOUND;
            return m_pSource->AccDoDefaultAction(id) ? S_OK : E_FAIL;
        });
    }
    STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~CAccessibleObject() = default;

    bool IsConnected() const noexcept { return m_pSource != nullptr && ::IsWindow(m_hWnd); }
    long ChildCount() const {
        const long count = m_pSource->AccChildCount();
        return count > 0 ? count : 0;
    }
    bool IsChild(long id) const { return id >= 1 && id <= ChildCount(); }

    // The child a client named: CHILDID_SELF or one the control has now. A missing variant means self.
    HRESULT CheckChild(const VARIANT& v, long& id) const {
        if (!IsConnected())
            return RPC_E_DISCONNECTED;
        switch (v.vt) {
        case VT_EMPTY:
            id = CHILDID_SELF;
            break;
        case VT_I4:
            id = v.lVal;
            break;
        case VT_INT:
            id = v.intVal;
            break;
        case VT_I2:
            id = v.iVal;
            break;
        default:
            return E_INVALIDARG;
        }
        return id == CHILDID_SELF || IsChild(id) ? S_OK : E_INVALIDARG;
    }

    template <class F> HRESULT GetText(const VARIANT& varChild, BSTR* out, F&& text) {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        return Guarded([&]() -> HRESULT {
            long id = 0;
            if (const HRESULT hr = CheckChild(varChild, id); FAILED(hr))
                return hr;
            return ReturnText(text(id), out);
        });
    }

    LONG m_nRefs = 1;
    HWND m_hWnd;
    CAccessibleSource* m_pSource;
};

CAccessibleServer::~CAccessibleServer() {
    Disconnect();
}

LRESULT CAccessibleServer::OnGetObject(HWND hwnd, WPARAM wParam, LPARAM lParam, CAccessibleSource& source) {
    // The object id is a 32-bit value, sign-extended or not on the way.
    if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT || hwnd == nullptr)
        return 0;
    try {
        if (m_pObject != nullptr && m_pObject->Window() != hwnd)
            Disconnect(); // the control made a new window
        if (m_pObject == nullptr)
            m_pObject = new CAccessibleObject(hwnd, source);
        const LRESULT result = ::LresultFromObject(kIidAccessible, wParam, m_pObject);
        if (FAILED(static_cast<HRESULT>(result))) {
            DebugTrace(L"LresultFromObject failed");
            return 0;
        }
        return result;
    } catch (...) {
        TraceCaughtException(L"WM_GETOBJECT");
        return 0;
    }
}

void CAccessibleServer::Disconnect() noexcept {
    if (m_pObject != nullptr) {
        m_pObject->Disconnect();
        m_pObject->Release();
        m_pObject = nullptr;
    }
}

void NotifyAccEvent(DWORD event, HWND hwnd, long child) {
    if (hwnd != nullptr)
        ::NotifyWinEvent(event, hwnd, OBJID_CLIENT, child);
}

std::wstring AccCaptionText(const std::wstring& caption, std::wstring* shortcut) {
    std::wstring out;
    out.reserve(caption.size());
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != L'&') {
            out += caption[i];
            continue;
        }
        if (i + 1 >= caption.size())
            break;
        ++i;
        if (caption[i] != L'&' && shortcut != nullptr && shortcut->empty())
            *shortcut = std::wstring(L"Alt+") + static_cast<wchar_t>(std::towupper(caption[i]));
        out += caption[i];
    }
    return out;
}

RECT ClientToScreenRect(HWND hwnd, RECT rc) {
    POINT corners[2] = {{rc.left, rc.top}, {rc.right, rc.bottom}};
    ::MapWindowPoints(hwnd, nullptr, corners, 2);
    return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

} // namespace dravel::win
