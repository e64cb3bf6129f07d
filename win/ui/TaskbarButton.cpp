#include "win/ui/TaskbarButton.h"

namespace dravel::win {

UINT CTaskbarButton::CreatedMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarButtonCreated");
    return message;
}

ITaskbarList3* CTaskbarButton::Taskbar() {
    // Asked again after a failure: COM may not have been started yet, or the shell not yet be up.
    if (!m_taskbar) {
        CComPtr<ITaskbarList3> taskbar;
        if (SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                         taskbar.PutVoid())) &&
            taskbar && SUCCEEDED(taskbar->HrInit()))
            m_taskbar = std::move(taskbar);
    }
    return m_taskbar.Get();
}

bool CTaskbarButton::SetOverlay(HWND hwnd, HICON icon, const std::wstring& description) {
    ITaskbarList3* taskbar = Taskbar();
    if (taskbar == nullptr || hwnd == nullptr)
        return false;
    return SUCCEEDED(taskbar->SetOverlayIcon(hwnd, icon, icon != nullptr ? description.c_str() : nullptr));
}

} // namespace dravel::win
