#include "win/conversation/ConversationServices.h"

#include "win/base/Text.h"
#include "win/ui/DefaultBrowser.h"

#include "win/res/resource.h"

#include <commdlg.h>
#include <shellapi.h>

#include <vector>

namespace dravel::win {

namespace {

constexpr unsigned kSendPauseMs = 800;
constexpr DWORD kBeepHz = 1000;
constexpr DWORD kBeepMs = 100;
// Room for a long path, as the open-file dialog's explorer style allows.
constexpr size_t kChosenPathChars = 32768;

} // namespace

unsigned ConversationServices::SendPauseMs() const {
    return kSendPauseMs;
}

void ConversationServices::Beep() const {
    ::Beep(kBeepHz, kBeepMs);
}

std::optional<std::wstring> ConversationServices::ChooseFile(HWND owner) const {
    // The filter's parts end with "|" in the string table, with a null character for the dialog.
    std::wstring filter = LoadResString(IDS_CONV_FILE_FILTER);
    for (wchar_t& c : filter) {
        if (c == L'|')
            c = L'\0';
    }
    filter.push_back(L'\0');
    std::vector<wchar_t> buffer(kChosenPathChars, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
    if (!::GetOpenFileNameW(&ofn))
        return std::nullopt;
    return std::wstring(buffer.data());
}

void ConversationServices::OpenFile(HWND owner, const std::wstring& path) const {
    ::ShellExecuteW(owner, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void ConversationServices::OpenAddress(HWND, const std::wstring& url) const {
    OpenInDefaultBrowser(url);
}

ConversationServices& ConversationServices::Default() {
    static ConversationServices services;
    return services;
}

} // namespace dravel::win
