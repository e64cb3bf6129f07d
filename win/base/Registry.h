#pragma once

// Registry access with bounded reads: nothing read from the registry is trusted for its type, its
// length or its terminating NUL.

#include "win/base/Handles.h"

#include <string>
#include <string_view>

namespace dravel::win {

class CRegistryKey {
public:
    CRegistryKey() noexcept = default;

    // Opens an existing key with KEY_READ. The result is closed (IsOpen() false) on failure; pError
    // receives the system's error code.
    static CRegistryKey OpenRead(HKEY root, const std::wstring& path, LONG* pError = nullptr);
    // Opens a key with KEY_READ | KEY_WRITE, creating it (and missing parents) if bCreate.
    static CRegistryKey OpenWrite(HKEY root, const std::wstring& path, bool bCreate = true, LONG* pError = nullptr);

    bool IsOpen() const noexcept { return static_cast<bool>(m_key); }
    HKEY Get() const noexcept { return m_key.Get(); }

    // A REG_SZ value (REG_EXPAND_SZ is read too, unexpanded), up to its first NUL; data without a NUL
    // counts in full. The text may have at most maxChars characters. Anything else gives an empty
    // string with *pStatus set:
    //   ERROR_FILE_NOT_FOUND   no such value (or no key)
    //   ERROR_INVALID_DATATYPE the value is not a string
    //   ERROR_MORE_DATA        the value is longer than maxChars: refused, not cut, so a partial path or
    //                          name is never taken for the real one
    // At most (maxChars + 1) characters are ever read, whatever the size of the stored data.
    std::wstring ReadString(const wchar_t* name, size_t maxChars, LONG* pStatus = nullptr) const;
    // A REG_DWORD value of exactly four bytes; false (value untouched) otherwise.
    bool ReadDword(const wchar_t* name, DWORD& value) const;

    bool WriteString(const wchar_t* name, std::wstring_view value) const;
    bool WriteDword(const wchar_t* name, DWORD value) const;

private:
    explicit CRegistryKey(HKEY key) noexcept : m_key(key) {}

    CRegKeyHandle m_key;
};

// The application profile: values under <root>\Software\<company>\<application>\<section>, integers as
// REG_DWORD (negative numbers in two's complement), strings as REG_SZ.
class CAppProfile {
public:
    CAppProfile(std::wstring company, std::wstring application, HKEY root = HKEY_CURRENT_USER);

    // The section's key path below the root.
    std::wstring SectionPath(std::wstring_view section) const;

    // The stored integer, or defaultValue if it is missing or not a REG_DWORD.
    int ReadInt(std::wstring_view section, const wchar_t* entry, int defaultValue) const;
    bool WriteInt(std::wstring_view section, const wchar_t* entry, int value) const;
    // The stored text (at most maxChars characters, see CRegistryKey::ReadString), or defaultValue.
    std::wstring ReadString(std::wstring_view section, const wchar_t* entry, std::wstring_view defaultValue,
                            size_t maxChars = 1024) const;
    bool WriteString(std::wstring_view section, const wchar_t* entry, std::wstring_view value) const;

private:
    std::wstring m_strCompany;
    std::wstring m_strApplication;
    HKEY m_hRoot; // a predefined root key, not owned
};

} // namespace dravel::win
