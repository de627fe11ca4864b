// What the C interface says about the library itself: its version and the texts of its codes.
#include "qel.h"
#include "qel_codes.h"

extern "C" {

const char* qel_version(void) {
    return QEL_VERSION_TEXT;
}

const char* qel_result_text(int32_t code) {
    return qel::ResultCodeText(code);
}

}  // extern "C"
