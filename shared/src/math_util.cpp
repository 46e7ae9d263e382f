#include "math_util.h"

#include <cmath>
#include <cstring>

#include "debug.h"

int32_t math_util_float_to_int(double value)
{
    // The comparison is false for NaN as well.
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return INT32_MIN;
    return (int32_t)value;
}

int _matherr(math_util_error* except)
{
    REFUSE_NULL(except, "_matherr", "except", 0);
    const char* name = except->name ? except->name : "";
    if (std::strcmp(name, "sqrt") == 0) {
        LOG_WARNING("Inside _matherr for '%s', arg1 = %lf\n", name, except->arg1);
        except->retval = 0.0;
        return 1;
    }
    LOG_ERROR("Inside _matherr for '%s'\n", name);
    return 0;
}

// Hands a domain error of `name` at `x` to the hook and returns the result
// the hook leaves.
static double math_util_domain_error(const char* name, double x, double library_result)
{
    math_util_error except = {MATH_UTIL_DOMAIN, name, x, 0.0, library_result};
    _matherr(&except);
    return except.retval;
}

double math_util_sqrt(double x)
{
    if (x < 0.0)
        return math_util_domain_error("sqrt", x, std::nan(""));
    return std::sqrt(x);
}

double math_util_acos(double x)
{
    if (x < -1.0 || x > 1.0)
        return math_util_domain_error("acos", x, std::nan(""));
    return std::acos(x);
}
