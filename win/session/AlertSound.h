#pragma once

// The alert sound of the pop-ups: a wave file played asynchronously, which a new play or a stop cuts
// short. Kept apart because the multimedia header's macros clash with the session's names.

#include <string>

namespace dravel::win {

// Plays the file from its start, stopping whatever played before; false if it cannot be played.
bool PlayAlertSound(const std::wstring& path);
void StopAlertSound();

} // namespace dravel::win
