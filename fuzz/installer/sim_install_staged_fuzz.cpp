// The simulated firmware installing whatever bytes were staged: it must never read
// outside the staged package nor leave an unverifiable flash behind.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/directory_types.h"
#include "sim/firmware/install_staged.h"
#include "sim/state/description.h"
#include "sim/state/runtime_state.h"

using namespace zelt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zelt::sim;
    if (size > (256u << 10)) return 0;
    static const HostDesc host = default_host();
    const AdapterDesc& adapter = host.adapters.front();
    AdapterState state;
    // The flash stays in memory between runs and is formatted afresh for each: a new
    // megabyte for every run costs the sanitizer build more than the installation.
    static std::vector<uint8_t> bytes(1u << 20, 0xFF);
    FirmwareContext ctx{adapter, adapter.functions.front(), state, FlashModel(bytes), 0};
    ctx.flash.format();
    uint32_t index;
    const uint8_t cfg[64] = {1, 2, 3};
    ctx.flash.write(ZEL_DIR_TYPE_SHARED_CFG, 0, 0, 0, cfg, 0, index);
    ctx.flash.write(ZEL_DIR_TYPE_UPDATE, 0, 0, ZEL_DIR_ATTR_NO_CHKSUM, {data, size}, 256u << 10, index);
    InstallResult result;
    firmware_install_staged(ctx, 0, size > 0 ? data[size - 1] & 4 : 0, result);
    return 0;
}
