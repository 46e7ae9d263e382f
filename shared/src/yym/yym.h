// The table-driven LALR(1) parser engine.
//
// A grammar is a ".y" file. tools/yytables turns the automaton that
// `bison --xml` derives from it into a C++ source with the grammar's tables
// (yym_tables) and its parser record (yym_parser) set to the initial values
// below; the grammar module supplies the action function that the record
// names, and its reader runs yyparse on the record. Tokens come from the
// lexer bridge through the get-token callback.
//
// The engine is self-contained: it writes nothing to the debug log. Error
// texts go to the record's error stream (standard error), the trace to its
// trace stream (standard output). A broken invariant of the tables or of the
// callers (a NULL record, a negative count, an impossible table entry) stops
// the process with a message on standard error.
#pragma once

#include <cstdint>
#include <cstdio>

enum {
    YYM_STATIC_STACK_SIZE = 100,  // entries of a record's initial stacks
    YYM_ERROR_TOKEN = 256,        // the error token; 0 is the end of the input
};

// Action types.
enum {
    YYM_SHIFT = 0,   // target: the state to push
    YYM_REDUCE = 1,  // target: the rule
    YYM_ERROR = 2,
    YYM_ACCEPT = 3,
    YYM_CONTINUE = 4,  // only as a state's default: look on in state target
};

// One entry per state. The action for token t in state s is the triple at
// base + t when that index lies in the triple table and its check equals s,
// else the state's default. A state that needs no lookahead takes its
// default without reading a token.
struct yym_state_action {
    int16_t base;
    uint8_t lookahead;
    uint8_t default_type;
    int16_t default_target;
};

struct yym_action_triple {
    int16_t check;  // the state the entry belongs to; -1 for a free slot
    uint8_t type;
    int16_t target;
};

// One entry per nonterminal. The state after reducing to nonterminal n in
// state s is the goto pair at base + s when that index lies in the pair table
// and its check equals n, else n's default.
struct yym_goto {
    int16_t base;
    int16_t default_state;
};

struct yym_goto_pair {
    int16_t check;  // the nonterminal; -1 for a free slot
    int16_t next_state;
};

struct yym_rule {
    int16_t lhs;     // the nonterminal
    int16_t length;  // symbols on the right-hand side
    int16_t action;  // the action number, -1 for none
};

// Token names for the trace; the table ends with a NULL name.
struct yym_token_name {
    const char* name;
    int32_t token;
};

// Everything the generator derives from one grammar.
struct yym_tables {
    const yym_state_action* state_actions;  // one per state
    const yym_action_triple* action_triples;
    int32_t action_triple_count;
    const yym_goto* gotos;  // one per nonterminal
    const yym_goto_pair* goto_pairs;
    int32_t goto_pair_count;
    const yym_rule* rules;       // one per rule
    const int16_t* destructors;  // per state an action number or -1; NULL for none
    const yym_token_name* token_names;
    const char* const* rule_names;  // one per rule
};

struct yym_parser;

typedef void (*yym_stack_overflow_funct)(yym_parser* yy);
typedef void (*yym_error_funct)(yym_parser* yy, const char* text);
typedef void (*yym_syntax_error_funct)(yym_parser* yy);
typedef void (*yym_discard_funct)(yym_parser* yy, int32_t token);
typedef int32_t (*yym_get_token_funct)(yym_parser* yy);
// The grammar's action function: called with the action number of a rule
// being reduced, or of a destructor. It may read the attribute stack, write
// the result attribute, and set the abort, accept or error request.
typedef void (*yym_action_funct)(yym_parser* yy, int32_t action);

