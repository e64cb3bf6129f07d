#pragma once

// An in-memory DLGTEMPLATE, so that tests of dialogs and controls need no resource script. Sizes are
// dialog units.

#include <windows.h>

#include <vector>

namespace dravel::win::test {

class CTemplate {
public:
    CTemplate(DWORD style, const wchar_t* title, short cx, short cy);
    // classAtom: 0x0080 button, 0x0081 edit, 0x0082 static, 0x0083 list box.
    void AddItem(WORD id, WORD classAtom, const wchar_t* text, DWORD style, short x, short y, short cx, short cy);
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void Append(WORD w) { m_words.push_back(w); }
    void AppendText(const wchar_t* text);
    std::vector<WORD> m_words;
    size_t m_nCountAt = 0;
};

} // namespace dravel::win::test
