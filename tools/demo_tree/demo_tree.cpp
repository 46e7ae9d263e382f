// Writes the demo data tree the game starts on (demo_tree_files.h) into the
// directory given (made when it is not there), by default the working
// directory.
//   demo_tree [directory]
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "d3dxframe.h"
#include "debug.h"
#include "demo_tree_files.h"
#include "gameglobals.h"

int main(int argc, char** argv)
{
    if (argc > 2) {
        fprintf(stderr, "usage: demo_tree [directory]\n");
        return 2;
    }
    std::error_code error;
    if (argc == 2 && (std::filesystem::create_directories(argv[1], error), chdir(argv[1]) != 0)) {
        fprintf(stderr, "demo_tree: cannot make or enter the directory %s\n", argv[1]);
        return 2;
    }
    debug_open(nullptr, 0);  // count failures, write no log
    gameglobals_init();
    d3dxframe_set_defaults();
    if (!demo_tree_write() || debug_log.error_count > 0) {
        fprintf(stderr, "demo_tree: could not write the tree\n");
        return 1;
    }
    return 0;
}
