// Frame pacing for swaps that do not wait for the vertical blank.
#include "platform/frame_pacer.h"

#include <chrono>
#include <thread>

namespace {

// A swap interval this share of a period or longer counts as on time:
// intervals of a swap that waits for the blank jitter around the period.
const uint64_t on_time_tenths = 9;
const int default_refresh_rate = 60;

}  // namespace

uint64_t frame_pacer_wait(frame_pacer* pacer, uint64_t now_ns, uint64_t period_ns)
{
    uint64_t last = pacer->last_ns;
    if (last == 0 || now_ns < last || now_ns - last >= period_ns / 10 * on_time_tenths) {
        pacer->last_ns = now_ns;
        return 0;
    }
    pacer->last_ns = last + period_ns;
    return last + period_ns > now_ns ? last + period_ns - now_ns : 0;
}

void frame_pacer_pace(frame_pacer* pacer, int refresh_rate)
{
    using namespace std::chrono;
    uint64_t period = 1000000000ull /
                      (uint64_t)(refresh_rate > 0 ? refresh_rate : default_refresh_rate);
    uint64_t now =
        (uint64_t)duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
    uint64_t wait = frame_pacer_wait(pacer, now, period);
    if (wait > 0)
        std::this_thread::sleep_for(nanoseconds(wait));
}
