#include "yym.h"

void yymsoflw(yym_parser* yy)
{
    yy->yymerror(yy, "yacc stack overflow");
}
