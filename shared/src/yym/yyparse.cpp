#include "yym.h"

int32_t yyparse(yym_parser* yy)
{
    int32_t result = yymsetup(yy);
    if (result != 0)
        return result;
    return yymwork(yy);
}
