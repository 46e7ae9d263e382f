// libFuzzer target of the compiled-script reader. The input is a whole
// compiled script file, header included: its seven tables are linked, a
// command is decoded at every position of its code (as a jump may land
// anywhere), and the code is decoded from its start as a script runs it,
// every tree of each command evaluated, then every built-in call of the
// function table. Evaluation asks the game runtime: link the target with
// the game's libraries, whose runtime answers as with no entity loaded.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "debug.h"
#include "dlink.h"
#include "heap.h"
#include "parsestr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool log_off = (debug_open(nullptr, 0), true);  // count errors, write no log
    (void)log_off;
    if (size > INT32_MAX)
        return 0;
    running_script* script = malloc_running_script("fuzz");
    char* image = (char*)MALLOC(size > 0 ? size : 1);
    if (!script || !image) {
        if (script)
            free_running_script(script);
        if (image)
            FREE(image);
        return 0;
    }
    if (size > 0)
        std::memcpy(image, data, size);
    if (parse_link_script(script, image, (int32_t)size)) {
        char* end = script->code_image + script->code_size;
        for (char* pc = script->code_start; pc <= end; ++pc) {
            script->pc = pc;
            parse_decode_command(script);
        }
        script->pc = script->code_start;
        parse_decode_result result;
        while ((result = parse_decode_command(script)) != PARSE_CODE_END) {
            const compiled_info* command = script->running_command;
            for (int32_t i = 0; result == PARSE_COMMAND_READY && i < command->n_expr; ++i)
                parse_evaluate_expression(command->arg_ptr_array[i].exp_ptr, script);
        }
        int functions = (int)dlink_count((dlink*)script->function_info_list);
        for (int i = 0; i < functions; ++i) {
            int success = 1;
            parse_execute_expression_function((float)i, script, &success);
        }
    }
    parse_release_script_code(script);
    free_running_script(script);
    return 0;
}
