// The parser tables of the grammar sum_grammar.y, written by tools/yytables
// from the grammar and bison's description of its automaton. Do not edit:
// change the grammar and write them again.
#pragma once

#include "yym/yym.h"

// Token numbers.
enum {
    SUM_GRAMMAR_IDENT = 257,
    SUM_GRAMMAR_NUMBER = 258,
};

// Action numbers, for sum_grammar_action:
//   0  rule 1: $$1 :
//   1  rule 5: line : sum ';'
//   2  rule 6: line : error ';'
//   3  rule 7: sum : sum '+' term
//   4  rule 8: sum : sum '-' term
//   5  rule 11: term : '(' sum ')'
//   6  destructor of NUMBER
//   7  destructor of sum term

extern const yym_tables sum_grammar_tables;
// The grammar's parser record, with 4-byte values.
extern yym_parser sum_grammar_parser;
// Supplied by the grammar module.
void sum_grammar_action(yym_parser* yy, int32_t action);
