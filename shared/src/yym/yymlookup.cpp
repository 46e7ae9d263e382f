#include "yym.h"

void yym_read_lookahead(yym_parser* yy)
{
    int32_t token = yy->yymgettoken(yy);
    yy->yymchar = token < 0 ? 0 : token;
    yy->yymlookahead = 1;
    yym_trace_token(yy, "get", yy->yymchar);
}

void yym_lookup_action(yym_parser* yy, int32_t state, int32_t token, int32_t* type, int32_t* target)
{
    yym_require(yy->yymstateaction != nullptr, "state-action table present");
    // States are 16-bit, so a longer chain of continue entries is a loop.
    for (int32_t chain = 0; chain <= INT16_MAX; ++chain) {
        yym_require(state >= 0, "state is 0 or more");
        const yym_state_action* entry = &yy->yymstateaction[state];
        int32_t t = token;
        if (t < 0 && entry->lookahead) {
            if (!yy->yymlookahead)
                yym_read_lookahead(yy);
            t = yy->yymchar;
        }
        if (t >= 0) {
            int32_t index = entry->base + t;
            if (index >= 0 && index < yy->yymactiontriple_size &&
                yy->yymactiontriple[index].check == state) {
                *type = yy->yymactiontriple[index].type;
                *target = yy->yymactiontriple[index].target;
                yym_require(*type <= YYM_ACCEPT, "action triple type is 0 to 3");
                return;
            }
        }
        if (entry->default_type != YYM_CONTINUE) {
            *type = entry->default_type;
            *target = entry->default_target;
            yym_require(*type <= YYM_ACCEPT, "default action type is 0 to 4");
            return;
        }
        state = entry->default_target;
    }
    yym_require(false, "continue entries end");
}

int32_t yym_goto_state(const yym_parser* yy, int32_t nonterminal, int32_t state)
{
    yym_require(nonterminal >= 0 && yy->yymgoto != nullptr, "goto table entry");
    const yym_goto* entry = &yy->yymgoto[nonterminal];
    int32_t index = entry->base + state;
    int32_t next = entry->default_state;
    if (index >= 0 && index < yy->yymgotopair_size && yy->yymgotopair[index].check == nonterminal)
        next = yy->yymgotopair[index].next_state;
    yym_require(next >= 0, "goto lookup yields a state");
    return next;
}
