#include <cstring>

#include "yym.h"

void yymdepop(yym_parser* yy, int32_t n)
{
    yym_require(yy != nullptr, "parser record present");
    yym_require(n >= 0 && n <= yy->yymtop + 1, "pop count within the stack");
    for (int32_t i = 0; i < n; ++i) {
        if (yy->yymdestructor) {
            int32_t action = yy->yymdestructor[yy->yymstackptr[yy->yymtop]];
            if (action >= 0) {
                // The destructor works on the state's value as on a result.
                void* value = yym_attribute(yy, yy->yymtop);
                std::memcpy(yy->yymvalptr, value, (size_t)yy->yymattribute_size);
                yy->yymparseaction(yy, action);
                std::memcpy(value, yy->yymvalptr, (size_t)yy->yymattribute_size);
            }
        }
        yympop(yy, 1);
    }
}
