#include "yym.h"

void yymsskip(yym_parser* yy, int32_t n)
{
    yym_require(yy != nullptr, "parser record present");
    yym_require(n >= 0, "skip count is 0 or more");
    if (yy->yymskip == 0 && n > 0)
        yym_trace(yy, "entering error recovery\n");
    else if (yy->yymskip > 0 && n == 0)
        yym_trace(yy, "leaving error recovery\n");
    yy->yymskip = n;
}
