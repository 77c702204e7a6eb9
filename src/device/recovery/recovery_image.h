// Steps of starting a recovery image, shared by the two families' loaders.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/result.h"
#include "device/recovery/chip_session.h"
#include "transport/function.h"
#include "transport/mailbox.h"

namespace zelt::device::recovery {

// The largest recovery image file read.
inline constexpr uint64_t kMaxImageFileSize = 64u << 20;

// Reads the recovery image file `path` through `host`. Failure: "Failed open recovery
// firmware image" told (with a leading newline when `newline`), HVXRETVAL_FILE_OPEN_FAILURE.
ResultOr<std::vector<uint8_t>> read_image_file(host::Host& host, const std::string& path, RecoveryObserver& observer,
                                               bool newline);

// Writes `bytes` word by word to consecutive chip addresses from `address` (the last
// partial word padded with zeros), then `trailer_words` zero words after them.
// HVXRETVAL_REG_WRITE_FAILED on a failed write.
Result upload_image(const ChipSession& chip, RecoveryObserver& observer, std::span<const uint8_t> bytes,
                    uint32_t address, unsigned trailer_words);

// Stops a processor by name ("KONG", "CHIMP", "APE"; "BONO" needs nothing).
// HVXRETVAL_INVALID_FW_PROC_TYPE for any other name, HVXRETVAL_REG_WRITE_FAILED when the
// write fails.
Result halt_cpu(const ChipSession& chip, RecoveryObserver& observer, const std::string& name);

// The older families (device types below 8).
Result unlock_older(const transport::Function& fn, int device_type, RecoveryObserver& observer);
// `run` (optional): the mailbox run the function is reached on, told when the image runs.
Result fastboot_older(const transport::Function& fn, int device_type, RecoveryObserver& observer, std::string* image,
                      transport::MailboxRun* run);
// The Kestra family (device type 8).
Result unlock_kestra(const transport::Function& fn, int device_type, RecoveryObserver& observer);
Result fastboot_kestra(const transport::Function& fn, int device_type, RecoveryObserver& observer, std::string* image,
                       transport::MailboxRun* run);

// Resets the Kestra boot processor and waits (1 ms apart, at most kPrimateResetWaitMs)
// for the reset bit to clear. HVXRETVAL_REG_WRITE_FAILED / HVXRETVAL_REG_READ_FAILED
// (also when the bit never clears).
inline constexpr unsigned kPrimateResetWaitMs = 1000;
Result primate_reset(const ChipSession& chip, RecoveryObserver& observer);

// The chip's CRID from its boot record.
ResultOr<uint16_t> query_crid(const ChipSession& chip, RecoveryObserver& observer);

}  // namespace zelt::device::recovery
