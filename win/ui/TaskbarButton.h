#pragma once

// The main window's button on the taskbar: the overlay icon that shows the count of waiting messages. The
// shell's interface is made on first use and again when the shell announces a new button (Explorer was
// restarted); where the shell has no taskbar the calls do nothing.

#include "win/base/Handles.h"

#include <shobjidl.h>

#include <string>

namespace dravel::win {

class CTaskbarButton {
public:
    // The message the shell sends a top-level window once its taskbar button exists (again).
    static UINT CreatedMessage();

    // On CreatedMessage(): the interface held so far belongs to the shell that went away.
    void OnButtonCreated() noexcept { m_taskbar.Reset(); }

    // Shows icon over hwnd's button, read out as description; a null icon clears it. False where the shell
    // has no taskbar or refused (the window then simply shows no overlay).
    bool SetOverlay(HWND hwnd, HICON icon, const std::wstring& description);

private:
    ITaskbarList3* Taskbar();

    CComPtr<ITaskbarList3> m_taskbar;
};

} // namespace dravel::win
