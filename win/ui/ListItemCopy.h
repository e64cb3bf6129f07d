#pragma once

// The lists the program draws itself (the HTML list, the chat list's user list) hand their items to
// another window on request, in another process too, through messages the system carries between
// processes:
//
//   SendMessage(list, kListCopyItemMessage, (WPARAM)receiver, index)   (win/base/Messages.h)
//
// The list answers by sending the receiver WM_COPYDATA with dwData kListCopyItemTag and, as data, the
// item as UTF-16 fields "name\0value\0name\0value\0..."; the message returns TRUE when the item exists
// and was sent, FALSE otherwise. Index -1 asks for the list itself (count, selection, scroll position).
// Each list documents its field names beside its class.

#include "win/base/Messages.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dravel::win {

inline constexpr ULONG_PTR kListCopyItemTag = 0x4C495354; // "LIST"

// Builds the fields of one answer.
class CListItemFields {
public:
    CListItemFields& Add(std::wstring_view name, std::wstring_view value) {
        m_data.append(name).push_back(L'\0');
        m_data.append(value).push_back(L'\0');
        return *this;
    }
    CListItemFields& Add(std::wstring_view name, long long value) { return Add(name, std::to_wstring(value)); }

    // Sends the fields to the receiver; false when it is no window or did not take them.
    bool SendTo(HWND receiver, HWND list) const {
        if (!::IsWindow(receiver))
            return false;
        COPYDATASTRUCT cds{.dwData = kListCopyItemTag,
                           .cbData = static_cast<DWORD>(m_data.size() * sizeof(wchar_t)),
                           .lpData = const_cast<wchar_t*>(m_data.data())};
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutW(receiver, WM_COPYDATA, reinterpret_cast<WPARAM>(list),
                                     reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, 2000, &result) != 0;
    }

private:
    std::wstring m_data;
};

// Reads an answer back into name and value pairs (the receiving side).
inline std::vector<std::pair<std::wstring, std::wstring>> ParseListItemFields(const COPYDATASTRUCT& cds) {
    std::vector<std::pair<std::wstring, std::wstring>> fields;
    if (cds.dwData != kListCopyItemTag || cds.lpData == nullptr)
        return fields;
    std::wstring_view data(static_cast<const wchar_t*>(cds.lpData), cds.cbData / sizeof(wchar_t));
    while (!data.empty()) {
        size_t end = data.find(L'\0');
        if (end == std::wstring_view::npos)
            break;
        std::wstring name(data.substr(0, end));
        data.remove_prefix(end + 1);
        end = data.find(L'\0');
        if (end == std::wstring_view::npos)
            break;
        fields.emplace_back(std::move(name), std::wstring(data.substr(0, end)));
        data.remove_prefix(end + 1);
    }
    return fields;
}

} // namespace dravel::win
