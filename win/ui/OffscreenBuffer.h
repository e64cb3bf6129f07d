#pragma once
// An off-screen bitmap compatible with a target DC: paint into Dc(), then Present() copies the
// painted rectangle to the target in one BitBlt, so that custom-drawn windows do not flicker.

#include "win/base/Handles.h"

#include <optional>

namespace dravel::win {

class COffscreenBuffer {
public:
    // Prepares a buffer for rect (in target coordinates); Dc() uses the same coordinates.
    // On failure (no memory for the bitmap) Dc() is the target itself and Present() does nothing.
    COffscreenBuffer(HDC target, const RECT& rect) noexcept;
    ~COffscreenBuffer();

    COffscreenBuffer(const COffscreenBuffer&) = delete;
    COffscreenBuffer& operator=(const COffscreenBuffer&) = delete;

    HDC Dc() const noexcept { return m_hdcMem ? m_hdcMem.Get() : m_hdcTarget; }
    // Copies the buffer to the target; called by the destructor if not called before.
    void Present() noexcept;

private:
    HDC m_hdcTarget; // the caller's, not owned
    RECT m_rect;
    CDcHandle m_hdcMem;
    CBitmapHandle m_bitmap;
    std::optional<CSelectObjectGuard> m_bitmapSelection;
    POINT m_oldOrigin{};
    bool m_bPresented = false;
};

} // namespace dravel::win
