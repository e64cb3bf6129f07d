// Text conversion, argument parsing and JSON writing for the UI driver.
#include "tests/e2e/uidriver/Driver.h"

#include <cerrno>
#include <cstdio>
#include <cwchar>

std::string ToUtf8(std::wstring_view text) {
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(std::string_view text) {
    if (text.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

long long NowMs() {
    return static_cast<long long>(GetTickCount64());
}

Args::Args(const std::vector<std::wstring>& words) {
    for (const std::wstring& word : words) {
        size_t eq = word.find(L'=');
        if (eq == std::wstring::npos || eq == 0)
            throw DriverError("expected key=value, got '" + ToUtf8(word) + "'");
        m_vecItems.emplace_back(word.substr(0, eq), word.substr(eq + 1));
    }
}

bool Args::Has(std::wstring_view key) const {
    for (const auto& item : m_vecItems)
        if (item.first == key)
            return true;
    return false;
}

std::wstring Args::Str(std::wstring_view key, std::wstring_view fallback) const {
    for (const auto& item : m_vecItems)
        if (item.first == key)
            return item.second;
    return std::wstring(fallback);
}

long long Args::Int(std::wstring_view key, long long fallback) const {
    if (!Has(key))
        return fallback;
    std::wstring value = Str(key);
    wchar_t* end = nullptr;
    errno = 0;
    long long n = std::wcstoll(value.c_str(), &end, 0);
    if (value.empty() || *end != L'\0' || errno != 0) {
        // Values above LLONG_MAX still fit an unsigned 64-bit handle or parameter.
        errno = 0;
        n = static_cast<long long>(std::wcstoull(value.c_str(), &end, 0));
        if (value.empty() || *end != L'\0' || errno != 0)
            throw DriverError("not a number: " + ToUtf8(key) + "=" + ToUtf8(value));
    }
    return n;
}

void Args::CheckKnown(std::wstring_view verb, std::wstring_view knownKeys) const {
    std::wstring known = L"," + std::wstring(knownKeys) + L",";
    for (const auto& item : m_vecItems)
        if (known.find(L"," + item.first + L",") == std::wstring::npos)
            throw DriverError("unknown key '" + ToUtf8(item.first) + "' for " + ToUtf8(verb));
}

std::string JsonString(std::wstring_view value) {
    std::string out = "\"";
    for (unsigned char c : ToUtf8(value)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string JsonArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? "," : "") + items[i];
    return out + "]";
}

void JsonObject::Key(std::string_view key) {
    if (!m_strBody.empty())
        m_strBody += ',';
    m_strBody += '"';
    m_strBody += key;
    m_strBody += "\":";
}

JsonObject& JsonObject::Str(std::string_view key, std::wstring_view value) {
    Key(key);
    m_strBody += JsonString(value);
    return *this;
}

JsonObject& JsonObject::Num(std::string_view key, long long value) {
    Key(key);
    m_strBody += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::Bool(std::string_view key, bool value) {
    Key(key);
    m_strBody += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::Raw(std::string_view key, std::string_view json) {
    Key(key);
    m_strBody += json;
    return *this;
}
