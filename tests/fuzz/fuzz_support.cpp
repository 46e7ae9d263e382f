#include "fuzz_support.h"

#include <unistd.h>

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "debug.h"
#include "platform/d3d_record.h"
#include "platform/win32_test.h"

namespace fs = std::filesystem;

namespace {

std::string scratch_dir;
std::string seed_dir;

void remove_scratch_dir(void)
{
    std::error_code ignored;
    fs::remove_all(scratch_dir, ignored);
}

void start(void)
{
    // One directory per process (libFuzzer's -fork and -jobs run several),
    // in memory where the machine has a memory file system: most targets
    // write their input to a file.
    std::error_code ignored;
    fs::path base = access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm")
                                                  : fs::temp_directory_path(ignored);
    scratch_dir = (base / ("varnock-fuzz-" + std::to_string(getpid()))).string();
    for (char& c : scratch_dir)
        c = (char)std::tolower((unsigned char)c);
    fs::create_directories(scratch_dir, ignored);
    std::atexit(remove_scratch_dir);
    debug_open("/dev/null", 0);
    win32_set_headless(1);
    d3d_select_backend(D3D_BACKEND_RECORDING);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    start();
    const char* option = "--write-seeds=";
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp((*argv)[i], option, std::strlen(option)) != 0)
            continue;
        seed_dir = (*argv)[i] + std::strlen(option);
        std::error_code ignored;
        fs::create_directories(seed_dir, ignored);
        fuzz_write_seeds();
        std::exit(0);
    }
    return 0;
}

void fuzz_check_failed(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "fuzz check failed: %s at %s:%d\n", condition, file, line);
    std::fflush(stderr);
    std::abort();
}

const std::string& fuzz_dir(void)
{
    return scratch_dir;
}

std::string fuzz_file(const std::string& name, const uint8_t* data, size_t size)
{
    std::string path = scratch_dir + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    if (size > 0)
        std::fwrite(data, 1, size, file);
    std::fclose(file);
    return path;
}

FILE* fuzz_stream(const uint8_t* data, size_t size)
{
    // A file in memory: the readers measure their files (fstat), so the
    // stream must be a real file, and one that costs no disk.
    int fd = memfd_create("fuzz_input", 0);
    FUZZ_CHECK(fd >= 0);
    for (size_t done = 0; done < size;) {
        ssize_t written = write(fd, data + done, size - done);
        FUZZ_CHECK(written > 0);
        done += (size_t)written;
    }
    lseek(fd, 0, SEEK_SET);
    FILE* stream = fdopen(fd, "rb");
    FUZZ_CHECK(stream != nullptr);
    return stream;
}

std::string fuzz_seed_path(const std::string& name)
{
    return seed_dir + "/" + name;
}

void fuzz_seed(const std::string& name, const std::string& bytes)
{
    std::ofstream out(fuzz_seed_path(name), std::ios::binary);
    out << bytes;
    FUZZ_CHECK(out.good());
}
