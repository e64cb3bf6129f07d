#include "win/session/AttentionHost.h"

#include "win/base/Registry.h"
#include "win/base/Text.h"

#include <shellapi.h>

namespace dravel::win {

namespace {

constexpr wchar_t kCompany[] = L"Brello";
constexpr wchar_t kApplication[] = L"Tamix";
constexpr wchar_t kDoNotDisturbValue[] = L"DoNotDisturb";
constexpr wchar_t kPopupsStayValue[] = L"PopupsStay";
constexpr wchar_t kMutedKey[] = L"\\Muted";
// A damaged or planted store is read this far and no further.
constexpr DWORD kMaxMutedPeers = 4096;
constexpr DWORD kMaxPeerIdChars = 256;

bool ReadFlag(const CRegistryKey& key, const wchar_t* name) {
    DWORD value = 0;
    return key.ReadDword(name, value) && value == 1;
}

} // namespace

void CAttentionHost::LoadFor(const std::string& userId) {
    // Every login grant asks; a grant after an outage keeps what is unread.
    if (m_strUser && *m_strUser == userId)
        return;
    m_strUser = userId;
    m_rules = CAttention{};
    m_bPopupsStay = false;
    m_strSection.clear();
    const std::wstring id = Cp949ToWide(userId);
    // A login ID is one key name: no separators, nothing that the registry would read as a path.
    if (id.empty() || id.size() > 255 || id.find_first_of(L"\\/") != std::wstring::npos || id == L"." || id == L"..")
        return;
    m_strSection = CAppProfile(kCompany, kApplication).SectionPath(L"Attention\\" + id);
    const CRegistryKey key = CRegistryKey::OpenRead(HKEY_CURRENT_USER, m_strSection);
    if (key.IsOpen()) {
        m_rules.SetDoNotDisturb(ReadFlag(key, kDoNotDisturbValue));
        m_bPopupsStay = ReadFlag(key, kPopupsStayValue);
    }
    const CRegistryKey muted = CRegistryKey::OpenRead(HKEY_CURRENT_USER, m_strSection + kMutedKey);
    if (!muted.IsOpen())
        return;
    for (DWORD i = 0; i < kMaxMutedPeers; ++i) {
        wchar_t name[kMaxPeerIdChars + 1];
        DWORD nameChars = kMaxPeerIdChars + 1;
        DWORD type = 0;
        DWORD value = 0;
        DWORD size = sizeof(value);
        const LONG status = ::RegEnumValueW(muted.Get(), i, name, &nameChars, nullptr, &type,
                                            reinterpret_cast<BYTE*>(&value), &size);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value) && value == 1)
            m_rules.SetMuted(WideToCp949(std::wstring_view(name, nameChars)), true);
    }
}

void CAttentionHost::SetDoNotDisturb(bool bOn) {
    m_rules.SetDoNotDisturb(bOn);
    if (!m_strSection.empty())
        CRegistryKey::OpenWrite(HKEY_CURRENT_USER, m_strSection).WriteDword(kDoNotDisturbValue, bOn ? 1 : 0);
    Changed();
}

void CAttentionHost::SetPopupsStay(bool bOn) {
    m_bPopupsStay = bOn;
    if (!m_strSection.empty())
        CRegistryKey::OpenWrite(HKEY_CURRENT_USER, m_strSection).WriteDword(kPopupsStayValue, bOn ? 1 : 0);
}

void CAttentionHost::SetMuted(const std::string& peerId, bool bMuted) {
    if (peerId.empty())
        return;
    m_rules.SetMuted(peerId, bMuted);
    if (!m_strSection.empty()) {
        const CRegistryKey key = CRegistryKey::OpenWrite(HKEY_CURRENT_USER, m_strSection + kMutedKey);
        const std::wstring name = Cp949ToWide(peerId);
        if (bMuted)
            key.WriteDword(name.c_str(), 1);
        else if (key.IsOpen())
            ::RegDeleteValueW(key.Get(), name.c_str());
    }
    Changed();
}

std::optional<QuietSummary> CAttentionHost::Refresh() {
    QUERY_USER_NOTIFICATION_STATE state{};
    const bool bQuiet = SUCCEEDED(::SHQueryUserNotificationState(&state)) && IsSystemQuietState(static_cast<int>(state));
    if (bQuiet != m_rules.SystemQuiet()) {
        m_rules.SetSystemQuiet(bQuiet);
        Changed();
    }
    return m_rules.TakeQuietSummary();
}

void CAttentionHost::Changed() {
    m_view.ShowAttention(m_rules.Total(), m_rules.IsQuiet(), m_rules.Unread());
}

} // namespace dravel::win
