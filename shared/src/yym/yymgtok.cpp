#include "lexparse.h"
#include "yym.h"

int32_t yymgtok(yym_parser* yy)
{
    yym_require(yy != nullptr && yy->yymlexerptr != nullptr, "lexer pointer present");
    return lex_yymlex_hook(yy->yymlexerptr);
}
