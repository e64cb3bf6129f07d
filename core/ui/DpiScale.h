#pragma once

// Display scaling: every length the windows draw is given in logical pixels (those of a 96 dpi screen) and
// scaled to the window's dpi when it is used; fonts are given in points. The rounding is the platform's
// MulDiv (halves away from zero), so that 96 dpi gives every length back unchanged.

namespace dravel {

inline constexpr int kDefaultDpi = 96;
inline constexpr int kPointsPerInch = 72;

// A dpi as the platform reports it, or 96 when it is not plausible (zero, negative, absurdly large).
int NormaliseDpi(int dpi) noexcept;

// value * dpi / 96, rounded as MulDiv rounds.
int ScaleForDpi(int value, int dpi) noexcept;
// The other way: device pixels at dpi back to logical pixels.
int UnscaleForDpi(int value, int dpi) noexcept;
// A length in pixels at fromDpi as long at toDpi, straight (through 96 dpi would lose pixels at 150 %).
int RescaleForDpi(int value, int fromDpi, int toDpi) noexcept;

// A font's character height in pixels (the positive value of a LOGFONT's negative lfHeight).
int PointsToPixels(int points, int dpi) noexcept;
int TenthPointsToPixels(int tenthPoints, int dpi) noexcept;

// The program's artwork comes drawn at 100, 150 and 200 %: the nearest of these for a dpi (ties go to the
// larger, so that art is shrunk rather than blown up).
int ArtScalePercent(int dpi) noexcept;
// The resource id of a picture drawn at percent: the 100 % id plus 1000 per further size.
int SizedArtId(int baseId, int percent) noexcept;

} // namespace dravel
