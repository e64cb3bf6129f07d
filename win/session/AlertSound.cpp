#include "win/session/AlertSound.h"

#include <windows.h>

#include <mmsystem.h>

namespace dravel::win {

bool PlayAlertSound(const std::wstring& path) {
    if (path.empty())
        return false;
    return ::PlaySoundW(path.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT) != FALSE;
}

void StopAlertSound() {
    ::PlaySoundW(nullptr, nullptr, 0);
}

} // namespace dravel::win
