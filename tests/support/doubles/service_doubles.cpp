#include "service_doubles.h"

#include <algorithm>

#include "platform_support.h"

std::vector<std::string> service_calls;
int32_t service_double_sound_enable_3d = 0;

bool service_called(const std::string& call)
{
    return std::find(service_calls.begin(), service_calls.end(), call) != service_calls.end();
}

std::vector<std::string> service_calls_of(const std::string& name)
{
    std::vector<std::string> calls;
    for (const std::string& call : service_calls)
        if (call.compare(0, name.size() + 1, name + "(") == 0)
            calls.push_back(call);
    return calls;
}

TEST_RESET(service_doubles)
{
    service_calls.clear();
    service_double_sound_enable_3d = 0;
}
