// A stand-in for the default web browser: run as "e2e_opener.exe <url>", it appends what it was asked to
// open (its command line after the program name, as Windows gave it) as a UTF-8 line to opened.txt in
// its own folder, and ends. Runs that overlap each add their own whole line.
#include <windows.h>

#include <string>

namespace {

// The command line less the program's name and the blanks after it.
const wchar_t* CommandTail(const wchar_t* line) {
    if (*line == L'"') {
        ++line;
        while (*line != L'\0' && *line != L'"')
            ++line;
        if (*line == L'"')
            ++line;
    } else {
        while (*line != L'\0' && *line != L' ' && *line != L'\t')
            ++line;
    }
    while (*line == L' ' || *line == L'\t')
        ++line;
    return line;
}

std::wstring OwnFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const wchar_t* tail = CommandTail(::GetCommandLineW());
    const int tailLength = static_cast<int>(::wcslen(tail));
    std::string line;
    if (tailLength > 0) {
        const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, tail, tailLength, nullptr, 0, nullptr, nullptr);
        if (bytes <= 0)
            return 1;
        line.resize(static_cast<size_t>(bytes));
        ::WideCharToMultiByte(CP_UTF8, 0, tail, tailLength, line.data(), bytes, nullptr, nullptr);
    }
    line += '\n';

    const std::wstring folder = OwnFolder();
    if (folder.empty())
        return 1;
    // Append-only access: every write goes to the end of the file as it is then, one whole line at a time,
    // whoever else has it open.
    const HANDLE file = ::CreateFileW((folder + L"opened.txt").c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == line.size() ? 0 : 1;
}
