#include "config_section.h"

#include "debug.h"
#include "file_io.h"
#include "str_util.h"
#include "text_io.h"

int config_write_section(FILE* session_file, const char* name, const config_row* rows, size_t count)
{
    REFUSE_NULL(session_file, "config_write_section", "session_file", 0);
    int ok = fprintf(session_file, "\n//  [%s]\n", name) >= 0;
    for (size_t i = 0; i < count; ++i) {
        const config_row& row = rows[i];
        int written = 0;
        switch (row.kind) {
        case CONFIG_LONG:
            written = file_write_long_line(session_file, *(int32_t*)row.field, row.key);
            break;
        case CONFIG_SWITCH:
            written = file_write_long_line(session_file, *(int32_t*)row.field == 1, row.key);
            break;
        case CONFIG_FLAG:
            written = file_write_long_line(session_file, *(int32_t*)row.field != 0, row.key);
            break;
        case CONFIG_FLOAT:
            written = file_write_float_line(session_file, *(float*)row.field, row.key);
            break;
        case CONFIG_FLOAT_SWITCH:
            written = file_write_long_line(session_file, *(float*)row.field == row.on, row.key);
            break;
        case CONFIG_STRING:
            written = file_write_value_line(session_file, (const char*)row.field, row.key);
            break;
        }
        ok = written && ok;
    }
    return ok ? 1 : 0;
}

int config_read_section(FILE* session_file, int16_t* line_cnt, const config_row* rows, size_t count)
{
    REFUSE_NULL(session_file, "config_read_section", "session_file", 0);
    REFUSE_NULL(line_cnt, "config_read_section", "line_cnt", 0);
    int ok = 1;
    for (size_t i = 0; i < count; ++i) {
        const config_row& row = rows[i];
        if (row.kind == CONFIG_STRING) {
            char line[TEXT_LINE_SIZE];
            if (!get_text_line(session_file, line_cnt, line, sizeof line) ||
                !STR_CPY((char*)row.field, row.size, line))
                ok = 0;
            continue;
        }
        if (row.kind == CONFIG_FLOAT) {
            float value = 0.0f;
            if (read_float_text(session_file, line_cnt, &value))
                *(float*)row.field = value;
            else
                ok = 0;
            continue;
        }
        int32_t value = 0;
        if (!read_long_text(session_file, line_cnt, &value)) {
            ok = 0;
            continue;
        }
        if (row.kind == CONFIG_LONG)
            *(int32_t*)row.field = value;
        else if (row.kind == CONFIG_FLOAT_SWITCH)
            *(float*)row.field = value == 1 ? row.on : 0.0f;
        else
            *(int32_t*)row.field = value == 1 ? 1 : 0;
    }
    return ok;
}
