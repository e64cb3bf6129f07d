#pragma once

// Reads the program's lists as another program would: the list copies an item to this message-only
// window (win/ui/ListItemCopy.h).

#include "win/ui/ListItemCopy.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dravel::win::test {

class CListCopyReceiver {
public:
    using Fields = std::vector<std::pair<std::wstring, std::wstring>>;

    CListCopyReceiver() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &CListCopyReceiver::Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"DravelOn.Test.ListCopyReceiver";
        ::RegisterClassW(&wc);
        m_hwnd = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CListCopyReceiver() { ::DestroyWindow(m_hwnd); }
    CListCopyReceiver(const CListCopyReceiver&) = delete;
    CListCopyReceiver& operator=(const CListCopyReceiver&) = delete;

    HWND Hwnd() const { return m_hwnd; }
    // Asks the list for an item (index -1: the list itself); the fields it sent, none when it answered FALSE.
    std::optional<Fields> Copy(HWND list, int index) {
        m_fields.clear();
        if (!::SendMessageW(list, kListCopyItemMessage, reinterpret_cast<WPARAM>(m_hwnd), index))
            return std::nullopt;
        return m_fields;
    }
    // One field of an item; empty when the list, the item or the field is not there.
    std::wstring Field(HWND list, int index, const wchar_t* name) {
        const std::optional<Fields> fields = Copy(list, index);
        if (fields)
            for (const auto& [field, value] : *fields)
                if (field == name)
                    return value;
        return {};
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CListCopyReceiver*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_COPYDATA && self != nullptr) {
            self->m_fields = ParseListItemFields(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
            return TRUE;
        }
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    HWND m_hwnd = nullptr;
    Fields m_fields;
};

} // namespace dravel::win::test
