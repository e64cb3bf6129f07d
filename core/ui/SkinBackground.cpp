#include "core/ui/SkinBackground.h"

namespace dravel {

int FloorDiv(int a, int b) {
    const int q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

SkinBackgroundPlacement PlaceSkinBackground(int mode, int bitmapWidth, int bitmapHeight, int clientWidth,
                                            int clientHeight) {
    SkinBackgroundPlacement p;
    if (bitmapWidth <= 0 || bitmapHeight <= 0 || clientWidth <= 0 || clientHeight <= 0)
        return p;
    p.cx = bitmapWidth;
    p.cy = bitmapHeight;
    switch (mode) {
    case kSkinNormal:
    case kSkinFitWindow:
        p.nColumns = p.nRows = 1;
        break;
    case kSkinTile:
        // x = 0, w, 2w... while x < W: ceil(W / w) copies.
        p.nColumns = (clientWidth - 1) / bitmapWidth + 1;
        p.nRows = (clientHeight - 1) / bitmapHeight + 1;
        break;
    case kSkinCentre:
        p.x = FloorDiv(clientWidth - bitmapWidth, 2);
        p.y = FloorDiv(clientHeight - bitmapHeight, 2);
        p.nColumns = p.nRows = 1;
        break;
    case kSkinStretch:
        p.cx = clientWidth;
        p.cy = clientHeight;
        p.nColumns = p.nRows = 1;
        p.bStretch = true;
        break;
    default:
        p.cx = p.cy = 0;
        break;
    }
    return p;
}

} // namespace dravel
