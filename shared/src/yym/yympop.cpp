#include "yym.h"

void yympop(yym_parser* yy, int32_t n)
{
    yym_require(yy != nullptr, "parser record present");
    yym_require(n >= 0 && n <= yy->yymtop + 1, "pop count within the stack");
    yy->yymtop -= n;
    if (n > 0 && yym_tracing(yy)) {
        yym_trace(yy, "pop %d state(s)", (int)n);
        if (yy->yymtop >= 0)
            std::fprintf(yy->yymdebugout, " uncovering state %d", (int)yy->yymstackptr[yy->yymtop]);
        std::fprintf(yy->yymdebugout, "\n");
    }
}
