/* qel.h compiles as C89 too; the test program itself is C99. */
#include "qel.h"
