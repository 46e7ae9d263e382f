// The path resolver: every file the program opens goes through it.
//
// Inside the program paths keep their Windows form ("c:\data\win\entity\x.enw"),
// because names, keys and log texts depend on it. At the open the resolver
// turns such a path into a host path:
//   - "\" becomes "/";
//   - a drive letter maps to a host directory: $VARNOCK_DRIVE_<LETTER> when set,
//     else the folder "drive_<letter>" in the working directory;
//   - "." and ".." are resolved;
//   - each component that does not exist as written is matched against the
//     directory's entries without regard to case.
// A component that matches nothing is kept as written, so new files can be
// created.
#pragma once

#include <cstddef>
#include <cstdio>

// Writes the host path for `path` into `host_path`. Returns 1, or 0 when
// `path` is NULL or the result does not fit.
int platform_resolve_path(const char* path, char* host_path, size_t host_path_size);

// The C library's file operations over resolved paths. Text modes behave like
// binary ones: files are written with LF line ends; readers accept CRLF. A
// directory does not open as a file: NULL with errno EISDIR.
FILE* platform_fopen(const char* path, const char* mode);
// The largest file that is read whole into memory (a sound, an image, a
// compiled script, a record image): a larger one is refused before anything
// is allocated for it.
constexpr long long PLATFORM_MAX_WHOLE_FILE = 256LL << 20;
// The size of an open regular file; -1 for anything else.
long long platform_file_size(FILE* file);
// Whether `path` names a directory the program can read: 0 when it does, else
// the errno that says why not: ENOENT or ENOTDIR when there is none,
// EACCES when it, or a folder on the way to it, may not be read. Its host
// path goes into `host_path` in either case (empty when it does not fit).
int platform_directory_error(const char* path, char* host_path, size_t host_path_size);
// `host_path` from the root, as a player finds it: a relative one after the
// working directory. 1, or 0 (`absolute` empty) when it does not fit or the
// working directory cannot be had.
int platform_absolute_path(const char* host_path, char* absolute, size_t absolute_size);
int platform_remove(const char* path);
// Replaces dest_path by src_path in one step where it exists: a reader sees
// the one file or the other, never neither.
int platform_rename(const char* src_path, const char* dest_path);
// Writes the stream's buffer and then the file down to the disk; 0 (errno
// set) when either fails, as on a full disk.
int platform_sync_file(FILE* file);
// Writes the directory that holds `path` down to the disk, so that a file
// renamed into it is there after a crash; 0 (errno set) on failure.
int platform_sync_directory_of(const char* path);
// Modification time in seconds since the epoch; returns 0 and sets *ok to 0
// when the file's status cannot be read.
long long platform_file_mtime(const char* path, int* ok);
