#include "platform/path.h"
#include "platform/path_test.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

// The folder whose reading path_test_deny_access denies, and the error.
std::string denied_host_path;
int denied_error = 0;

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool equal_ignoring_case(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (std::tolower((unsigned char)*a) != std::tolower((unsigned char)*b))
            return false;
    return *a == *b;
}

// The names in directories that a match without regard to case had to
// read, kept while the directory stays as it was: a texture is looked for
// under four extensions, and reading a directory of many files for each
// miss would cost more than loading the texture.
struct listing {
    std::string dir;
    struct stat seen;   // the directory when it was read
    long long read_ns;  // when it was read (the real-time clock)
    std::vector<std::string> names;
};

const size_t kept_listings = 8;
// A change to a directory stamps it from a clock that may run this far
// behind the real-time clock.
const long long stamp_lag_ns = 50000000;

std::vector<listing>& listings()
{
    static std::vector<listing>* kept = new std::vector<listing>();  // lives for the whole run
    return *kept;
}

long long nanoseconds(const struct timespec& t)
{
    return (long long)t.tv_sec * 1000000000ll + t.tv_nsec;
}

// A kept listing is good while the directory is the same one with the same
// modification time, and that time lies clearly before the reading: a change
// made just after the reading could carry the same time.
bool still_good(const listing& kept, const struct stat& now)
{
    long long changed = nanoseconds(now.st_mtim);
    return kept.seen.st_ino == now.st_ino && kept.seen.st_dev == now.st_dev &&
           nanoseconds(kept.seen.st_mtim) == changed && changed < kept.read_ns - stamp_lag_ns;
}

const std::vector<std::string>* listing_of(const std::string& dir)
{
    struct stat now;
    if (stat(dir.c_str(), &now) != 0)
        return nullptr;
    std::vector<listing>& kept = listings();
    for (size_t i = 0; i < kept.size(); ++i)
        if (kept[i].dir == dir) {
            if (still_good(kept[i], now))
                return &kept[i].names;
            kept.erase(kept.begin() + (long)i);
            break;
        }
    struct timespec read_at;
    clock_gettime(CLOCK_REALTIME, &read_at);
    DIR* d = opendir(dir.c_str());
    if (!d)
        return nullptr;
    listing made = {dir, now, nanoseconds(read_at), {}};
    while (struct dirent* entry = readdir(d))
        made.names.push_back(entry->d_name);
    closedir(d);
    if (kept.size() >= kept_listings)
        kept.erase(kept.begin());
    kept.push_back(std::move(made));
    return &kept.back().names;
}

// The entry of `dir` that matches `name` without regard to case, or `name`.
std::string match_component(const std::string& dir, const std::string& name)
{
    std::string candidate = dir.empty() ? name : (dir == "/" ? "/" + name : dir + "/" + name);
    if (exists(candidate))
        return name;
    const std::vector<std::string>* names = listing_of(dir.empty() ? "." : dir);
    for (size_t i = 0; names && i < names->size(); ++i)
        if (equal_ignoring_case((*names)[i].c_str(), name.c_str()))
            return (*names)[i];
    return name;
}

std::string drive_root(char letter)
{
    char upper = (char)std::toupper((unsigned char)letter);
    char lower = (char)std::tolower((unsigned char)letter);
    std::string var = std::string("VARNOCK_DRIVE_") + upper;
    if (const char* mapped = std::getenv(var.c_str()); mapped && *mapped)
        return mapped;
    return std::string("drive_") + lower;
}

}  // namespace

int platform_resolve_path(const char* path, char* host_path, size_t host_path_size)
{
    if (!path || !host_path || host_path_size == 0)
        return 0;

    std::string rest(path);
    for (char& c : rest)
        if (c == '\\')
            c = '/';

    // The root the components hang from: a mapped drive, the host root, or
    // the working directory.
    std::string root;
    bool absolute = false;
    if (rest.size() >= 2 && std::isalpha((unsigned char)rest[0]) && rest[1] == ':') {
        root = drive_root(rest[0]);
        rest.erase(0, 2);
        absolute = true;  // ".." never climbs above a drive's root
    } else if (!rest.empty() && rest[0] == '/') {
        root = "/";
        absolute = true;
    }

    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('/', start);
        if (end == std::string::npos)
            end = rest.size();
        std::string part = rest.substr(start, end - start);
        if (part.empty() || part == ".") {
            // nothing
        } else if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part);
        } else {
            parts.push_back(part);
        }
        start = end + 1;
    }

    // Most paths name what exists as they are written: one look settles them.
    std::string result = root;
    for (const std::string& part : parts)
        result += (result.empty() || result == "/" ? "" : "/") + part;
    if (result.empty() || !exists(result))
        result = root;
    else
        parts.clear();
    for (const std::string& part : parts) {
        std::string name = part == ".." ? part : match_component(result, part);
        if (result.empty())
            result = name;
        else if (result == "/")
            result += name;
        else
            result += "/" + name;
    }
    if (result.empty())
        result = ".";

    if (result.size() + 1 > host_path_size)
        return 0;
    std::memcpy(host_path, result.c_str(), result.size() + 1);
    return 1;
}

