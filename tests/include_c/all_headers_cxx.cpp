/* The same public headers and calls compile as C++17; the headers bring their own C linkage.
 * Keep all_headers.c valid C++ as well (cast void pointers, no designated initialisers). */
#include "all_headers.c"
