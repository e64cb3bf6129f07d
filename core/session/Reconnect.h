#pragma once

// When a lost connection is tried again: a first try after a random 2 to 10 s (so that a server that
// restarts is not met by every client at once), then twice the previous wait with a random part of
// about a fifth, never more than 5 minutes apart, for as long as it takes.

#include <cstdint>

namespace dravel {

// A number in [0, 1); the Windows side draws it from the system's generator, tests give their own.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual double Fraction() = 0;
};

inline constexpr uint32_t kFirstRetryMinMs = 2000;
inline constexpr uint32_t kFirstRetryMaxMs = 10000;
inline constexpr uint32_t kMaxRetryMs = 300000;

class CRetrySchedule {
public:
    explicit CRetrySchedule(RandomSource& random) : m_random(random) {}
    // The wait before the next try; each call is one more try.
    uint32_t NextDelayMs();
    // The connection is back: the next outage starts from the first wait again.
    void Reset() { m_nLastMs = 0; }

private:
    RandomSource& m_random;
    uint32_t m_nLastMs = 0;
};

// Seconds shown in "... %d초 후 다시 접속합니다.": the whole seconds left, rounded up, never below 0.
int SecondsUntil(uint64_t nowMs, uint64_t dueMs);

} // namespace dravel
