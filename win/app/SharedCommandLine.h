#pragma once

// The 256-byte buffer through which a later launch passes its command line to the first instance:
// shared memory named after the guard's base name, and a named mutex that every access takes. Both are
// made for the user who runs the program alone, and a read empties the buffer.

#include "win/base/Handles.h"

#include <memory>
#include <string>
#include <string_view>

namespace dravel::win {

class CSharedCommandLine {
public:
    // Opens (or creates) the buffer and its lock for baseName and clears the buffer.
    explicit CSharedCommandLine(const std::wstring& baseName);
    virtual ~CSharedCommandLine() = default;

    CSharedCommandLine(const CSharedCommandLine&) = delete;
    CSharedCommandLine& operator=(const CSharedCommandLine&) = delete;

    // False when the buffer could not be mapped (the name taken by another kind of object, say).
    bool IsOpen() const { return m_pView != nullptr && m_hLock; }
    // Writes text when it is shorter than 256 characters; false if it was not written.
    bool Write(std::string_view text);
    // The text in the buffer, which is cleared; empty when there is none or the lock could not be taken.
    std::string Read();

private:
    // A lock left by a process that died counts as taken; one held for ever does not hang us.
    bool Lock();

    struct ViewUnmapper {
        void operator()(char* pView) const { ::UnmapViewOfFile(pView); }
    };

    CKernelHandle m_hMapping;
    CKernelHandle m_hLock;
    // Declared last: the view goes before the handles.
    std::unique_ptr<char, ViewUnmapper> m_pView;
};

} // namespace dravel::win
