#include "yym.h"

void yymdisc(yym_parser* yy, int32_t token)
{
    (void)yy;
    yym_require(token > 0, "discarded token is above 0");
}
