#include "yym.h"

int yympush(yym_parser* yy, int32_t state)
{
    yym_require(yy != nullptr, "parser record present");
    int32_t index = yy->yymtop + 1;
    if (index >= yy->yymstack_size) {
        bool grown = false;
        if (yy->yymstackgrow) {
            int32_t size = yy->yymstack_size;
            if (size == 0)
                grown = yymsssiz(yy, YYM_STATIC_STACK_SIZE) != 0;
            else if (size <= INT32_MAX / 2)
                grown = yymsssiz(yy, size * 2) != 0;
        }
        if (!grown) {
            yym_trace(yy, "stack overflow\n");
            yy->yymstackoverflow(yy);
            return 0;
        }
    }
    yy->yymstackptr[index] = (int16_t)state;
    yy->yymtop = index;
    if (yym_tracing(yy)) {
        yym_trace(yy, "push state %d", (int)state);
        if (index > 0)
            std::fprintf(yy->yymdebugout, " covering state %d", (int)yy->yymstackptr[index - 1]);
        std::fprintf(yy->yymdebugout, "\n");
    }
    return 1;
}
