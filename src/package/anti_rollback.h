// The secure-boot revisions a package carries, and the rule that keeps a recovery from
// putting firmware on an adapter whose counters it does not satisfy.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelt {

// A customer revision id (CRID) and the SBI, SRT and CRT revisions: as the adapter's
// one-time-programmable counters hold them, or as a package's secure-boot items carry
// them (0 for an item the package lacks).
struct SecureRevisions {
    uint16_t crid = 0;
    uint16_t sbi = 0;
    uint16_t srt = 0;
    uint16_t crt = 0;
};

// Statuses of the anti-rollback rule.
inline constexpr int32_t ZELPKG_ANTI_ROLLBACK_REFUSED = 70;
inline constexpr int32_t ZELPKG_ANTI_ROLLBACK_READ_FAILED = 50;
inline constexpr int32_t ZELPKG_ANTI_ROLLBACK_BAD_HEADER = 71;
inline constexpr int32_t ZELPKG_ANTI_ROLLBACK_BAD_MANIFEST = 72;

// The revisions of the package's SBI item (CRID and SBI revision from its secure-boot
// header at offset 256), SRT and CRT items (customer revision of the header at offset
// 0). A header outside the package counts as absent. 0, or ..._BAD_HEADER /
// ..._BAD_MANIFEST when the package's header or manifest cannot be read.
int32_t zelpkgSecureRevisions(const void* pkg, size_t length, SecureRevisions* out);

// ZELPKG_ANTI_ROLLBACK_REFUSED when the package is for another CRID or any of its
// revisions is below the adapter's counter, else 0.
int32_t zelpkgAntiRollbackStatus(const SecureRevisions& package, const SecureRevisions& device);

}  // namespace zelt
