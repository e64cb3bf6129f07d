#include "win/base/Registry.h"

#include <algorithm>
#include <vector>

namespace dravel::win {

namespace {
constexpr size_t kMaxDword = 0xFFFFFFFFu;
} // namespace

CRegistryKey CRegistryKey::OpenRead(HKEY root, const std::wstring& path, LONG* pError) {
    HKEY key = nullptr;
    const LONG err = ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key);
    if (pError != nullptr)
        *pError = err;
    return err == ERROR_SUCCESS ? CRegistryKey(key) : CRegistryKey();
}

CRegistryKey CRegistryKey::OpenWrite(HKEY root, const std::wstring& path, bool bCreate, LONG* pError) {
    HKEY key = nullptr;
    LONG err;
    if (bCreate)
        err = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                                &key, nullptr);
    else
        err = ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &key);
    if (pError != nullptr)
        *pError = err;
    return err == ERROR_SUCCESS ? CRegistryKey(key) : CRegistryKey();
}

std::wstring CRegistryKey::ReadString(const wchar_t* name, size_t maxChars, LONG* pStatus) const {
    LONG dummy = 0;
    LONG& status = pStatus != nullptr ? *pStatus : dummy;
    status = ERROR_FILE_NOT_FOUND;
    if (!IsOpen())
        return {};
    // One slot more than allowed: a text of maxChars characters fits with or without its NUL, and one
    // character more shows up as "too long" instead of going unnoticed.
    if (maxChars > (kMaxDword / sizeof(wchar_t)) - 2) {
        status = ERROR_INVALID_PARAMETER;
        return {};
    }
    std::vector<wchar_t> buffer(maxChars + 1, L'\0');
    DWORD type = REG_NONE;
    DWORD cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LONG err = ::RegQueryValueExW(m_key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &cb);
    if (err != ERROR_SUCCESS && err != ERROR_MORE_DATA) {
        status = err;
        return {};
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        status = ERROR_INVALID_DATATYPE;
        return {};
    }
    if (err == ERROR_MORE_DATA) {
        status = ERROR_MORE_DATA;
        return {};
    }
    // An odd trailing byte is not part of any character.
    size_t n = std::min<size_t>(cb / sizeof(wchar_t), buffer.size());
    for (size_t i = 0; i < n; ++i) {
        if (buffer[i] == L'\0') {
            n = i;
            break;
        }
    }
    if (n > maxChars) {
        status = ERROR_MORE_DATA;
        return {};
    }
    status = ERROR_SUCCESS;
    return std::wstring(buffer.data(), n);
}

bool CRegistryKey::ReadDword(const wchar_t* name, DWORD& value) const {
    if (!IsOpen())
        return false;
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD cb = sizeof(data);
    const LONG err = ::RegQueryValueExW(m_key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &cb);
    if (err != ERROR_SUCCESS || type != REG_DWORD || cb != sizeof(data))
        return false;
    value = data;
    return true;
}

bool CRegistryKey::WriteString(const wchar_t* name, std::wstring_view value) const {
    if (!IsOpen())
        return false;
    const std::wstring copy(value);
    const size_t cb = (copy.size() + 1) * sizeof(wchar_t);
    if (cb > kMaxDword)
        return false;
    return ::RegSetValueExW(m_key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(copy.c_str()),
                            static_cast<DWORD>(cb)) == ERROR_SUCCESS;
}

bool CRegistryKey::WriteDword(const wchar_t* name, DWORD value) const {
    if (!IsOpen())
        return false;
    return ::RegSetValueExW(m_key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
           ERROR_SUCCESS;
}

CAppProfile::CAppProfile(std::wstring company, std::wstring application, HKEY root)
    : m_strCompany(std::move(company)), m_strApplication(std::move(application)), m_hRoot(root) {}

std::wstring CAppProfile::SectionPath(std::wstring_view section) const {
    std::wstring path = L"Software\\";
    path += m_strCompany;
    path += L'\\';
    path += m_strApplication;
    path += L'\\';
    path += section;
    return path;
}

int CAppProfile::ReadInt(std::wstring_view section, const wchar_t* entry, int defaultValue) const {
    const CRegistryKey key = CRegistryKey::OpenRead(m_hRoot, SectionPath(section));
    DWORD value = 0;
    if (!key.ReadDword(entry, value))
        return defaultValue;
    return static_cast<int>(value);
}

bool CAppProfile::WriteInt(std::wstring_view section, const wchar_t* entry, int value) const {
    const CRegistryKey key = CRegistryKey::OpenWrite(m_hRoot, SectionPath(section));
    return key.WriteDword(entry, static_cast<DWORD>(value));
}

std::wstring CAppProfile::ReadString(std::wstring_view section, const wchar_t* entry, std::wstring_view defaultValue,
                                     size_t maxChars) const {
    const CRegistryKey key = CRegistryKey::OpenRead(m_hRoot, SectionPath(section));
    LONG status = ERROR_FILE_NOT_FOUND;
    std::wstring value = key.ReadString(entry, maxChars, &status);
    return status == ERROR_SUCCESS ? value : std::wstring(defaultValue);
}

bool CAppProfile::WriteString(std::wstring_view section, const wchar_t* entry, std::wstring_view value) const {
    const CRegistryKey key = CRegistryKey::OpenWrite(m_hRoot, SectionPath(section));
    return key.WriteString(entry, value);
}

} // namespace dravel::win
