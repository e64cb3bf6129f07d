#pragma once

// A top-level parent for list controls in tests; it records the list's notifications.

#include "win/ui/HTMLListCtrl.h"

#include <string>
#include <vector>

namespace dravel::win::test {

struct CRecordedNotify {
    UINT code;
    int index;
    std::string text;
    int data;
    int checked;
    HWND from;
    UINT_PTR id;
};

class CListParent {
public:
    CListParent(int width, int height) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"HtmlListTestParent";
        ::RegisterClassW(&wc);
        m_hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"HTML list", WS_OVERLAPPED | WS_CAPTION, 0, 0, width + 40,
                                   height + 60, nullptr, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CListParent() { ::DestroyWindow(m_hwnd); }
    CListParent(const CListParent&) = delete;
    CListParent& operator=(const CListParent&) = delete;

    HWND Hwnd() const { return m_hwnd; }
    std::vector<UINT> Codes() const {
        std::vector<UINT> codes;
        for (const auto& n : notes)
            codes.push_back(n.code);
        return codes;
    }

    std::vector<CRecordedNotify> notes;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CListParent*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_NOTIFY) {
            const auto* n = reinterpret_cast<const HtmlListNotify*>(lParam);
            if (self != nullptr)
                self->notes.push_back({n->hdr.code, n->nIndex, n->strText, n->nData, n->nChecked,
                                       static_cast<HWND>(n->hdr.hwndFrom), static_cast<UINT_PTR>(wParam)});
            return 0;
        }
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    HWND m_hwnd = nullptr;
};

} // namespace dravel::win::test
