#include "device/features/factory_defaults.h"

#include "transport/hwrm_exchange.h"
#include "wire/hwrm_factory_defaults.h"
#include "wire/hwrm_messages.h"

namespace zelt::device {

Result zelt_restore_nvm_factory_defaults(const transport::Function& fn, bool* restored) {
    hwrm_nvm_factory_defaults_input req{};
    req.mode = HWRM_NVM_FACTORY_DEFAULTS_MODE_RESTORE;
    hwrm_nvm_factory_defaults_output resp{};
    const Result rc = transport::exchange(fn, HWRM_NVM_FACTORY_DEFAULTS, req, resp);
    if (rc.ok() && restored) *restored = resp.result == HWRM_NVM_FACTORY_DEFAULTS_RESULT_RESTORED;
    return rc;
}

}  // namespace zelt::device
