#include "yym.h"

void yymsyner(yym_parser* yy)
{
    yy->yymerror(yy, "syntax error");
}
