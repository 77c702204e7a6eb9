#include "wire/hwrm_answer.h"

namespace zelt {

bool hwrmDecodeStatus(std::span<const uint8_t> answer, HwrmAnswerStatus& status) {
    hwrm_err_output err;
    if (!hwrmDecodeAnswer(answer, err)) return false;
    status.error_code = le16_to_cpu(err.error_code);
    status.req_type = le16_to_cpu(err.req_type);
    status.cmd_err = err.cmd_err;
    return true;
}

bool zelnvmDecodeDirectory(std::span<const uint8_t> answer, uint32_t count, uint32_t entry_length,
                           std::vector<zelnvm_directory_entry_t>& entries) {
    if (entry_length < sizeof(zelnvm_directory_entry_t)) return false;
    if (count != 0 && static_cast<uint64_t>(count - 1) * entry_length + sizeof(zelnvm_directory_entry_t) > answer.size())
        return false;
    entries.clear();
    entries.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        zelnvm_directory_entry_t entry;
        std::memcpy(&entry, answer.data() + static_cast<size_t>(i) * entry_length, sizeof(entry));
        entries.push_back(entry);
    }
    return true;
}

}  // namespace zelt
