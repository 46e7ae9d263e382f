// Helpers of the script engine's tests: compiled scripts assembled from text,
// scripts linked from bytes, and decoded commands written back in the
// assembler's text form, so that a test states a script as its author would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "parsestr.h"

// The bytes of the compiled script file that `source` assembles to; the
// test fails when it does not assemble.
std::string assemble(const std::string& source);

// `bytes` with the little-endian word at `offset` replaced by `word`.
std::string patch_word(std::string bytes, size_t offset, uint32_t word);

// A script (not in the running list) that holds `bytes`, a whole compiled
// script file, as its code; released with the object.
class LinkedScript {
public:
    explicit LinkedScript(const std::string& bytes, const char* name = "test");
    ~LinkedScript();
    LinkedScript(const LinkedScript&) = delete;
    LinkedScript& operator=(const LinkedScript&) = delete;

    running_script* operator->() const { return script_; }
    running_script* get() const { return script_; }
    // Whether the tables linked.
    bool linked() const { return linked_; }
    // The commands from pc to the end of the code, decoded one after another
    // (no jumps taken) in the assembler's text form; a command whose
    // operands could not be copied shows as "(lost)".
    std::vector<std::string> listing();

private:
    running_script* script_;
    bool linked_;
};

// The decoded command of `script` in the assembler's text form: its keyword
// (or ".code N"), its trees, strings and constants, and for `if` and `else`
// their targets.
std::string render_command(const running_script* script);
// A tree in the assembler's text form (binary nodes in parentheses).
std::string render_tree(const expression* node);
