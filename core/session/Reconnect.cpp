#include "core/session/Reconnect.h"

#include <algorithm>

namespace dravel {

namespace {
double Clamped(double fraction) {
    return std::clamp(fraction, 0.0, 0.999999);
}
} // namespace

uint32_t CRetrySchedule::NextDelayMs() {
    const double r = Clamped(m_random.Fraction());
    uint32_t next = 0;
    if (m_nLastMs == 0) {
        next = kFirstRetryMinMs + static_cast<uint32_t>(r * (kFirstRetryMaxMs - kFirstRetryMinMs));
    } else {
        // Twice the last wait, give or take a tenth of it each way.
        const double doubled = 2.0 * m_nLastMs;
        next = static_cast<uint32_t>(std::min<double>(kMaxRetryMs, doubled * (0.9 + 0.2 * r)));
    }
    m_nLastMs = std::clamp(next, kFirstRetryMinMs, kMaxRetryMs);
    return m_nLastMs;
}

int SecondsUntil(uint64_t nowMs, uint64_t dueMs) {
    if (dueMs <= nowMs)
        return 0;
    return static_cast<int>((dueMs - nowMs + 999) / 1000);
}

} // namespace dravel
