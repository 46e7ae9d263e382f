// The collision-table pass over an animation state table file ("ast"): the
// grammar anim_io_yacc.y run by the parser engine over the lexer bridge,
// before the line loader (anim_io.h) reads the rest of the file. It fills
// the table's spaz_model_name (the model whose joints the collision data
// refers to) and its joint tables:
//
//     spaz_model_name figure
//     collision_joint_table arms { left_shoulder .. left_hand , 12 } ;
//
// A range is one joint or "first .. last" (both included), each a joint
// number, a joint name of the model (compared after the text is
// lower-cased, so only lower-case joint names can be named), "first",
// "last", or for the first of a single joint "all" (every joint). The
// model is loaded for the time of the pass only, to turn names into
// indexes. Tables are numbered 0, 1, ... in the order their blocks end.
//
// One pass runs at a time; its state is module-wide, like the tokenizer's
// and the bridge's it runs on.
#pragma once

#include <cstdint>

#include "anim_io_yacc_tables.h"
#include "lexparse.h"
#include "mow_geo.h"
#include "win_ast.h"

// The grammar's keywords (259 "collision_joint_table", 260
// "spaz_model_name", 261 "..") and its delimiters: the tokenizer's default
// table without "#".
extern const lex_token_trans anim_io_yacc_keyword_tab[];
extern const char* const* anim_io_yacc_delim_tab;

// During one pass: the table being filled, the joint table its current block
// opened (NULL between blocks), the model loaded for spaz_model_name (NULL
// until then).
extern win_ast* yacc_win_ast;
extern win_joint_table* yacc_win_joint_table;
extern mow_model* yacc_spaz_mow_model;

// The directory the pass loads the model named by spaz_model_name from
// (NULL: none), kept until it is set again. 1, or 0 after an error line for
// a directory too long to make a model path of.
int anim_io_yacc_set_model_directory(const char* model_directory);

// Runs the pass over the state table file `filename` into `win_ast_ptr`
// (whose joint tables are appended to what it holds). 1 when the file
// parsed and every action and clean-up step succeeded; else 0 with the
// file's name and line in the log. Joint tables appended before a failure
// stay in the table; the model is released whatever happens.
int parse_ast_for_collision_tables(const char* filename, win_ast* win_ast_ptr);

// The grammar's actions, in the words of the file. Each answers 1, or 0
// after an error line that names the file and line, which ends the pass.
int anim_io_yacc_spaz_model_name(const char* spaz_model_name);
int anim_io_yacc_win_joint_table_begin(const char* win_joint_table_name);
int anim_io_yacc_win_joint_table_end(void);
// `last_joint_str` is NULL for a range of a single joint (or "all").
int anim_io_yacc_win_joint_pair(const char* first_joint_str, const char* last_joint_str);

// No joint table open; returns 1.
int anim_io_yacc_reset(void);
// Everything of the pass back to its start (an open joint table freed, a
// model still held released, no directory, the parser's trace off); for
// tests, between cases.
void anim_io_yacc_reset_module(void);
