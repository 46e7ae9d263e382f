#include <cstring>

#include "yym.h"

namespace {

// What a step of the parse loop leads to.
enum yym_step {
    YYM_GO_ON,    // the parse goes on
    YYM_RECOVER,  // error recovery starts
    YYM_FINISH,   // the parse ends with *result
};

// Ends the parse with 1, popping every state.
yym_step yym_abort(yym_parser* yy, int32_t* result)
{
    yym_trace(yy, "abort\n");
    yymdepop(yy, yy->yymtop + 1);
    *result = 1;
    return YYM_FINISH;
}

// Error recovery after a syntax error or an error request, with `pending`
// error-shifting states still to pass over.
yym_step yym_recover(yym_parser* yy, int32_t pending, int32_t* result)
{
    if (yy->yymskip >= 3 && pending == 0) {
        // Nothing has been shifted since the error token: the lookahead goes.
        // (An error request from an action may come with none read yet; one
        // is read, so that each round of recovery uses up a token.)
        if (!yy->yymlookahead)
            yym_read_lookahead(yy);
        if (yy->yymchar == 0)
            return yym_abort(yy, result);
        yym_trace_token(yy, "discard", yy->yymchar);
        yy->yymdiscard(yy, yy->yymchar);
        yy->yymlookahead = 0;
        return YYM_GO_ON;
    }

    yymsskip(yy, 0);
    yy->yympopflg = 0;
    for (;;) {
        int32_t type, target;
        yym_lookup_action(yy, yy->yymstackptr[yy->yymtop], YYM_ERROR_TOKEN, &type, &target);
        if (type == YYM_SHIFT && pending == 0) {
            yym_trace_token(yy, "shift", YYM_ERROR_TOKEN);
            if (!yympush(yy, target))
                return yym_abort(yy, result);
            yymsskip(yy, 3);
            return YYM_GO_ON;
        }
        if (type == YYM_SHIFT)
            --pending;
        yy->yympopflg = 1;
        yymdepop(yy, 1);
        if (yy->yymtop < 0) {
            yym_trace(yy, "abort\n");
            *result = 1;
            return YYM_FINISH;
        }
    }
}

// Reduces by `rule`; an error request leaves the right-hand side on the
// stack.
yym_step yym_reduce(yym_parser* yy, int32_t rule, int32_t* result)
{
    yym_require(rule >= 0 && yy->yymrule != nullptr, "rule number");
    const yym_rule* entry = &yy->yymrule[rule];
    yym_require(entry->length >= 0 && entry->length <= yy->yymtop, "rule length within the stack");
    if (yym_tracing(yy))
        yym_trace(yy, "reduce rule %s (%d)\n", yy->yymrulename ? yy->yymrulename[rule] : "",
                  (int)rule);
    yy->yymacceptflg = 0;
    size_t attribute_size = (size_t)yy->yymattribute_size;
    if (entry->action >= 0) {
        if (entry->length > 0)
            std::memcpy(yy->yymvalptr, yym_attribute(yy, yy->yymtop - entry->length + 1),
                        attribute_size);
        yy->yymerrorflg = 0;
        yy->yymexitflg = 0;
        yy->yymparseaction(yy, entry->action);
        if (yy->yymexitflg) {
            *result = yy->yymexitval;
            return YYM_FINISH;
        }
        if (yy->yymerrorflg)
            return YYM_RECOVER;
    }
    yympop(yy, entry->length);
    int32_t next = yym_goto_state(yy, entry->lhs, yy->yymstackptr[yy->yymtop]);
    if (!yympush(yy, next))
        return yym_abort(yy, result);
    if (entry->action >= 0)
        std::memcpy(yym_attribute(yy, yy->yymtop), yy->yymvalptr, attribute_size);
    if (yy->yymacceptflg) {
        *result = yy->yymacceptval;
        return YYM_FINISH;
    }
    return YYM_GO_ON;
}

}  // namespace

int32_t yymwork(yym_parser* yy)
{
    yym_require(yy != nullptr, "parser record present");
    int32_t result = 0;
    for (;;) {
        yym_require(yy->yymtop >= 0, "a state on the stack");
        int32_t type, target;
        yym_lookup_action(yy, yy->yymstackptr[yy->yymtop], -1, &type, &target);
        yym_step step = YYM_GO_ON;
        int32_t error_pops = 0;
        switch (type) {
        case YYM_SHIFT:
            yym_trace_token(yy, "shift", yy->yymchar);
            if (yy->yymskip > 0)
                yymsskip(yy, yy->yymskip - 1);
            if (!yympush(yy, target)) {
                step = yym_abort(yy, &result);
                break;
            }
            std::memcpy(yym_attribute(yy, yy->yymtop), yy->yymlvalptr,
                        (size_t)yy->yymattribute_size);
            yy->yymlookahead = 0;
            break;
        case YYM_REDUCE:
            step = yym_reduce(yy, target, &result);
            if (step == YYM_RECOVER) {
                // The action asked for error recovery: the error counts, but
                // is not reported through the syntax-error callback.
                error_pops = yy->yymerrorpop;
                yym_trace(yy, "syntax error\n");
                ++yy->yymerrorcount;
            }
            break;
        case YYM_ERROR:
            yym_trace(yy, "syntax error\n");
            if (yy->yymskip == 0) {
                ++yy->yymerrorcount;
                yy->yymsyntaxerror(yy);
            }
            step = YYM_RECOVER;
            break;
        case YYM_ACCEPT:
            return 0;
        default:
            yym_require(false, "action type is 0 to 3");
        }
        if (step == YYM_RECOVER)
            step = yym_recover(yy, error_pops, &result);
        if (step == YYM_FINISH)
            return result;
    }
}
