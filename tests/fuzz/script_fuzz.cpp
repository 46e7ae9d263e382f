// libFuzzer target of the compiled-script reader. The input is a whole
// compiled script file, header included: its seven tables are linked, a
// command is decoded at every position of its code (as a jump may land
// anywhere), and the code is decoded from its start as a script runs it,
// every tree of each command evaluated and the command run (its jumps taken,
// up to a bound, since a jump may go back; a command that has not finished is
// passed over), then every built-in call of the function table. Evaluation
// and commands ask the game runtime: link the target with the game's
// libraries, whose runtime answers as with no entity loaded.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "dlink.h"
#include "fuzz_support.h"
#include "heap.h"
#include "parsestr.h"
#include "script.h"
#include "scriptasm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
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
        for (int run = 0; run < 4096 && (result = parse_decode_command(script)) != PARSE_CODE_END;
             ++run) {
            if (result != PARSE_COMMAND_READY)
                continue;
            const compiled_info* command = script->running_command;
            for (int32_t i = 0; i < command->n_expr; ++i)
                parse_evaluate_expression(command->arg_ptr_array[i].exp_ptr, script);
            parse_run_command(script);
        }
        script_cleanup_script_list();  // children that commands started
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

void fuzz_write_seeds(void)
{
    // Written by the script assembler, with the game's record writers.
    const char* const sources[][2] = {
        {"tables_and_branches.scw", ".entity \"env\", \"e2e_env\", 1\n"
                                    ".variable \"n\", 0.0, 1\n"
                                    ".state_variable \"door\", 0, 3, 1\n"
                                    ".attach 1, 2, -1\n"
                                    ".function entity_loaded 1\n"
                                    ".sound \"boom\", \"boom.wav\", 0\n"
                                    ".shader 0, 1, 2\n"
                                    "set_environment 1\n"
                                    "if call(0) = 1, yes, no, done\n"
                                    "yes: display_message 10, 10, 255, 255, 255, 3, \"ok\"\n"
                                    "else done\n"
                                    "no: assign var(1), (5 + var(1)) * 2 % 7\n"
                                    "done: wait 100\n"},
        {"commands.scw", ".entity \"hero\", \"hero\", 1\n"
                         ".state_variable \"pose\", 0, 7, 1\n"
                         ".attach 1, 9, -3\n"
                         ".attach 5, -7, 2\n"
                         ".sound \"boom\", \"boom.wav\", 0\n"
                         ".shader 4, 9, 2\n"
                         "top: place 1, 1, 2, 3\n"
                         "animate 0\n"
                         "animate_loop 3\n"
                         "attach_entity 1\n"
                         "attach_entity_id 0, 1\n"
                         "set_camera_target 1\n"
                         "shader_animate 2\n"
                         "shader_animate_cont -1\n"
                         "add_new_goal 1, 1, 0, 0, 0, -1, 99\n"
                         "load_entity 1\n"
                         "unload_entity 1\n"
                         "set_lifespan 1, -999\n"
                         "play_3d_sound 0, 1, 2, 3, 4\n"
                         "set_fog 1, 0.5, 0.5, 0.5, 10, 100\n"
                         "display_message 700, 10, 255, 255, 255, 3, \"far\"\n"
                         "change_game_mode \"nowhere\"\n"
                         "else top\n"},
        {"expressions.scw",
         ".variable \"a\", 1.5, 1\n"
         "assign var(1), !(var(1) >= 2 or var(1) < -3) and node(3, 4.0, _, _) != 0\n"
         ".code 200\n"},
    };
    for (const auto& source : sources) {
        std::string error;
        if (!scriptasm_write(source[1], fuzz_seed_path(source[0]).c_str(), &error))
            std::fprintf(stderr, "script seed %s: %s\n", source[0], error.c_str());
    }
}
