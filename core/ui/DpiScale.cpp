#include "core/ui/DpiScale.h"

#include <algorithm>
#include <climits>

namespace dravel {

namespace {

constexpr int kLargestDpi = 96 * 8; // 800 %: anything beyond is a broken report

// number * numerator / denominator, rounded half away from zero, clamped to int.
int MulDivRounded(int number, int numerator, int denominator) noexcept {
    const long long product = static_cast<long long>(number) * numerator;
    const long long half = denominator / 2;
    const long long q = product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
    return static_cast<int>(std::clamp<long long>(q, INT_MIN, INT_MAX));
}

} // namespace

int NormaliseDpi(int dpi) noexcept {
    return dpi > 0 && dpi <= kLargestDpi ? dpi : kDefaultDpi;
}

int ScaleForDpi(int value, int dpi) noexcept {
    return MulDivRounded(value, NormaliseDpi(dpi), kDefaultDpi);
}

int UnscaleForDpi(int value, int dpi) noexcept {
    return MulDivRounded(value, kDefaultDpi, NormaliseDpi(dpi));
}

int RescaleForDpi(int value, int fromDpi, int toDpi) noexcept {
    return MulDivRounded(value, NormaliseDpi(toDpi), NormaliseDpi(fromDpi));
}

int PointsToPixels(int points, int dpi) noexcept {
    return MulDivRounded(points, NormaliseDpi(dpi), kPointsPerInch);
}

int TenthPointsToPixels(int tenthPoints, int dpi) noexcept {
    return MulDivRounded(tenthPoints, NormaliseDpi(dpi), kPointsPerInch * 10);
}

int ArtScalePercent(int dpi) noexcept {
    const int percent = MulDivRounded(100, NormaliseDpi(dpi), kDefaultDpi);
    if (percent < 125)
        return 100;
    return percent < 175 ? 150 : 200;
}

int SizedArtId(int baseId, int percent) noexcept {
    if (percent >= 200)
        return baseId + 2000;
    return percent >= 150 ? baseId + 1000 : baseId;
}

} // namespace dravel
