// Test hook of the path resolver: a folder that may not be read. Mode 000
// keeps anyone but root out of a folder; tests that run as root deny it here.
#pragma once

// platform_directory_error answers `error` (EACCES) for the host path
// `host_path` and for everything below it; NULL denies nothing again.
void path_test_deny_access(const char* host_path, int error);
