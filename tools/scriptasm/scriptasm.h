// The script assembler: writes compiled script files ("scw") from a readable
// text form, with the game's own record writers for the tables. The script
// compiler is no part of the game; tests and the demo level get their
// scripts from here.
//
// The text, one statement a line; "#" starts a comment:
//
//     .entity "env", "e2e_env", 1        # name, entity file, id
//     .variable "n", 0.0, 1              # name, value, id
//     .state_variable "door", 0, 3, 1    # name, state type, slot, entity id
//     .attach 1, 2, -1                   # target id, attached id, joint index,
//                                        # then optionally the 12 numbers and
//                                        # the attrib word of the matrix
//     .function entity_loaded 1          # a built-in call: its keyword (or
//                                        # code) and operands as a command's
//     .sound "boom", "boom.wav", 0       # name, sound file, id
//     .shader 0, 1, 2                    # entity position, shader slot,
//                                        # animation index
//
//     set_environment 1                  # a command: its keyword, then its
//     if call(0) = 1, yes, no, done      # operands in stream order: trees,
//     yes: display_message 10, 10, 255, 255, 255, 3, "ok"   # strings, then
//     else done                          # constants (plain numbers)
//     no: assign var(1), 5
//     done: wait 100
//     .code 200                          # a code by number (none outside the
//                                        # table has operands)
//
// Table records come before the first command; each table keeps the order of
// its lines. `if` takes its condition and then the targets of its true
// branch, its else branch (0: none) and its end; `else` the end of the if.
// A target is a label ("name:" before a statement) or a byte offset from the
// first command.
//
// Expressions: numbers (constant leaves, kind 3), var(id), state(position),
// call(position), node(kind, value) and node(kind, value, left, right) with
// "_" for a missing child; the operators, loosest first: or; and; = != > <
// >= <=; + -; * / %; and ! (not) in front of an operand; parentheses.
#pragma once

#include <string>

// Assembles `source` into the compiled script file `path`. Returns 1, or 0
// with the reason, naming the line, in `error` (when given); no file is left
// behind then.
int scriptasm_write(const char* source, const char* path, std::string* error);
