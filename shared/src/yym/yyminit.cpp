#include "yym.h"

yym_parser yym_parser_initial(const yym_tables* tables, yym_action_funct action_funct,
                              int16_t* static_state_stack, void* static_attribute_stack,
                              int32_t static_stack_size, int32_t attribute_size, void* value,
                              void* lookahead_value)
{
    yym_require(tables != nullptr && action_funct != nullptr, "grammar tables and action");
    yym_require(static_stack_size >= 0 && attribute_size > 0, "stack and value sizes");
    yym_parser yy = {};
    yy.yymstackgrow = 1;
    yy.yymtop = -1;
    yy.yymchar = -1;
    yy.yymerr = nullptr;  // errors into the log
    yy.yymstackptr = static_state_stack;
    yy.yymsstackptr = static_state_stack;
    yy.yymstack_size = static_stack_size;
    yy.yymsstack_size = static_stack_size;
    yy.yymattribute_size = attribute_size;
    yy.yymvalptr = value;
    yy.yymlvalptr = lookahead_value;
    yy.yymattributestackptr = static_attribute_stack;
    yy.yymsattributestackptr = static_attribute_stack;
    yy.yymstackoverflow = yymsoflw;
    yy.yymerror = yymerror;
    yy.yymsyntaxerror = yymsyner;
    yy.yymdiscard = yymdisc;
    yy.yymgettoken = yymgtok;
    yy.yymparseaction = action_funct;
    yy.yymstateaction = tables->state_actions;
    yy.yymactiontriple = tables->action_triples;
    yy.yymactiontriple_size = tables->action_triple_count;
    yy.yymgoto = tables->gotos;
    yy.yymgotopair = tables->goto_pairs;
    yy.yymgotopair_size = tables->goto_pair_count;
    yy.yymrule = tables->rules;
    yy.yymdestructor = tables->destructors;
    yy.yymdebugout = stdout;
    yy.yymtokenname = tables->token_names;
    yy.yymrulename = tables->rule_names;
    return yy;
}
