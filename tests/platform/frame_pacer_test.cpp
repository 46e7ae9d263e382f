#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/frame_pacer.h"

namespace {

const uint64_t period = 16666667;  // 60 frames a second
const uint64_t ms = 1000000;

// Swaps that return `work` after the last frame counted as shown: the waits
// the pacer asks for, one a frame.
std::vector<uint64_t> waits_for(const std::vector<uint64_t>& work)
{
    frame_pacer pacer = {};
    uint64_t now = 5 * period;
    std::vector<uint64_t> waits;
    frame_pacer_wait(&pacer, now, period);  // the first frame starts the count
    for (uint64_t spent : work) {
        now += spent;
        uint64_t wait = frame_pacer_wait(&pacer, now, period);
        waits.push_back(wait);
        now += wait;
    }
    return waits;
}

}  // namespace

TEST(FramePacer, QuickFramesWaitOutThePeriodWithoutDrift)
{
    // A menu frame of 2 ms waits the rest of the period, every time.
    EXPECT_EQ(waits_for({2 * ms, 2 * ms, 2 * ms}),
              (std::vector<uint64_t>{period - 2 * ms, period - 2 * ms, period - 2 * ms}));

    // A sleep that overshoots is taken from the next wait, so the rate stays
    // the display's.
    frame_pacer pacer = {};
    frame_pacer_wait(&pacer, 100 * ms, period);
    EXPECT_EQ(frame_pacer_wait(&pacer, 101 * ms, period), period - 1 * ms);
    uint64_t woke = 100 * ms + period + ms / 2;  // half a millisecond late
    EXPECT_EQ(frame_pacer_wait(&pacer, woke + 2 * ms, period), period - 2 * ms - ms / 2);
}

TEST(FramePacer, SlowFramesAndSwapsThatWaitedAreLeftAlone)
{
    // A swap that waited for the blank comes about a period after the last,
    // give or take; a slow frame later still. Neither waits, and the count
    // starts again from them.
    EXPECT_EQ(waits_for({period, period - ms / 2, period + ms, 3 * period, 2 * ms}),
              (std::vector<uint64_t>{0, 0, 0, 0, period - 2 * ms}));

    // A clock that went back is taken as a fresh start.
    frame_pacer pacer = {};
    frame_pacer_wait(&pacer, 100 * ms, period);
    EXPECT_EQ(frame_pacer_wait(&pacer, 50 * ms, period), 0u);
    EXPECT_EQ(pacer.last_ns, 50 * ms);
}
