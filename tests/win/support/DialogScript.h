#pragma once
// Drives a modal dialog (and the message boxes it raises) from inside its own modal loop: the steps run
// one after another from a thread timer; a step that answers false is tried again on the next tick. If
// the script does not finish in time, every window of the thread is closed so that the test fails
// instead of hanging.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace dravel::win::test {

class CDialogScript {
public:
    using Step = std::function<bool()>;

    CDialogScript& Then(Step step) {
        m_steps.push_back(std::move(step));
        return *this;
    }
    // Arms the timer; call right before DoModal.
    void Start(DWORD timeoutMs = 5000);
    bool Finished() const { return m_nNext == m_steps.size(); }
    bool TimedOut() const { return m_bTimedOut; }
    ~CDialogScript();

private:
    static void CALLBACK OnTick(HWND, UINT, UINT_PTR id, DWORD);
    void Tick();

    std::vector<Step> m_steps;
    size_t m_nNext = 0;
    UINT_PTR m_nTimer = 0;
    DWORD m_dwDeadline = 0;
    bool m_bTimedOut = false;
    bool m_bRunning = false;
};

// The visible message box of the thread that is not 'except', or null.
HWND FindMessageBox(HWND except);
// Texts of a window's children (a message box's text is one of them).
std::vector<std::wstring> ChildTexts(HWND hwnd);
bool HasChildText(HWND hwnd, const std::wstring& text);

} // namespace dravel::win::test
