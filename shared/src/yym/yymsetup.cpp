#include "yym.h"

int32_t yymsetup(yym_parser* yy)
{
    yym_require(yy != nullptr, "parser record present");
    yy->yymtop = -1;
    yy->yymlookahead = 0;
    yy->yymskip = 0;
    yy->yymerrorcount = 0;
    yy->yymchar = -1;
    yy->yympopflg = 0;
    if (!yympush(yy, 0)) {
        yym_trace(yy, "abort\n");
        return 1;
    }
    return 0;
}
