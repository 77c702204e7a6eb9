// Feeds arbitrary request records (with arbitrary buffer sizes and bus addresses) to
// the simulated firmware, on a flash holding the factory content.
#include <cstdint>
#include <cstring>
#include <vector>

#include "sim/factory/factory_content.h"
#include "sim/firmware/firmware.h"
#include "wire/hwrm_messages.h"

using namespace zelt;

using namespace zelt::sim;

namespace {

// Message numbers the firmware knows, so most inputs reach a handler.
constexpr uint16_t kTypes[] = {
    HWRM_VER_GET, HWRM_ERROR_RECOVERY_QCFG, HWRM_FUNC_QCAPS, HWRM_FUNC_QCFG, HWRM_PORT_PHY_QCFG, HWRM_FW_RESET,
    HWRM_FW_QSTATUS, HWRM_FW_HEALTH_CHECK, HWRM_FW_SYNC, HWRM_FW_SET_TIME, HWRM_TEMP_MONITOR_QUERY, HWRM_PCIE_QSTATS,
    HWRM_MFG_OTP_QCFG, HWRM_MFG_PRVSN_GET_STATE, HWRM_MFG_GET_NVM_MEASUREMENT, HWRM_DBG_READ_DIRECT,
    HWRM_DBG_WRITE_DIRECT, HWRM_DBG_QCAPS, HWRM_NVM_DEFRAG, HWRM_NVM_FACTORY_DEFAULTS, HWRM_NVM_FLUSH,
    HWRM_NVM_GET_VARIABLE, HWRM_NVM_SET_VARIABLE, HWRM_NVM_INSTALL_UPDATE, HWRM_NVM_MODIFY, HWRM_NVM_GET_DEV_INFO,
    HWRM_NVM_FIND_DIR_ENTRY, HWRM_NVM_GET_DIR_ENTRIES, HWRM_NVM_GET_DIR_INFO, HWRM_NVM_READ, HWRM_NVM_WRITE,
    HWRM_NVM_RAW_WRITE_BLK, HWRM_SELFTEST_QLIST, HWRM_SELFTEST_RETRIEVE_SERDES_DATA};

struct World {
    HostDesc host = default_host();
    std::vector<uint8_t> pristine;
    World() {
        host.adapters[1].nvm_size = 2u << 20;  // small, so every run can start from a fresh copy
        pristine.assign(host.adapters[1].nvm_size, 0);
        FlashModel flash(pristine);
        flash.format();
        uint32_t index;
        std::vector<FactoryItem> items;
        std::string error;
        factory_items(host.adapters[1], items, error);
        for (const FactoryItem& item : items)
            flash.write(item.type, item.ordinal, item.ext, item.attr, item.data, item.item_length, index);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World world;
    if (size < 4) return 0;
    uint16_t req_type = kTypes[data[0] % (sizeof kTypes / sizeof kTypes[0])];
    size_t dma_len = (size_t{data[1]} << 8 | data[2]) % 70000;
    size_t resp_len = 16 + data[3] % 200;
    std::vector<uint8_t> request(data + 4, data + size);
    if (request.size() >= 2) std::memcpy(request.data(), &req_type, 2);

    // Every run starts from the pristine flash, copied with one memcpy into a buffer
    // kept between runs (the sanitizer's element-wise copy of a vector costs more than
    // most requests do).
    static std::vector<uint8_t> flash_bytes(world.pristine.size());
    std::memcpy(flash_bytes.data(), world.pristine.data(), flash_bytes.size());
    const AdapterDesc& adapter = world.host.adapters[1];
    AdapterState state;
    state.running_fw_version = adapter.fw_version;
    FirmwareContext ctx{adapter, adapter.functions[0], state, FlashModel(flash_bytes), 1000000};
    std::vector<uint8_t> dma_buffer(dma_len, 0x5A);
    DmaMap map;
    uint64_t bus = map.map(dma_buffer);
    // Point the usual buffer fields at the mapping unless the input chose an address.
    for (size_t off : {size_t{16}, size_t{24}})
        if (request.size() >= off + 8 && request[off] == 0) std::memcpy(request.data() + off, &bus, 8);
    std::vector<uint8_t> response(resp_len, 0);
    const uint64_t response_bus = map.map_response(response);
    // Point the response address at the response unless the input chose one.
    if (request.size() >= 16 && request[8] == 0) std::memcpy(request.data() + 8, &response_bus, 8);
    firmware_answer(ctx, request, response, map);
    return 0;
}
