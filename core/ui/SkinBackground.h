#pragma once

// Where a skinned dialog draws its background bitmap inside the client area. The window side only
// blits what this says; every rule about modes, rounding and empty sizes lives here.

namespace dravel {

// How the background bitmap fills the client area.
enum SkinBackgroundMode : int {
    kSkinNormal = 0,    // one copy at (0, 0)
    kSkinTile = 1,      // copies side by side from (0, 0) until the client is covered
    kSkinCentre = 2,    // one copy in the middle
    kSkinStretch = 3,   // one copy stretched to the client's size
    kSkinFitWindow = 4, // the window takes the bitmap's size; drawn like normal
};

// A grid of copies: nColumns x nRows copies of cx x cy, the first at (x, y), the next ones every cx
// to the right and every cy down. A stretched copy is one copy of the client's size. No copies at all
// (nColumns or nRows 0) when the bitmap or the client is empty or the mode is unknown.
struct SkinBackgroundPlacement {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    int nColumns = 0;
    int nRows = 0;
    bool bStretch = false;

    long long Copies() const { return static_cast<long long>(nColumns) * nRows; }
};

SkinBackgroundPlacement PlaceSkinBackground(int mode, int bitmapWidth, int bitmapHeight, int clientWidth,
                                            int clientHeight);

// Division rounded toward minus infinity (the centred mode's halves).
int FloorDiv(int a, int b);

} // namespace dravel
