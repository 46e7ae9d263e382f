// scriptasm: writes a compiled script file from its text form (scriptasm.h).
//     scriptasm source.txt target.scw
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "debug.h"
#include "scriptasm.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: scriptasm source.txt target.scw\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "scriptasm: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream source;
    source << in.rdbuf();
    debug_open(nullptr, 0);  // count failures, write no log
    std::string error;
    if (!scriptasm_write(source.str().c_str(), argv[2], &error)) {
        std::fprintf(stderr, "scriptasm: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    return 0;
}
