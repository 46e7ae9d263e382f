#include "platform/timer.h"

#include <chrono>

namespace {

const std::chrono::steady_clock::time_point program_start = std::chrono::steady_clock::now();
timer_source_funct timer_source = nullptr;

}  // namespace

DWORD timeGetTime(void)
{
    if (timer_source)
        return timer_source();
    auto elapsed = std::chrono::steady_clock::now() - program_start;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return (DWORD)(uint64_t)ms;
}

void platform_timer_set_source(timer_source_funct source)
{
    timer_source = source;
}
