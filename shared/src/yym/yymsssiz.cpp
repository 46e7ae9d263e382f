#include <cstdlib>
#include <cstring>

#include "yym.h"

// The engine keeps its own heap blocks (plain C heap, no log entries): it
// writes nothing to the debug log.
int yymsssiz(yym_parser* yy, int32_t size)
{
    yym_require(yy != nullptr, "parser record present");
    yym_require(size >= 0, "stack size is 0 or more");
    if (size == yy->yymstack_size)
        return 1;
    if (size <= yy->yymtop)
        return 0;
    size_t attribute_size = (size_t)yy->yymattribute_size;
    if ((size_t)size > SIZE_MAX / sizeof(int16_t) ||
        (attribute_size > 0 && (size_t)size > SIZE_MAX / attribute_size))
        return 0;

    int16_t* states = yy->yymsstackptr;
    void* attributes = yy->yymsattributestackptr;
    if (size > yy->yymsstack_size) {
        states = (int16_t*)std::malloc((size_t)size * sizeof(int16_t));
        attributes = std::malloc((size_t)size * attribute_size);
        if (!states || !attributes) {
            std::free(states);
            std::free(attributes);
            return 0;
        }
    }
    int32_t kept = yy->yymtop + 1;  // size > yymtop, so the whole stack fits
    if (kept > 0 && states != yy->yymstackptr) {
        std::memcpy(states, yy->yymstackptr, (size_t)kept * sizeof(int16_t));
        std::memcpy(attributes, yy->yymattributestackptr, (size_t)kept * attribute_size);
    }
    if (yy->yymstackptr != yy->yymsstackptr) {
        std::free(yy->yymstackptr);
        std::free(yy->yymattributestackptr);
    }
    yy->yymstackptr = states;
    yy->yymattributestackptr = attributes;
    yy->yymstack_size = size;
    return 1;
}
