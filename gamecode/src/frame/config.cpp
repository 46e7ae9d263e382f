#include "config.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "d3dxframe.h"
#include "debug.h"
#include "dxinput.h"
#include "file_io.h"
#include "gameglobals.h"
#include "runtime_services.h"
#include "str_util.h"
#include "text_io.h"

namespace {

// The sections in file order; both directions walk this one table.
const struct {
    int (*write)(FILE* session_file);
    int (*read)(FILE* session_file, int16_t* line_cnt);
} sections[] = {
    {gameglobals_write_config, gameglobals_read_config},
    {d3dxframe_write_config, d3dxframe_read_config},
    {sound_write_config, sound_read_config},
    {dxinput_write_config, dxinput_read_config},
};

// A file that could not be read and could not be set aside either: it is
// not written over in this run, so none of its settings are lost.
char unreadable_kept_in_place[CONFIG_PATH_SIZE];

// ---- lines that cannot be read

// The section readers take their values by position, so a line they could
// not read (a value erased, a section deleted) used to move every setting
// after it. The file is first laid out again as the writers would write it:
// each section's lines found after its marker ("//  [dxinput]"), a line
// that has no value but names its setting still counting as that setting's
// line. A setting whose line is missing, or holds nothing of the kind the
// setting takes, keeps its value (the default at start-up) with a warning
// that names it; no other setting moves.

struct config_setting {
    std::string section, key, value;  // as the writers write the current values
};

// A line split at its first "//": the value before it and the comment after
// it, both without the blanks around them.
void split_line(const std::string& line, std::string* value, std::string* comment)
{
    auto trim = [](std::string text) {
        size_t first = text.find_first_not_of(" \t\r");
        size_t last = text.find_last_not_of(" \t\r");
        return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    };
    size_t marker = line.find("//");
    *value = trim(line.substr(0, marker));
    *comment = marker == std::string::npos ? std::string() : trim(line.substr(marker + 2));
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The rest of `file`, line by line; a line is cut at TEXT_LINE_SIZE
// characters, and one that holds a NUL byte reads as empty.
std::vector<std::string> rest_of(FILE* file)
{
    std::vector<std::string> lines;
    std::string line;
    bool holds_nul = false;
    for (int c; (c = std::getc(file)) != EOF;) {
        if (c != '\n') {
            holds_nul = holds_nul || c == '\0';
            if (line.size() < TEXT_LINE_SIZE)
                line += (char)c;
            continue;
        }
        lines.push_back(holds_nul ? std::string() : line);
        line.clear();
        holds_nul = false;
    }
    if (!line.empty())
        lines.push_back(holds_nul ? std::string() : line);
    return lines;
}

// Whether `text` is a number as the line readers take it: an integer, or
// with `real` a decimal fraction too.
bool is_number(const std::string& text, bool real)
{
    if (text.empty() ||
        text.find_first_not_of(real ? "0123456789+-. \t" : "0123456789+- \t") != std::string::npos)
        return false;
    const char* cursor = text.c_str();
    int32_t whole = 0;
    float fraction = 0.0f;
    if (real ? !scan_decimal_float(&cursor, &fraction) : !scan_decimal_long(&cursor, &whole))
        return false;
    return cursor[std::strspn(cursor, " \t")] == '\0';
}

// Whether `value` is of the kind the program writes for the setting: a
// number where it writes one, any text where it writes text.
bool takes(const config_setting& setting, const std::string& value)
{
    if (is_number(setting.value, false))
        return is_number(value, false);
    if (is_number(setting.value, true))
        return is_number(value, true);
    return !value.empty();
}

// The settings in file order, as the section writers write them now.
std::vector<config_setting> current_settings(void)
{
    std::vector<config_setting> settings;
    char* text = nullptr;
    size_t size = 0;
    FILE* memory = open_memstream(&text, &size);
    if (!memory)
        return settings;
    for (const auto& section : sections)
        section.write(memory);
    std::fclose(memory);
    std::string written(text, size);
    free(text);
    std::string section, value, comment;
    for (const std::string& line : lines_of(written)) {
        split_line(line, &value, &comment);
        if (value.empty() && comment.size() > 2 && comment.front() == '[' && comment.back() == ']')
            section = comment;
        else if (!value.empty())
            settings.push_back({section, comment, value});
    }
    return settings;
}

// The lines of the file from where it stands, laid out as the writers would
// write them; 0 when a setting kept its value.
int lay_out(FILE* session_file, int16_t line_cnt, const char* path, std::string* laid_out)
{
    const std::vector<config_setting> settings = current_settings();
    // The value lines of the file by section (one list when it has no section
    // markers, as a hand-written file may), with their line numbers.
    struct value_line {
        std::string value;
        int line;
    };
    std::vector<std::pair<std::string, std::vector<value_line>>> found = {{"", {}}};
    bool has_markers = false;
    int line_number = line_cnt;
    std::string value, comment;
    for (const std::string& line : rest_of(session_file)) {
        ++line_number;
        split_line(line, &value, &comment);
        bool names_section = false, names_setting = false;
        for (const config_setting& setting : settings) {
            names_section = names_section || comment == setting.section;
            names_setting = names_setting || comment == setting.key;
        }
        if (value.empty() && names_section) {
            has_markers = true;
            found.push_back({comment, {}});
        } else if (!value.empty() || names_setting) {
            found.back().second.push_back({value, line_number});
        }
    }
    int all_read = 1;
    char* text = nullptr;
    size_t size = 0;
    FILE* memory = open_memstream(&text, &size);
    if (!memory)
        return 0;
    std::vector<size_t> taken(found.size(), 0);
    for (const config_setting& setting : settings) {
        size_t list = 0;
        if (has_markers) {
            list = found.size();
            for (size_t i = 1; i < found.size() && list == found.size(); ++i)
                if (found[i].first == setting.section)
                    list = i;
        }
        const value_line* line = nullptr;
        if (list < found.size() && taken[list] < found[list].second.size())
            line = &found[list].second[taken[list]++];
        std::string kept = setting.value;
        if (!line) {
            LOG_WARNING("'%s' has no line for %s: it keeps its value %s.\n", path,
                        setting.key.c_str(), setting.value.c_str());
            all_read = 0;
        } else if (!takes(setting, line->value)) {
            LOG_WARNING("Line %d of '%s' holds no value for %s: it keeps its value %s.\n",
                        line->line, path, setting.key.c_str(), setting.value.c_str());
            all_read = 0;
        } else {
            kept = line->value;
        }
        file_write_value_line(memory, kept.c_str(), setting.key.c_str());
    }
    for (size_t list = 0; list < found.size(); ++list) {
        for (size_t i = taken[list]; i < found[list].second.size(); ++i) {
            LOG_WARNING("Line %d of '%s' belongs to no setting: it is left out.\n",
                        found[list].second[i].line, path);
            all_read = 0;
        }
    }
    std::fclose(memory);
    laid_out->assign(text, size);
    free(text);
    return all_read;
}

}  // namespace

int config_session_path(const char* session_name, char* path, size_t size)
{
    if (!session_name || !path || size == 0)
        return 0;
    path[0] = '\0';
    if (std::strpbrk(session_name, "\\/:")) {
        if (!STR_CPY(path, size, session_name))
            return 0;
    } else {
        // The working directory as the program knows it: at most 149
        // characters. A longer one leaves the name relative, which opens in
        // the same directory.
        char directory[150];
        if (getcwd(directory, sizeof directory) &&
            (!STR_CPY(path, size, directory) || !STR_CAT(path, size, "\\")))
            return 0;
        if (!STR_CAT(path, size, session_name))
            return 0;
    }
    if (!set_filename_ext(path, size, "cfg", 1))
        return 0;
    to_lower_case(path);
    return 1;
}

int write_edit_session_file(const char* session_name)
{
    REFUSE_NULL(session_name, "write_edit_session_file", "session_name", 0);
    char path[CONFIG_PATH_SIZE];
    if (!config_session_path(session_name, path, sizeof path))
        return 0;
    LOG_NOTICE("Writing SES '%s'\n", path);
    if (strcmp(path, unreadable_kept_in_place) == 0) {
        LOG_ERROR("Not writing over the unreadable '%s'.\n", path);
        return 0;
    }
    // Written whole or not at all: the player's settings are never lost to
    // a kill or a full disk at exit.
    FILE* session_file = file_open_replace_version_text(path, FILE_TYPE_CONFIG,
                                                        FILE_VERSION_CONFIG);
    if (!session_file)
        return 0;
    int ok = fprintf(session_file, "\n//  %-20s//  Session name\n\n", session_name) >= 0;
    for (const auto& section : sections)
        ok = section.write(session_file) && ok;
    ok = file_close_replace(session_file, path, ok);
    if (!ok) {
        LOG_ERROR("Did not successfully write_edit_session_file '%s'\n", path);
        return 0;
    }
    return 1;
}

int config_read_engine_config_file(const char* session_name)
{
    REFUSE_NULL(session_name, "config_read_engine_config_file", "session_name", 0);
    char path[CONFIG_PATH_SIZE];
    if (!config_session_path(session_name, path, sizeof path))
        return 0;
    LOG_NOTICE("Reading SES '%s'\n", path);
    int16_t line_cnt = 0;
    int found = 0;
    FILE* session_file = file_open_search_verify_version_text(
        path, &line_cnt, nullptr, FILE_TYPE_CONFIG, FILE_VERSION_CONFIG, &found);
    if (!session_file) {
        if (found)
            LOG_ERROR("'%s' found, but bad file type or file version\n", path);
        else
            LOG_ERROR("Could not find '%s'\n", path);
        return 0;
    }
    std::string laid_out;
    int ok = lay_out(session_file, line_cnt, path, &laid_out);
    file_close(session_file);
    FILE* settings = fmemopen(laid_out.data(), laid_out.size(), "r");
    if (!settings) {
        LOG_ERROR("Could not read the settings of '%s'\n", path);
        return 0;
    }
    for (const auto& section : sections)
        ok = section.read(settings, &line_cnt) && ok;
    std::fclose(settings);
    return ok;
}

int config_keep_unreadable_file(const char* session_name)
{
    REFUSE_NULL(session_name, "config_keep_unreadable_file", "session_name", 0);
    char path[CONFIG_PATH_SIZE];
    if (!config_session_path(session_name, path, sizeof path))
        return 0;
    if (!file_exists(path))
        return 1;
    char kept[CONFIG_PATH_SIZE + 4];
    snprintf(kept, sizeof kept, "%s.bad", path);
    if (!rename_file(path, kept)) {
        LOG_ERROR("Unable to keep the unreadable '%s' as '%s'; it is not written over.\n", path,
                  kept);
        STR_CPY(unreadable_kept_in_place, sizeof unreadable_kept_in_place, path);
        return 0;
    }
    LOG_NOTICE("The unreadable '%s' is kept as '%s'.\n", path, kept);
    return 1;
}

void config_reset(void)
{
    unreadable_kept_in_place[0] = '\0';
}

int write_session_3_long(FILE* session_file, int32_t a, int32_t b, int32_t c,
                         const char* comment_str)
{
    REFUSE_NULL(session_file, "write_session_3_long", "session_file", 0);
    REFUSE_NULL(comment_str, "write_session_3_long", "comment_str", 0);
    return fprintf(session_file, "%-4ld %-4ld %-4ld %29s//  %s\n", (long)a, (long)b, (long)c, " ",
                   comment_str) >= 0;
}

int write_session_4_long(FILE* session_file, int32_t a, int32_t b, int32_t c, int32_t d,
                         const char* comment_str)
{
    REFUSE_NULL(session_file, "write_session_4_long", "session_file", 0);
    REFUSE_NULL(comment_str, "write_session_4_long", "comment_str", 0);
    return fprintf(session_file, "%-4ld %-4ld %-4ld %-4ld %24s//  %s\n", (long)a, (long)b, (long)c,
                   (long)d, " ", comment_str) >= 0;
}

int write_session_3_float(FILE* session_file, float a, float b, float c, const char* comment_str)
{
    REFUSE_NULL(session_file, "write_session_3_float", "session_file", 0);
    REFUSE_NULL(comment_str, "write_session_3_float", "comment_str", 0);
    return fprintf(session_file, "%-4.6f %-4.6f %-4.6f %12s//  %s\n", (double)a, (double)b,
                   (double)c, " ", comment_str) >= 0;
}
