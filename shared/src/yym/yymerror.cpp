#include "yym.h"

void yymerror(yym_parser* yy, const char* text)
{
    yym_require(yy != nullptr && yy->yymerr != nullptr, "error stream present");
    std::fprintf(yy->yymerr, "%s\n", text);
}
