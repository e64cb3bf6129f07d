#include "win/ui/OffscreenBuffer.h"

namespace dravel::win {

COffscreenBuffer::COffscreenBuffer(HDC target, const RECT& rect) noexcept : m_hdcTarget(target), m_rect(rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return;
    CDcHandle mem(::CreateCompatibleDC(target));
    if (!mem)
        return;
    CBitmapHandle bitmap(::CreateCompatibleBitmap(target, width, height));
    if (!bitmap)
        return;
    m_hdcMem = std::move(mem);
    m_bitmap = std::move(bitmap);
    m_bitmapSelection.emplace(m_hdcMem.Get(), m_bitmap.Get());
    // The caller paints in target coordinates; the buffer starts at rect's top-left corner.
    ::SetWindowOrgEx(m_hdcMem.Get(), rect.left, rect.top, &m_oldOrigin);
}

COffscreenBuffer::~COffscreenBuffer() {
    Present();
    if (m_hdcMem)
        ::SetWindowOrgEx(m_hdcMem.Get(), m_oldOrigin.x, m_oldOrigin.y, nullptr);
    // The bitmap is deselected before it and the context are deleted.
    m_bitmapSelection.reset();
}

void COffscreenBuffer::Present() noexcept {
    if (m_bPresented || !m_hdcMem)
        return;
    m_bPresented = true;
    ::BitBlt(m_hdcTarget, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top,
             m_hdcMem.Get(), m_rect.left, m_rect.top, SRCCOPY);
}

} // namespace dravel::win