namespace {

// Paths the program builds are bounded by its own buffers; this is ample.
constexpr size_t host_path_max = 4096;

}  // namespace

FILE* platform_fopen(const char* path, const char* mode)
{
    char host[host_path_max];
    if (!mode || !platform_resolve_path(path, host, sizeof host)) {
        errno = path && mode ? ENAMETOOLONG : EINVAL;
        return nullptr;
    }
    // The C library on Linux makes no difference between text and binary
    // streams; "t" is dropped so that modes such as "wt" open.
    char host_mode[8];
    size_t n = 0;
    for (const char* m = mode; *m && n + 1 < sizeof host_mode; ++m)
        if (*m != 't')
            host_mode[n++] = *m;
    host_mode[n] = '\0';
    FILE* file = std::fopen(host, host_mode);
    // The C library opens a directory for reading as if it were a file, and
    // reports it as of the largest size there is; the original platform
    // refuses it, and so does the program.
    struct stat st;
    if (file && fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(file);
        errno = EISDIR;
        return nullptr;
    }
    return file;
}

long long platform_file_size(FILE* file)
{
    struct stat st;
    if (!file || fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return (long long)st.st_size;
}

int platform_directory_error(const char* path, char* host_path, size_t host_path_size)
{
    if (host_path && host_path_size > 0)
        host_path[0] = '\0';
    if (!host_path || !platform_resolve_path(path, host_path, host_path_size))
        return ENAMETOOLONG;
    // A folder that denies its reading (mode 000) denies it for everything
    // below it as well, as stat does for those.
    size_t denied_length = denied_host_path.size();
    bool denied = !denied_host_path.empty() &&
                  strncmp(host_path, denied_host_path.c_str(), denied_length) == 0 &&
                  (host_path[denied_length] == '\0' || host_path[denied_length] == '/');
    bool below_denied = denied && host_path[denied_length] == '/';
    struct stat st;
    if (below_denied || stat(host_path, &st) != 0)
        return below_denied ? denied_error : errno;
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    if (denied || access(host_path, R_OK | X_OK) != 0)
        return denied ? denied_error : errno;
    return 0;
}

void path_test_deny_access(const char* host_path, int error)
{
    denied_host_path = host_path ? host_path : "";
    denied_error = error;
}

int platform_absolute_path(const char* host_path, char* absolute, size_t absolute_size)
{
    if (!absolute || absolute_size == 0)
        return 0;
    absolute[0] = '\0';
    if (!host_path)
        return 0;
    size_t length = 0;
    if (host_path[0] != '/') {
        if (!getcwd(absolute, absolute_size))
            return absolute[0] = '\0', 0;
        length = strlen(absolute);
        if (length > 0 && absolute[length - 1] != '/' && length + 1 < absolute_size)
            absolute[length++] = '/';
    }
    const size_t rest = strlen(host_path);
    if (length + rest >= absolute_size)
        return absolute[0] = '\0', 0;
    memcpy(absolute + length, host_path, rest + 1);
    return 1;
}

int platform_remove(const char* path)
{
    char host[host_path_max];
    if (!platform_resolve_path(path, host, sizeof host)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return std::remove(host);
}

int platform_rename(const char* src_path, const char* dest_path)
{
    char src[host_path_max];
    char dest[host_path_max];
    if (!platform_resolve_path(src_path, src, sizeof src) ||
        !platform_resolve_path(dest_path, dest, sizeof dest)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return std::rename(src, dest);
}

int platform_sync_file(FILE* file)
{
    if (!file) {
        errno = EINVAL;
        return 0;
    }
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

int platform_sync_directory_of(const char* path)
{
    char host[host_path_max];
    if (!platform_resolve_path(path, host, sizeof host)) {
        errno = ENAMETOOLONG;
        return 0;
    }
    char* slash = std::strrchr(host, '/');
    if (slash == host)
        slash[1] = '\0';
    else if (slash)
        *slash = '\0';
    else
        std::strcpy(host, ".");
    int directory = open(host, O_RDONLY | O_DIRECTORY);
    if (directory < 0)
        return 0;
    int synced = fsync(directory) == 0;
    int saved = errno;
    close(directory);
    errno = saved;
    return synced;
}

long long platform_file_mtime(const char* path, int* ok)
{
    char host[host_path_max];
    struct stat st;
    if (!platform_resolve_path(path, host, sizeof host) || stat(host, &st) != 0) {
        if (ok)
            *ok = 0;
        return 0;
    }
    if (ok)
        *ok = 1;
    return (long long)st.st_mtime;
}
