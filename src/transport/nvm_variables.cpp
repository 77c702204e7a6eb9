#include "transport/nvm_variables.h"

#include <cstring>
#include <vector>

#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"

namespace zelt::transport {
namespace {

template <class In>
void fill_variable(In& req, const NvmVariableRef& ref) {
    req.data_len = cpu_to_le16(ref.bits);
    req.option_num = cpu_to_le16(ref.option);
    req.dimensions = cpu_to_le16(ref.dimensions);
    req.index_0 = cpu_to_le16(ref.index_0);
    req.index_1 = cpu_to_le16(ref.index_1);
    req.index_2 = cpu_to_le16(ref.index_2);
    req.index_3 = cpu_to_le16(ref.index_3);
}

}  // namespace

bool is_missing_variable(const Result& rc) {
    return rc.is_firmware_cmd_err(HWRM_NVM_VARIABLE_CMD_ERR_VAR_NOT_EXIST);
}

Result nvmVariableGet(const Function& fn, const NvmVariableRef& ref, uint8_t* value, uint16_t bytes) {
    hwrm_nvm_get_variable_input req{};
    fill_variable(req, ref);
    hwrm_nvm_get_variable_output resp{};
    // Never an empty buffer: a zero-length value still travels with a buffer address.
    std::vector<uint8_t> buf(bytes > 0 ? bytes : 1, 0);
    HwrmData data{buf.data(), bytes, HWRM_DMA_ADDR_OFFSET, 1};
    const Result rc = exchange(fn, HWRM_NVM_GET_VARIABLE, req, resp, &data);
    if (rc.ok() && bytes > 0) std::memcpy(value, buf.data(), bytes);
    return rc;
}

Result nvmVariableSet(const Function& fn, const NvmVariableRef& ref, const uint8_t* value, uint16_t bytes) {
    hwrm_nvm_set_variable_input req{};
    fill_variable(req, ref);
    hwrm_nvm_set_variable_output resp{};
    std::vector<uint8_t> buf(bytes > 0 ? bytes : 1, 0);
    if (bytes > 0) std::memcpy(buf.data(), value, bytes);
    HwrmData data{buf.data(), bytes, HWRM_DMA_ADDR_OFFSET, 0};
    return exchange(fn, HWRM_NVM_SET_VARIABLE, req, resp, &data);
}

Result nvmVariablesFlush(const Function& fn) {
    hwrm_nvm_flush_input req{};
    hwrm_nvm_flush_output resp{};
    return exchange(fn, HWRM_NVM_FLUSH, req, resp);
}

}  // namespace zelt::transport
