// How the benchmarks time a measure against its baseline, so that a quiet
// machine gives the same figure run after run and a loaded one does not
// flatter the game.
//
// A measure is two sides, each a short run that times itself (so it leaves
// its own set-up out) and answers its seconds. Rounds run one of each, the
// order alternating from round to round, and each side counts by its best
// run: the run that other work on the machine disturbed least. The ratio is
// best against best; its spread is the same ratio taken within each third
// of the rounds, lowest to highest, so one run of a benchmark shows how far
// its figure moves. The tools print the machine and its load beside their
// figures (bench_print_machine).
#pragma once

#include <functional>

struct bench_ratio {
    double best_a, best_b;  // seconds of each side's best run
    double ratio;           // best_a / best_b
    double low, high;       // the least and most of the thirds' ratios
    int rounds;
};

// Runs `rounds` rounds (at least 3) of `a` and `b`, a first in even rounds
// and b first in odd ones. A side that fails answers a negative time; the
// result's ratio is then negative too.
bench_ratio bench_compare(int rounds, const std::function<double()>& a,
                          const std::function<double()>& b);

// The seconds that `work` takes `repeats` times over, on the monotonic clock.
double bench_time(int repeats, const std::function<void()>& work);

// CPU time of the whole process (all its threads) and of the calling thread,
// in seconds.
double bench_process_cpu_seconds(void);
double bench_thread_cpu_seconds(void);

// One line: the processor, its cores, and the load average over the last
// minute, five and fifteen, as "machine: ..." on stdout.
void bench_print_machine(void);
// The load average again, as "load average at the end: ..." on stdout: the
// load the figures were taken under is the two lines together.
void bench_print_load(void);
// "  LABEL     R (thirds L-H; N rounds)": the ratio and its spread.
void bench_print_ratio(const char* label, const bench_ratio& result);
