// The script engine's services, as doubles: no script ever runs.
#include "script_services.h"

#include "platform_support.h"
#include "service_doubles.h"

running_script* service_double_new_script = nullptr;

TEST_RESET(script_doubles)
{
    service_double_new_script = nullptr;
}

float script_initiate_script(const char* name, running_script** out)
{
    service_calls.push_back(std::string("script_initiate_script(") + (name ? name : "NULL") + ")");
    if (out)
        *out = service_double_new_script;
    return 0.0f;
}

float script_update_script(void)
{
    service_calls.push_back("script_update_script()");
    return 0.0f;
}

int parse_run_script(running_script* script)
{
    const char* which = !script                               ? "NULL"
                        : script == service_double_new_script ? "new_script"
                                                              : "script";
    service_calls.push_back(std::string("parse_run_script(") + which + ")");
    return 1;
}

int script_cleanup_script_list(void)
{
    service_calls.push_back("script_cleanup_script_list()");
    return 1;
}

int script_abort_all_scripts(void)
{
    service_calls.push_back("script_abort_all_scripts()");
    return 1;
}

void script_forget_entity(const win_entity*) {}

void script_forget_sound(const win_sound_container*) {}
