#include "log/error_check.h"

#include "common/hvxretval.h"
#include "log/print.h"

namespace zelt {

void checkErrorcode(int32_t rc, bool show) {
    if (rc == ZELT_RC_NOT_PERMITTED) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                      "This operation does not have administrative privileges for given interface\n");
    } else if (show) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "%s\n", hvxretvalStringify(rc).c_str());
    }
}

}  // namespace zelt
