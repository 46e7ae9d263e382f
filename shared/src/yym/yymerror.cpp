#include "debug.h"
#include "lexparse.h"
#include "yym.h"

// A parser given a stream (a tool, a test) writes its errors there. The
// game's parsers report into the log like every other reader, with the file
// and the line the lexer bridge has reached: a bare line on standard error
// told a player nothing.
void yymerror(yym_parser* yy, const char* text)
{
    yym_require(yy != nullptr && text != nullptr, "parser and error text present");
    if (yy->yymerr) {
        std::fprintf(yy->yymerr, "%s\n", text);
        return;
    }
    if (lex_file_name[0])
        LOG_ERROR("Parse error near %s(%d): %s\n", lex_file_name, (int)lex_line_cnt, text);
    else
        LOG_ERROR("Parse error: %s\n", text);
}
