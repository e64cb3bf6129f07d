// String-table ids (600 to 799) of the user texts of the shared controls and the window base (win/ui, win/base).
// Plain #defines: read by windres and by C++. The texts themselves are in StringsControls.rc2.
#pragma once

// Skinned buttons
#define IDS_CONTROLS_PRESS 600 // Press (a button's default action, as screen readers name it)
