#include "core/ui/NotifierAnimation.h"

#include "core/ui/DpiScale.h"

namespace dravel {

TaskbarEdge ChooseTaskbarEdge(const NotifierScreen& screen) {
    const NotifierRect& work = screen.work;
    if (work.right - work.left < screen.screenWidth)
        return work.left == 0 ? TaskbarEdge::Right : TaskbarEdge::Left;
    if (work.bottom - work.top < screen.screenHeight && work.top != 0)
        return TaskbarEdge::Top;
    return TaskbarEdge::Bottom;
}

NotifierPoint NotifierStartPosition(TaskbarEdge edge, const NotifierRect& work, int skinWidth, int skinHeight,
                                    int instance) {
    switch (edge) {
    case TaskbarEdge::Right:
        return {work.right, work.bottom - skinHeight};
    case TaskbarEdge::Left:
        return {work.left - skinWidth, work.bottom - skinHeight};
    case TaskbarEdge::Top:
        return {work.right - skinWidth, work.top - skinHeight};
    case TaskbarEdge::Bottom:
        break;
    }
    // Columns of eight from the right, each stacking upward; a negative number would land off the work area.
    const int n = instance < 0 ? 0 : instance;
    return {work.right - (n / kNotifierColumnHeight + 1) * skinWidth,
            work.bottom - (n % kNotifierColumnHeight) * skinHeight};
}

NotifierPoint NotifierShownPosition(TaskbarEdge edge, const NotifierRect& work, NotifierPoint start, int skinWidth,
                                    int skinHeight) {
    switch (edge) {
    case TaskbarEdge::Right:
        return {work.right - skinWidth, start.y};
    case TaskbarEdge::Left:
        return {work.left, start.y};
    case TaskbarEdge::Top:
        return {start.x, work.top};
    case TaskbarEdge::Bottom:
        break;
    }
    return {start.x, start.y - skinHeight};
}

int NotifierStepCount(TaskbarEdge edge, int skinWidth, int skinHeight, int step) {
    const bool bSideways = edge == TaskbarEdge::Left || edge == TaskbarEdge::Right;
    const int steps = (bSideways ? skinWidth : skinHeight) / (step < 1 ? 1 : step);
    return steps < 1 ? 1 : steps;
}

int NotifierStepForDpi(int dpi) noexcept {
    return ScaleForDpi(kNotifierStep, dpi);
}

NotifierRect ScaleNotifierRect(const NotifierRect& rect, int dpi) noexcept {
    return {ScaleForDpi(rect.left, dpi), ScaleForDpi(rect.top, dpi), ScaleForDpi(rect.right, dpi),
            ScaleForDpi(rect.bottom, dpi)};
}

void CNotifierAnimation::SetSkinSize(int width, int height) noexcept {
    m_nSkinWidth = width < 0 ? 0 : width;
    m_nSkinHeight = height < 0 ? 0 : height;
}

void CNotifierAnimation::Show(std::uint32_t showMs, std::uint32_t stayMs, std::uint32_t hideMs) {
    m_nStayMs = stayMs;

    switch (m_state) {
    case NotifierState::Hidden: {
        const NotifierScreen screen = m_surface.ReadScreen();
        m_edge = ChooseTaskbarEdge(screen);
        m_surface.ShowInactive();
        const auto steps = static_cast<std::uint32_t>(NotifierStepCount(m_edge, m_nSkinWidth, m_nSkinHeight, m_nStep));
        m_nHideStepDelay = hideMs / steps;
        m_ptStart = NotifierStartPosition(m_edge, screen.work, m_nSkinWidth, m_nSkinHeight, m_nInstance);
        m_ptCurrent = m_ptStart;
        StartTimer(kNotifierTimerAppear, showMs / steps);
        break;
    }
    case NotifierState::Appearing:
        // The slide goes on; only the text changes.
        m_surface.Repaint();
        break;
    case NotifierState::Waiting:
        m_surface.Repaint();
        StartWaiting();
        break;
    case NotifierState::Disappearing: {
        // Straight back to the shown position, and wait again. The slide keeps the edge it started from, so
        // that it still ends at its own start position even if the taskbar has moved meanwhile.
        StopTimer(kNotifierTimerDisappear);
        StartWaiting();
        const NotifierScreen screen = m_surface.ReadScreen();
        m_ptCurrent = NotifierShownPosition(m_edge, screen.work, m_ptStart, m_nSkinWidth, m_nSkinHeight);
        PlaceAtCurrent();
        m_surface.Repaint();
        // It is waiting now: a Hide must stop the wait timer, and the next Show must restart it.
        m_state = NotifierState::Waiting;
        break;
    }
    }
}

void CNotifierAnimation::Hide() {
    // Every timer, not only the current state's: the first appear tick may still be due while the state
    // reads hidden, and a hidden notifier must not slide out on its own.
    for (std::uint32_t id = kNotifierTimerAppear; id <= kNotifierTimerDisappear; ++id)
        StopTimer(id);
    m_surface.Conceal();
    m_state = NotifierState::Hidden;
}

void CNotifierAnimation::Relayout() {
    if (m_state == NotifierState::Hidden && !m_bTimerRunning[kNotifierTimerAppear - 1])
        return;
    const NotifierScreen screen = m_surface.ReadScreen();
    m_ptStart = NotifierStartPosition(m_edge, screen.work, m_nSkinWidth, m_nSkinHeight, m_nInstance);
    if (m_state == NotifierState::Waiting)
        m_ptCurrent = NotifierShownPosition(m_edge, screen.work, m_ptStart, m_nSkinWidth, m_nSkinHeight);
    else if (m_state == NotifierState::Hidden)
        m_ptCurrent = m_ptStart; // the first appear tick is still to come
    PlaceAtCurrent();
}

void CNotifierAnimation::OnTimer(std::uint32_t id) {
    // A tick of a timer that was stopped meanwhile (already queued) is stale.
    if (id < kNotifierTimerAppear || id > kNotifierTimerDisappear || !m_bTimerRunning[id - 1])
        return;
    switch (id) {
    case kNotifierTimerAppear:
        OnAppearTick();
        break;
    case kNotifierTimerWait:
        OnWaitOver();
        break;
    default:
        OnDisappearTick();
        break;
    }
}

void CNotifierAnimation::OnAppearTick() {
    m_state = NotifierState::Appearing;
    bool bMoving = false;
    switch (m_edge) {
    case TaskbarEdge::Top:
        if ((bMoving = m_ptCurrent.y - m_ptStart.y < m_nSkinHeight))
            m_ptCurrent.y += m_nStep;
        break;
    case TaskbarEdge::Left:
        if ((bMoving = m_ptCurrent.x - m_ptStart.x < m_nSkinWidth))
            m_ptCurrent.x += m_nStep;
        break;
    case TaskbarEdge::Right:
        if ((bMoving = m_ptCurrent.x > m_ptStart.x - m_nSkinWidth))
            m_ptCurrent.x -= m_nStep;
        break;
    case TaskbarEdge::Bottom:
        if ((bMoving = m_ptCurrent.y > m_ptStart.y - m_nSkinHeight))
            m_ptCurrent.y -= m_nStep;
        break;
    }
    if (!bMoving) {
        StopTimer(kNotifierTimerAppear);
        m_surface.BringToTopmost();
        StartWaiting();
        m_state = NotifierState::Waiting;
    }
    PlaceAtCurrent();
}

void CNotifierAnimation::OnWaitOver() {
    StopTimer(kNotifierTimerWait);
    StartTimer(kNotifierTimerDisappear, m_nHideStepDelay);
}

void CNotifierAnimation::OnDisappearTick() {
    m_state = NotifierState::Disappearing;
    bool bMoving = false;
    switch (m_edge) {
    case TaskbarEdge::Top:
        if ((bMoving = m_ptCurrent.y > m_ptStart.y))
            m_ptCurrent.y -= m_nStep;
        break;
    case TaskbarEdge::Left:
        if ((bMoving = m_ptCurrent.x > m_ptStart.x))
            m_ptCurrent.x -= m_nStep;
        break;
    case TaskbarEdge::Right:
        if ((bMoving = m_ptCurrent.x < m_ptStart.x))
            m_ptCurrent.x += m_nStep;
        break;
    case TaskbarEdge::Bottom:
        if ((bMoving = m_ptCurrent.y < m_ptStart.y))
            m_ptCurrent.y += m_nStep;
        break;
    }
    if (!bMoving) {
        // Hide leaves the window 0 x 0 at (0, 0); placing it again would give a hidden window its size back.
        Hide();
        return;
    }
    PlaceAtCurrent();
}

void CNotifierAnimation::StartWaiting() {
    if (m_nStayMs == kNotifierStayUntilClicked)
        StopTimer(kNotifierTimerWait); // a window timer cannot wait for ever: no timer at all
    else
        StartTimer(kNotifierTimerWait, m_nStayMs);
}

void CNotifierAnimation::PlaceAtCurrent() {
    m_surface.Place(m_ptCurrent.x, m_ptCurrent.y, m_nSkinWidth, m_nSkinHeight);
}

void CNotifierAnimation::StartTimer(std::uint32_t id, std::uint32_t delayMs) {
    m_bTimerRunning[id - 1] = true;
    m_surface.StartTimer(id, delayMs);
}

void CNotifierAnimation::StopTimer(std::uint32_t id) {
    if (!m_bTimerRunning[id - 1])
        return;
    m_bTimerRunning[id - 1] = false;
    m_surface.StopTimer(id);
}

} // namespace dravel
