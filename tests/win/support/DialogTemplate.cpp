#include "DialogTemplate.h"

namespace dravel::win::test {

CTemplate::CTemplate(DWORD style, const wchar_t* title, short cx, short cy) {
    Append(LOWORD(style));
    Append(HIWORD(style));
    Append(0); // extended style
    Append(0);
    m_nCountAt = m_words.size();
    Append(0); // item count
    Append(0); // x
    Append(0); // y
    Append(static_cast<WORD>(cx));
    Append(static_cast<WORD>(cy));
    Append(0); // no menu
    Append(0); // default class
    AppendText(title);
}

void CTemplate::AddItem(WORD id, WORD classAtom, const wchar_t* text, DWORD style, short x, short y, short cx,
                        short cy) {
    if (m_words.size() % 2 != 0)
        Append(0); // items start on a DWORD boundary
    style |= WS_CHILD | WS_VISIBLE;
    Append(LOWORD(style));
    Append(HIWORD(style));
    Append(0);
    Append(0);
    Append(static_cast<WORD>(x));
    Append(static_cast<WORD>(y));
    Append(static_cast<WORD>(cx));
    Append(static_cast<WORD>(cy));
    Append(id);
    Append(0xFFFF);
    Append(classAtom);
    AppendText(text);
    Append(0); // no creation data
    ++m_words[m_nCountAt];
}

void CTemplate::AppendText(const wchar_t* text) {
    for (; *text != L'\0'; ++text)
        Append(static_cast<WORD>(*text));
    Append(0);
}

} // namespace dravel::win::test