struct yym_parser {
    uint8_t yymlookahead;  // a token has been read and not yet shifted or discarded
    uint8_t yymstackgrow;  // the stacks may grow past their size
    uint8_t yymexitflg;    // requests from the action function:
    uint8_t yymacceptflg;  //   abort, accept, or start error recovery
    uint8_t yymerrorflg;   //   after the current reduction
    uint8_t yympopflg;     // set while error recovery pops states
    int32_t yymtop;        // index of the top state; -1 when empty
    int32_t yymchar;       // the lookahead token; -1 before the first read
    int32_t yymskip;       // tokens still to shift before error recovery ends
    int32_t yymerrorcount;
    int32_t yymexitval;    // returned on an abort request
    int32_t yymacceptval;  // returned on an accept request
    int32_t yymerrorpop;   // with an error request: error-shifting states to pass over
    FILE* yymerr;
    int16_t* yymstackptr;
    int16_t* yymsstackptr;  // the initial (static) state stack
    int32_t yymstack_size;
    int32_t yymsstack_size;
    int32_t yymattribute_size;    // bytes per semantic value
    void* yymvalptr;              // the value of the rule being reduced
    void* yymlvalptr;             // the value that comes with the lookahead
    void* yymattributestackptr;   // one value per state
    void* yymsattributestackptr;  // the initial (static) attribute stack
    yym_stack_overflow_funct yymstackoverflow;
    yym_error_funct yymerror;
    yym_syntax_error_funct yymsyntaxerror;
    yym_discard_funct yymdiscard;
    yym_get_token_funct yymgettoken;
    yym_action_funct yymparseaction;
    const yym_state_action* yymstateaction;
    const yym_action_triple* yymactiontriple;
    int32_t yymactiontriple_size;
    const yym_goto* yymgoto;
    const yym_goto_pair* yymgotopair;
    int32_t yymgotopair_size;
    const yym_rule* yymrule;
    const int16_t* yymdestructor;
    void* yymlexerptr;  // handed to the lexer bridge; must be non-NULL
    int32_t yymdebug;   // this record's trace switch
    FILE* yymdebugout;
    const yym_token_name* yymtokenname;
    const char* const* yymrulename;
};

// The trace switch of every record (a record traces when either is set).
extern int32_t yymdebug_all;
// Tracing of every parser off again; for tests.
void yymtrace_reset(void);

// A grammar's record with its initial values: no requests, empty stacks on
// the given static storage (`static_stack_size` entries of states and of
// `attribute_size`-byte values), growth allowed, the default callbacks with
// `action_funct`, errors into the log (no yymerr stream), traces to standard
// output, trace off. `value` and
// `lookahead_value` hold one value each.
yym_parser yym_parser_initial(const yym_tables* tables, yym_action_funct action_funct,
                              int16_t* static_state_stack, void* static_attribute_stack,
                              int32_t static_stack_size, int32_t attribute_size, void* value,
                              void* lookahead_value);

// Runs one parse: 0 accepted, 1 aborted (stack emptied by error recovery,
// end of input while discarding, or a failed push), or the abort or accept
// result that the action function set.
int32_t yyparse(yym_parser* yy);
// Resets the parse state (the stacks keep their size) and pushes state 0;
// 0, or 1 when the push fails.
int32_t yymsetup(yym_parser* yy);
// The parse loop.
int32_t yymwork(yym_parser* yy);

// 1 when the state is pushed; 0 after the stack-overflow callback.
int yympush(yym_parser* yy, int32_t state);
void yympop(yym_parser* yy, int32_t n);
// Pops n states one at a time, running each one's destructor.
void yymdepop(yym_parser* yy, int32_t n);
// Sets the skip count (the trace tells when error recovery starts and ends).
void yymsskip(yym_parser* yy, int32_t n);
// Resizes both stacks to `size` entries (the static ones up to their size);
// 1, or 0 when the size cannot hold the stack or cannot be allocated.
int yymsssiz(yym_parser* yy, int32_t size);

// The default callbacks.
int32_t yymgtok(yym_parser* yy);              // the lexer bridge's next token
void yymdisc(yym_parser* yy, int32_t token);  // nothing
void yymsyner(yym_parser* yy);                // the error text "syntax error"
// The text and a newline on yymerr when one is set, else an error line in the
// log with the file and line of the lexer bridge.
void yymerror(yym_parser* yy, const char* text);
void yymsoflw(yym_parser* yy);  // the error text "yacc stack overflow"

// The value of stack entry `index`.
inline void* yym_attribute(const yym_parser* yy, int32_t index)
{
    return (char*)yy->yymattributestackptr + (size_t)index * (size_t)yy->yymattribute_size;
}

// Used by the engine's own operations.
// Reads the lookahead through the get-token callback (a negative token is
// taken as the end of the input).
void yym_read_lookahead(yym_parser* yy);
// The action for `state` and the lookahead, following continue entries. With
// `token` >= 0 that token is looked up and none is read; else a state that
// needs one reads the lookahead through the get-token callback.
void yym_lookup_action(yym_parser* yy, int32_t state, int32_t token, int32_t* type,
                       int32_t* target);
// The state after reducing to `nonterminal` in `state`.
int32_t yym_goto_state(const yym_parser* yy, int32_t nonterminal, int32_t state);
// Trace output.
int yym_tracing(const yym_parser* yy);
void yym_trace(const yym_parser* yy, const char* format, ...) __attribute__((format(printf, 2, 3)));
void yym_trace_token(const yym_parser* yy, const char* what, int32_t token);
// Stops the process when `condition` fails.
void yym_require(bool condition, const char* what);
