#pragma once

// The program's icon with the signs of its state: the count of waiting messages on a red badge in the lower
// right corner and, while the user does not want to be disturbed, a grey sign in the upper left. Icons are
// 32-bit with an alpha channel, made anew for each size the shell asks for (the tray's at its dpi, the
// taskbar's overlay).

#include "win/base/Handles.h"

namespace dravel::win {

// base drawn at size x size, with the count's badge when nCount > 0 and the quiet sign when bQuiet; null if the
// icon could not be made. The base's own transparency is kept.
CIconHandle MakeAttentionIcon(HICON base, int size, int nCount, bool bQuiet);

// The badge alone, as high as the icon, for the taskbar button's overlay; null for no count.
CIconHandle MakeCountOverlay(int nCount, int size);

} // namespace dravel::win
