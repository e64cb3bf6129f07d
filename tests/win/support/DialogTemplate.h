#pragma once
// Helpers of the skinned-control tests: in-memory dialog templates, a message pump that waits for a
// condition, and a 32-bit memory bitmap that windows print into so that pixels can be checked.

#include "win/base/Handles.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace skintest {

// Runs the thread's messages until pred() holds or the time is up; returns pred(). Callers assert the
// result, so a condition that never comes fails the test at the time-out.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 2000);
// Runs the thread's messages for a fixed time: only for a check that nothing happens within that time.
void Pump(DWORD ms = 30);
// Whether the window and all its descendants have served their paint requests.
bool NothingToPaint(HWND hwnd);

// The showcase handshake with the screenshot runner: waits until the window (when one is given) has
// painted and two looks at the screen a moment apart agree, writes "<dir>\ready-<n>"
// (holding the window's size as "WxH" when a window is given) and pumps until the runner has written
// "<dir>\done-<n>" after its picture.
bool AwaitPicture(const std::wstring& dir, int n, HWND hwnd = nullptr);

// A DLGTEMPLATE in memory. Sizes are dialog units.
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

// A top-down 32-bit DIB section selected into its own DC.
class CPixels {
public:
    CPixels(int cx, int cy, COLORREF fill = RGB(1, 2, 3));
    ~CPixels() = default;
    CPixels(const CPixels&) = delete;
    CPixels& operator=(const CPixels&) = delete;

    HDC Dc() const { return m_dc.Get(); }
    int Width() const { return m_cx; }
    int Height() const { return m_cy; }
    COLORREF At(int x, int y) const;
    bool Same(const CPixels& other) const;
    // Pixels of a rectangle that are not grey (red, green and blue differ) and not 'except'.
    int CountColoured(const RECT& rc, COLORREF except) const;
    int Count(const RECT& rc, COLORREF colour) const;
    bool SaveBmp(const std::wstring& path) const;

private:
    dravel::win::CDcHandle m_dc;
    dravel::win::CBitmapHandle m_bitmap;
    std::optional<dravel::win::CSelectObjectGuard> m_selection;
    const DWORD* m_bits = nullptr;
    int m_cx;
    int m_cy;
};

// WM_PRINTCLIENT with background erase, into pixels of the window's client size.
void PrintClient(HWND hwnd, CPixels& pixels);

// A 24-bit bitmap of cx x cy in one colour with a 'mark' square of 4 x 4 at its top-left corner.
HBITMAP MakeMarkedBitmap(int cx, int cy, COLORREF fill, COLORREF mark);

} // namespace skintest
