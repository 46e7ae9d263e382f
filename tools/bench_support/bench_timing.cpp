#include "bench_timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace {

double best_of(const std::vector<double>& times, size_t from, size_t to)
{
    return *std::min_element(times.begin() + (ptrdiff_t)from, times.begin() + (ptrdiff_t)to);
}

double clock_seconds(clockid_t clock)
{
    timespec now = {};
    clock_gettime(clock, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

std::string load_average(void)
{
    char text[128] = "?";
    if (FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (!std::fgets(text, sizeof text, file))
            std::strcpy(text, "?");
        std::fclose(file);
    }
    // "1.02 0.98 0.91 2/345 6789": the first three are the averages.
    std::string line = text;
    size_t end = 0;
    for (int field = 0; field < 3 && end != std::string::npos; ++field)
        end = line.find(' ', end + (field ? 1 : 0));
    return line.substr(0, end);
}

std::string processor_name(void)
{
    std::string name = "?";
    if (FILE* file = std::fopen("/proc/cpuinfo", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, file))
            if (std::strncmp(line, "model name", 10) == 0) {
                const char* colon = std::strchr(line, ':');
                name = colon ? colon + 2 : line;
                name.erase(name.find_last_not_of("\n") + 1);
                break;
            }
        std::fclose(file);
    }
    return name;
}

}  // namespace

bench_ratio bench_compare(int rounds, const std::function<double()>& a,
                          const std::function<double()>& b)
{
    rounds = std::max(rounds, 3);
    std::vector<double> a_times, b_times;
    bool failed = false;
    for (int round = 0; round < rounds; ++round) {
        double a_time, b_time;
        if (round % 2 == 0) {
            a_time = a();
            b_time = b();
        } else {
            b_time = b();
            a_time = a();
        }
        failed = failed || a_time < 0.0 || b_time < 0.0;
        a_times.push_back(a_time);
        b_times.push_back(b_time);
    }
    bench_ratio result = {};
    result.rounds = rounds;
    if (failed) {
        result.ratio = result.low = result.high = -1.0;
        return result;
    }
    result.best_a = best_of(a_times, 0, a_times.size());
    result.best_b = best_of(b_times, 0, b_times.size());
    result.ratio = result.best_a / result.best_b;
    result.low = result.high = result.ratio;
    for (int third = 0; third < 3; ++third) {
        size_t from = (size_t)rounds * third / 3, to = (size_t)rounds * (third + 1) / 3;
        double ratio = best_of(a_times, from, to) / best_of(b_times, from, to);
        result.low = std::min(result.low, ratio);
        result.high = std::max(result.high, ratio);
    }
    return result;
}

double bench_time(int repeats, const std::function<void()>& work)
{
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i)
        work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double bench_process_cpu_seconds(void)
{
    return clock_seconds(CLOCK_PROCESS_CPUTIME_ID);
}

double bench_thread_cpu_seconds(void)
{
    return clock_seconds(CLOCK_THREAD_CPUTIME_ID);
}

void bench_print_machine(void)
{
    std::printf("machine: %s, %u cores; load average %s (1, 5, 15 min)\n", processor_name().c_str(),
                std::thread::hardware_concurrency(), load_average().c_str());
}

void bench_print_load(void)
{
    std::printf("load average at the end: %s\n", load_average().c_str());
}

void bench_print_ratio(const char* label, const bench_ratio& result)
{
    std::printf("  %-9s %.3f (thirds %.3f-%.3f; %d rounds)\n", label, result.ratio, result.low,
                result.high, result.rounds);
}
