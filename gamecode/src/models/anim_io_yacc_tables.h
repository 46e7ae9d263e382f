// The parser tables of the grammar anim_io_yacc.y, written by tools/yytables
// from the grammar and bison's description of its automaton. Do not edit:
// change the grammar and write them again.
#pragma once

#include "yym/yym.h"

// Token numbers.
enum {
    ANIM_IO_YACC_IDENT = 257,
    ANIM_IO_YACC_NUMBER = 258,
    ANIM_IO_YACC_COLLISION_JOINT_TABLE = 259,
    ANIM_IO_YACC_SPAZ_MODEL_NAME = 260,
    ANIM_IO_YACC_DOUBLE_DOT = 261,
};

// Action numbers, for anim_io_yacc_action:
//   0  rule 1: $$1 :
//   1  rule 5: statement : IDENT
//   2  rule 6: statement : NUMBER
//   3  rule 7: statement : '.'
//   4  rule 8: statement : ';'
//   5  rule 9: statement : '-'
//   6  rule 12: spaz_model_name : SPAZ_MODEL_NAME IDENT
//   7  rule 13: $$2 :
//   8  rule 14: collision_joint_table : COLLISION_JOINT_TABLE IDENT '{' $$2 joint_pair_list '}' ';'
//   9  rule 15: $$3 :
//   10  rule 18: joint_pair : IDENT
//   11  rule 19: joint_pair : NUMBER
//   12  rule 20: joint_pair : IDENT DOUBLE_DOT IDENT
//   13  rule 21: joint_pair : NUMBER DOUBLE_DOT IDENT
//   14  rule 22: joint_pair : IDENT DOUBLE_DOT NUMBER
//   15  rule 23: joint_pair : NUMBER DOUBLE_DOT NUMBER

extern const yym_tables anim_io_yacc_tables;
// The grammar's parser record, with 4-byte values.
extern yym_parser anim_io_yacc_parser;
// Supplied by the grammar module.
void anim_io_yacc_action(yym_parser* yy, int32_t action);
