// Numeric helpers that every subsystem uses in place of the bare C library:
// a float-to-int conversion with a defined result for every input, and
// square root and arc cosine that report domain errors to the math-error
// hook `_matherr`.
#pragma once

#include <cstdint>

// Truncates toward zero. NaN, infinities and values whose truncation lies
// outside the int32 range give INT32_MIN.
int32_t math_util_float_to_int(double value);

// Kinds of math error in math_util_error.type.
enum {
    MATH_UTIL_DOMAIN = 1,  // argument outside the function's domain
};

// What the math-error hook is told about a failing call.
struct math_util_error {
    int type;          // MATH_UTIL_DOMAIN
    const char* name;  // the failing function, "sqrt" or "acos"
    double arg1;       // its first argument
    double arg2;       // its second argument (0.0 for one-argument functions)
    double retval;     // the result the call will return; the hook may change it
};

// The math-error hook. For "sqrt" it logs the warning
// "Inside _matherr for 'sqrt', arg1 = <arg1>", sets `retval` to 0.0 and
// returns 1 (handled). For any other function it logs the error
// "Inside _matherr for '<name>'" and returns 0, leaving `retval` alone.
int _matherr(math_util_error* except);

// sqrt(x); a negative x goes to the hook, which makes the result 0.0.
double math_util_sqrt(double x);

// acos(x); an x outside -1 to 1 goes to the hook, and the result stays the
// library's own (NaN).
double math_util_acos(double x);
