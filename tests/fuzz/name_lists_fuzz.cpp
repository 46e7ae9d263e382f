// The name lists: the input is read as the transparent-texture list
// ("transtex.ttw") and as the load-script list. Every entry read is a
// non-empty lower-case name, and the lists hold no more entries than lines.
#include <cctype>
#include <cstring>
#include <initializer_list>
#include <string>

#include "d3dtextr_dx7.h"
#include "dialogs.h"
#include "file_io.h"
#include "fuzz_support.h"
#include "texture_container.h"
#include "win_geo.h"

namespace {

void check_name(const char* name)
{
    FUZZ_CHECK(name && name[0]);
    for (const char* c = name; *c; ++c)
        FUZZ_CHECK(std::tolower((unsigned char)*c) == (unsigned char)*c);
}

// A versioned text file of one name a line, as the demo tree writes them.
void seed_list(const char* name, int32_t type, int32_t version,
               std::initializer_list<const char*> names)
{
    FILE* file = file_open_write_version_text(fuzz_seed_path(name).c_str(), type, version);
    for (const char* entry : names)
        std::fprintf(file, "%s\n", entry);
    file_close(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t lines = 1;
    for (size_t i = 0; i < size; ++i)
        lines += data[i] == '\n';
    std::string path = fuzz_file("names.txt", data, size);

    d3dtextr_load_transparent_texture_list(path.c_str());
    FUZZ_CHECK((size_t)d3dtextr_transparent_texture_list_size <= lines);
    if (transparent_texture* head = d3dtextr_transparent_texture_list) {
        transparent_texture* entry = head;
        do {
            check_name(entry->transparent_texture_name);
            FUZZ_CHECK(std::strcmp(entry->transparent_texture_name, "end_of_entries") != 0);
            entry = entry->next_ptr;
        } while (entry != head);
    }
    d3dtextr_cleanup();
    FUZZ_CHECK(d3dtextr_transparent_texture_list == nullptr);

    // Several names may share a line here: each token is one.
    if (win_load_script* list = read_win_load_script_text_file(path.c_str())) {
        win_load_script* entry = list;
        do {
            check_name(entry->win_load_script_name);
            entry = entry->next_ptr;
        } while (entry != list);
        FUZZ_CHECK(free_win_load_script_list(list));
    }
    return 0;
}

void fuzz_write_seeds(void)
{
    seed_list("transtex.ttw", FILE_TYPE_TRANSTEX, FILE_VERSION_TRANSTEX,
              {"no_attack", "Skull // a comment", "  spaced  ", "end_of_entries", "after"});
    seed_list("load_script.slt", FILE_TYPE_LOAD_SCRIPT, FILE_VERSION_LOAD_SCRIPT,
              {"episode_1", "Episode_2 \"quoted\" /* a comment */", "end"});
}
