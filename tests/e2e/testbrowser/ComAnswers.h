#pragma once

// Answers of the control's COM methods, shared by its interfaces.

#include <windows.h>

#include <new>

// What the host's own error handling would see from a control that ran out of memory.
template <typename Fn> HRESULT Guarded(Fn fn) noexcept {
    try {
        return fn();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

template <typename T> void ReleaseAndClear(T*& p) noexcept {
    if (p != nullptr) {
        T* old = p;
        p = nullptr;
        old->Release();
    }
}

// Out-parameters of what we do not offer are cleared, so a host that reads them anyway reads nothing.
template <typename T> HRESULT NotOffered(T* p, T value = T{}) noexcept {
    if (p != nullptr)
        *p = value;
    return E_NOTIMPL;
}

template <typename T> HRESULT Answer(T* p, T value) noexcept {
    if (p == nullptr)
        return E_POINTER;
    *p = value;
    return S_OK;
}
