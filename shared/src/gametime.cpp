#include "gametime.h"

#include <ctime>

#include "platform/timer.h"
#include "str_util.h"

float game_time = 0.0f;

double gametime_get_time(void)
{
    return (double)timeGetTime();
}

const char* gametime_str(void)
{
    static char buffer[32];
    return format_local_time(std::time(nullptr), buffer, sizeof buffer);
}

int gametime_reset(void)
{
    game_time = 0.0f;
    return 1;
}
