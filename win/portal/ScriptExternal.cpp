#include "win/portal/ScriptExternal.h"

#include "win/base/Window.h"

#include <cmath>
#include <cstdint>
#include <cwchar>
#include <new>
#include <vector>

namespace dravel::win {

namespace {

ScriptArg NumberFromInt64(int64_t n) {
    if (n < INT32_MIN || n > INT32_MAX)
        return ScriptArg::Other();
    return ScriptArg::Number(static_cast<int32_t>(n));
}

ScriptArg NumberFromUInt64(uint64_t n) {
    if (n > static_cast<uint64_t>(INT32_MAX))
        return ScriptArg::Other();
    return ScriptArg::Number(static_cast<int32_t>(n));
}

ScriptArg NumberFromDouble(double d) {
    // NaN fails every comparison and so every test below.
    if (!(d >= static_cast<double>(INT32_MIN) && d <= static_cast<double>(INT32_MAX)) || std::trunc(d) != d)
        return ScriptArg::Other();
    return ScriptArg::Number(static_cast<int32_t>(d));
}

ScriptArg TextFromBstr(BSTR b) {
    if (b == nullptr)
        return ScriptArg::Text({});
    return ScriptArg::Text(WideToCp949(std::wstring_view(b, ::SysStringLen(b))));
}

} // namespace

ScriptArg ScriptArgFromVariant(const VARIANT& v) {
    const VARIANT* p = &v;
    if (p->vt == (VT_BYREF | VT_VARIANT)) {
        if (p->pvarVal == nullptr)
            return ScriptArg::Other();
        p = p->pvarVal;
    }
    const VARTYPE vt = p->vt;
    if ((vt & (VT_ARRAY | VT_VECTOR)) != 0)
        return ScriptArg::Other();
    if ((vt & VT_BYREF) != 0) {
        if (p->byref == nullptr)
            return ScriptArg::Other();
        switch (vt & ~VT_BYREF) {
        case VT_BSTR:
            return TextFromBstr(*p->pbstrVal);
        case VT_I1:
            return NumberFromInt64(static_cast<signed char>(*p->pcVal));
        case VT_UI1:
            return NumberFromInt64(*p->pbVal);
        case VT_I2:
            return NumberFromInt64(*p->piVal);
        case VT_UI2:
            return NumberFromInt64(*p->puiVal);
        case VT_I4:
            return NumberFromInt64(*p->plVal);
        case VT_UI4:
            return NumberFromUInt64(*p->pulVal);
        case VT_INT:
            return NumberFromInt64(*p->pintVal);
        case VT_UINT:
            return NumberFromUInt64(*p->puintVal);
        case VT_I8:
            return NumberFromInt64(*p->pllVal);
        case VT_UI8:
            return NumberFromUInt64(*p->pullVal);
        case VT_R4:
            return NumberFromDouble(*p->pfltVal);
        case VT_R8:
            return NumberFromDouble(*p->pdblVal);
        default:
            return ScriptArg::Other();
        }
    }
    switch (vt) {
    case VT_BSTR:
        return TextFromBstr(p->bstrVal);
    case VT_I1:
        return NumberFromInt64(static_cast<signed char>(p->cVal));
    case VT_UI1:
        return NumberFromInt64(p->bVal);
    case VT_I2:
        return NumberFromInt64(p->iVal);
    case VT_UI2:
        return NumberFromInt64(p->uiVal);
    case VT_I4:
        return NumberFromInt64(p->lVal);
    case VT_UI4:
        return NumberFromUInt64(p->ulVal);
    case VT_INT:
        return NumberFromInt64(p->intVal);
    case VT_UINT:
        return NumberFromUInt64(p->uintVal);
    case VT_I8:
        return NumberFromInt64(p->llVal);
    case VT_UI8:
        return NumberFromUInt64(p->ullVal);
    case VT_R4:
        return NumberFromDouble(p->fltVal);
    case VT_R8:
        return NumberFromDouble(p->dblVal);
    default:
        return ScriptArg::Other();
    }
}

HRESULT ScriptStatusToHResult(ScriptStatus status) {
    switch (status) {
    case ScriptStatus::Ok:
        return S_OK;
    case ScriptStatus::BadParamCount:
        return DISP_E_BADPARAMCOUNT;
    case ScriptStatus::TypeMismatch:
        return DISP_E_TYPEMISMATCH;
    case ScriptStatus::BadValue:
        return E_INVALIDARG;
    case ScriptStatus::AccessDenied:
        return E_ACCESSDENIED;
    }
    return E_UNEXPECTED;
}

STDMETHODIMP CScriptExternal::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CScriptExternal::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&m_nRefs));
}

STDMETHODIMP_(ULONG) CScriptExternal::Release() {
    // One Release too many leaves the count at 0 rather than wrapping round.
    LONG now = m_nRefs;
    while (now > 0) {
        const LONG before = ::InterlockedCompareExchange(&m_nRefs, now - 1, now);
        if (before == now)
            return static_cast<ULONG>(now - 1);
        now = before;
    }
    return 0;
}

STDMETHODIMP CScriptExternal::GetTypeInfoCount(UINT*) {
    return E_NOTIMPL;
}

STDMETHODIMP CScriptExternal::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}

STDMETHODIMP CScriptExternal::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
    if (cNames == 0)
        return S_OK;
    if (rgszNames == nullptr || rgDispId == nullptr)
        return E_POINTER;
    try {
        bool bAllKnown = true;
        for (UINT i = 0; i < cNames; ++i) {
            DISPID id = kUnknownScriptName;
            if (rgszNames[i] != nullptr)
                id = ScriptFunctionIdOf(WideToCp949(std::wstring_view(rgszNames[i], std::wcslen(rgszNames[i]))));
            rgDispId[i] = id;
            if (id == kUnknownScriptName)
                bAllKnown = false;
        }
        return bAllKnown ? S_OK : DISP_E_UNKNOWNNAME;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP CScriptExternal::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                     VARIANT* pVarResult, EXCEPINFO*, UINT* puArgErr) {
    // A page script runs below: a session end it asks for waits until this call has returned.
    const CWindow::CHandlerScope scope;
    try {
        // Named arguments come first in the array; the positional ones follow, last-first.
        std::vector<ScriptArg> args;
        UINT nNamed = 0;
        if (pDispParams != nullptr && pDispParams->rgvarg != nullptr && pDispParams->cArgs > pDispParams->cNamedArgs) {
            nNamed = pDispParams->cNamedArgs;
            args.reserve(pDispParams->cArgs - nNamed);
            for (UINT i = nNamed; i < pDispParams->cArgs; ++i)
                args.push_back(ScriptArgFromVariant(pDispParams->rgvarg[i]));
        }
        const ScriptResult result = InvokeScriptFunction(dispIdMember, wFlags, args, m_host, m_strPortalHost);
        if (result.status != ScriptStatus::Ok) {
            if (puArgErr != nullptr && result.status != ScriptStatus::BadParamCount)
                *puArgErr = nNamed + static_cast<UINT>(result.nBadArg);
            return ScriptStatusToHResult(result.status);
        }
        if (result.bHasValue && pVarResult != nullptr) {
            ::VariantInit(pVarResult);
            pVarResult->vt = VT_BOOL;
            pVarResult->boolVal = result.bValue ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace dravel::win
