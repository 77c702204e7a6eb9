// Decoders of firmware answers. Each checks the answer's length before it reads a
// field, so a short or malformed answer is refused instead of read past its end.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>
#include <vector>

#include "wire/hwrm_header.h"
#include "wire/nvm_directory.h"

namespace zelt {

// The status words every answer carries in its first 16 bytes.
struct HwrmAnswerStatus {
    uint16_t error_code = 0;
    uint16_t req_type = 0;
    uint8_t cmd_err = 0;
};

// False when the answer is shorter than the error form.
bool hwrmDecodeStatus(std::span<const uint8_t> answer, HwrmAnswerStatus& status);

// Copies a whole answer record. False (and `out` untouched) when the answer is shorter
// than the record.
template <class Record>
bool hwrmDecodeAnswer(std::span<const uint8_t> answer, Record& out) {
    static_assert(std::is_trivially_copyable_v<Record>);
    if (answer.size() < sizeof(Record)) return false;
    std::memcpy(&out, answer.data(), sizeof(Record));
    return true;
}

template <class Record>
std::span<const uint8_t> hwrmBytes(const Record& record) {
    return {reinterpret_cast<const uint8_t*>(&record), sizeof(Record)};
}

// Walks a directory answer of `count` entries, `entry_length` bytes apart, keeping the
// first 24 bytes of each. False when the stride is shorter than an entry or the
// entries do not fit in the answer.
bool zelnvmDecodeDirectory(std::span<const uint8_t> answer, uint32_t count, uint32_t entry_length,
                           std::vector<zelnvm_directory_entry_t>& entries);

}  // namespace zelt
