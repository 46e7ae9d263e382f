// What the fuzz targets share. Every reader of a file or of bytes from
// outside has one target: one file, tests/fuzz/NAME_fuzz.cpp, that defines
//
//     // One input: run the reader on `data`, check what must hold with
//     // FUZZ_CHECK, release everything; return 0.
//     int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
//     // The seed inputs, made by the program's own writers.
//     void fuzz_write_seeds(void);
//
// and one line in tests/fuzz/CMakeLists.txt, varnock_fuzz_target(NAME). The
// build writes the seeds (`fuzz_NAME --write-seeds=DIR`). With VARNOCK_FUZZ
// the target is a libFuzzer program (clang, ASan, UBSan; tools/fuzz.sh runs
// it); otherwise a replay program that runs the files or folders given to it,
// which CTest runs on the seeds in every build.
//
// Before the first input the log is opened on /dev/null (every message is
// still formatted, none is kept), the platform is headless with the recording
// device back-end, and a private scratch directory exists. Sanitizer reports,
// leaks, hangs and failed checks are the findings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "image_writers.h"  // read_host_file, and the writers of image seeds

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
void fuzz_write_seeds(void);

// A property that must hold for every input. A broken one prints what and
// where, and aborts: libFuzzer keeps the input as a finding.
#define FUZZ_CHECK(condition) \
    ((condition) ? (void)0 : fuzz_check_failed(#condition, __FILE__, __LINE__))
[[noreturn]] void fuzz_check_failed(const char* condition, const char* file, int line);

// The scratch directory of this process (removed at exit), lower case.
const std::string& fuzz_dir(void);
// Writes the bytes to fuzz_dir()/name and returns that path.
std::string fuzz_file(const std::string& name, const uint8_t* data, size_t size);
// A read stream over the bytes, a real file (in memory); fclose it.
FILE* fuzz_stream(const uint8_t* data, size_t size);

// Seeds, inside fuzz_write_seeds: writes one seed input, or gives the path
// of one for a writer that writes its own file.
void fuzz_seed(const std::string& name, const std::string& bytes);
std::string fuzz_seed_path(const std::string& name);
