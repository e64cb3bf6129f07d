#pragma once

#include "core/session/Popups.h"

namespace dravel::win {

// The pop-ups' texts from the program's string table, converted to code page 949.
PopupTexts LoadPopupTexts();

} // namespace dravel::win
