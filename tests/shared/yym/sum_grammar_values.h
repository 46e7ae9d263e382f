// The value actions of the test grammar (sum_grammar.y), shared by everything
// that runs it: a sum, a difference, a sum in parentheses. Values are 32-bit
// and wrap, as any input may overflow them.
#pragma once

#include <cstdint>

#include "yym/yym.h"

// Runs action 3, 4 or 5 of the grammar; false for any other action.
inline bool sum_grammar_value_action(yym_parser* yy, int32_t action)
{
    uint32_t* result = (uint32_t*)yy->yymvalptr;
    // $k of a rule of `length` symbols.
    auto symbol = [yy](int length, int k) {
        return *(uint32_t*)yym_attribute(yy, yy->yymtop - length + k);
    };
    switch (action) {
    case 3:
        *result = symbol(3, 1) + symbol(3, 3);
        return true;
    case 4:
        *result = symbol(3, 1) - symbol(3, 3);
        return true;
    case 5:
        *result = symbol(3, 2);
        return true;
    default:
        return false;
    }
}
