// NVM items, package flashing, module EEPROM, versions and dumps through the
// Ethernet driver's ethtool interface of a function (the driver channel's road). Every
// operation reaches the function's interface by its name through the host of its
// channel (see ethtool_socket.h for the ioctl mapping).
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "common/result.h"
#include "transport/channel.h"
#include "transport/function.h"

namespace zelt::transport {

// Reads `length` bytes of the item at directory index `index` from byte `offset`, in
// pieces of at most 4080 bytes. Length 0 succeeds at once. A failure part-way leaves
// the pieces read so far in `data`. Index above 254: -5; a range reaching past the
// 24-bit offset limit: -6.
Result zeltnvmGetItem(const Function& fn, uint32_t index, uint32_t offset, uint8_t* data, uint32_t length);

// Writes a whole item identified by type, ordinal, ext and attr in one request.
// Length 0: -10; allocation failure: -3.
Result zeltnvmWriteItem(const Function& fn, ItemId id, uint16_t attr, std::span<const uint8_t> data);

// Erases the directory entry at `index`. Index above 254: -5 without a request.
Result zeltnvmEraseItem(const Function& fn, uint32_t index);

// Flashes file `fname`, named relative to the firmware directory, into `region`.
// A name longer than 127 characters: -12.
Result zeltnvmEthtoolFlashItem(const Function& fn, const std::string& fname, uint32_t region);

// Stores a package as /lib/firmware/hvxupdate.pkg (creating the directory when
// needed) and flashes it with its install type. The file is the host's one staging
// place: it is used under the host-wide staging lock, written under a temporary name
// and renamed into place, and removed once the flash returned (or the run is
// interrupted). Another run holding the lock for the whole wait: -16 (busy), after a
// line naming it. File errors: -101 (open or lock), -104 (write; nothing is left
// behind).
// When `snapshot` is given and holds exactly `package`'s bytes, the staged file is the
// snapshot itself, linked into place instead of written out again; where the link
// cannot be made the bytes are written as without it.
Result zeltnvmSecureUpdate(const Function& fn, std::span<const uint8_t> package, uint32_t install_type,
                           const host::FileSnapshot* snapshot = nullptr);

// Cable data from the optical module's EEPROM.
ResultOr<ModuleInfo> zeltnvmGetModuleInfo(const Function& fn);

// Running firmware version (before the first "/" of the driver's text, at most 31
// characters).
ResultOr<std::string> zeltnvmGetInstalledfwVersion(const Function& fn);
// Installed package version (what follows "pkg " in the driver's text). -80 when the
// driver reports none.
ResultOr<std::string> zeltnvmGetInstalledPackageVersion(const Function& fn);

// True when the driver holds a crash dump. Leaves the dump flag at 0.
bool zeltnvm_is_ethtool_crashdump_available(const Function& fn);
// Writes the driver's dump (type 1: the crash dump) to `fp`. Takes `fp` over and
// closes it on every path. Length 0: -28; allocation failure -3; failing to clear
// the crash dump flag afterwards: -1.
Result zeltnvmEthtoolCoredump(const Function& fn, FILE* fp, int type);

}  // namespace zelt::transport
