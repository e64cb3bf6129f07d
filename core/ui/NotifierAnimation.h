#pragma once

// The pop-up notifier's geometry and its slide-out, wait, slide-back animation. The window only reports
// its timer ticks and carries out what the animation asks of it through NotifierSurface, so the whole
// animation runs without a window system.

#include <cstdint>

namespace dravel {

struct NotifierRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const NotifierRect&) const = default;
};

struct NotifierPoint {
    int x = 0;
    int y = 0;
    bool operator==(const NotifierPoint&) const = default;
};

// The screen edge the notifier slides out of (the taskbar's edge); bottom also when there is no taskbar.
enum class TaskbarEdge : std::int32_t { Top = 1, Left = 2, Right = 3, Bottom = 4 };

// Work area (the screen minus the taskbar) and the full screen size.
struct NotifierScreen {
    NotifierRect work;
    int screenWidth = 0;
    int screenHeight = 0;
};

enum class NotifierState : std::int32_t { Hidden = 0, Appearing = 1, Waiting = 2, Disappearing = 3 };

// Timer ids of the three animation phases.
inline constexpr std::uint32_t kNotifierTimerAppear = 1;
inline constexpr std::uint32_t kNotifierTimerWait = 2;
inline constexpr std::uint32_t kNotifierTimerDisappear = 3;

// A stay time of -1 (read unsigned): the pop-up waits until it is clicked.
inline constexpr std::uint32_t kNotifierStayUntilClicked = 0xFFFFFFFFu;
// Pixels per animation step.
inline constexpr int kNotifierStep = 2;
// Instances stack in columns of this many on the bottom edge.
inline constexpr int kNotifierColumnHeight = 8;

TaskbarEdge ChooseTaskbarEdge(const NotifierScreen& screen);

// Where the notifier of the given instance starts sliding out (and where it slides back to).
NotifierPoint NotifierStartPosition(TaskbarEdge edge, const NotifierRect& work, int skinWidth, int skinHeight,
                                    int instance);

// The fully shown position a re-shown, disappearing notifier jumps back to.
NotifierPoint NotifierShownPosition(TaskbarEdge edge, const NotifierRect& work, NotifierPoint start, int skinWidth,
                                    int skinHeight);

// Number of steps of one slide: the skin's size in the sliding direction over the step, at least 1.
int NotifierStepCount(TaskbarEdge edge, int skinWidth, int skinHeight, int step = kNotifierStep);

// Scaled displays: the skin, the text rectangle and the step grow with the dpi, so that a slide takes as
// many steps (and as long) as at 96 dpi. A 200 x 97 skin is 300 x 146 at 144 dpi and 400 x 194 at 192.
int NotifierStepForDpi(int dpi) noexcept;
NotifierRect ScaleNotifierRect(const NotifierRect& rect, int dpi) noexcept;

// What the animation needs from its window.
class NotifierSurface {
public:
    virtual ~NotifierSurface() = default;
    virtual NotifierScreen ReadScreen() = 0;
    virtual void StartTimer(std::uint32_t id, std::uint32_t delayMs) = 0;
    virtual void StopTimer(std::uint32_t id) = 0;
    // Shows the window without activating it (it may still be 0 x 0).
    virtual void ShowInactive() = 0;
    // Moves and sizes the window without changing its z-order or activating it.
    virtual void Place(int x, int y, int width, int height) = 0;
    // Puts the window on top of the others without moving, sizing or activating it.
    virtual void BringToTopmost() = 0;
    // Shrinks the window to 0 x 0 at (0, 0) and hides it.
    virtual void Conceal() = 0;
    virtual void Repaint() = 0;
};

class CNotifierAnimation {
public:
    explicit CNotifierAnimation(NotifierSurface& surface, int instance = 0) noexcept
        : m_surface(surface), m_nInstance(instance) {}

    void SetInstance(int instance) noexcept { m_nInstance = instance; }
    void SetSkinSize(int width, int height) noexcept;
    // Pixels per step (at least 1); kNotifierStep unless the display is scaled.
    void SetStep(int step) noexcept { m_nStep = step < 1 ? 1 : step; }

    // Shows (or re-shows) the notifier; the window has stored the new text before.
    void Show(std::uint32_t showMs, std::uint32_t stayMs, std::uint32_t hideMs);
    void Hide();
    // After the skin or the step changed under a shown notifier (a new dpi): its start follows the new size;
    // a waiting notifier stands fully shown at once, a sliding one goes on from where it is.
    void Relayout();
    void OnTimer(std::uint32_t id);

    NotifierState GetState() const noexcept { return m_state; }
    int GetInstance() const noexcept { return m_nInstance; }
    int GetSkinWidth() const noexcept { return m_nSkinWidth; }
    int GetSkinHeight() const noexcept { return m_nSkinHeight; }

private:
    void OnAppearTick();
    void OnWaitOver();
    void OnDisappearTick();
    void StartWaiting();
    void PlaceAtCurrent();
    void StartTimer(std::uint32_t id, std::uint32_t delayMs);
    void StopTimer(std::uint32_t id);

    NotifierSurface& m_surface;
    int m_nInstance = 0;
    int m_nSkinWidth = 0;
    int m_nSkinHeight = 0;
    NotifierState m_state = NotifierState::Hidden;
    std::uint32_t m_nStayMs = 0;
    std::uint32_t m_nHideStepDelay = 0;
    int m_nStep = kNotifierStep;
    NotifierPoint m_ptStart;
    NotifierPoint m_ptCurrent;
    TaskbarEdge m_edge = TaskbarEdge::Bottom;
    bool m_bTimerRunning[3] = {false, false, false};
};

} // namespace dravel
