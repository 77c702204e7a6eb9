// NVM items, package flashing, module EEPROM, versions and dumps through the
// Ethernet driver's ethtool interface. Every function takes the interface name and
// returns 0 on success or a result code (see ethtool_socket.h for the ioctl mapping).
#pragma once

#include <cstdint>
#include <cstdio>

// Reads `length` bytes of the item at directory index `index` from byte `offset`, in
// pieces of at most 4080 bytes. Length 0 returns 0 at once. A failure part-way leaves
// the pieces read so far in `data`. Index above 254: -5; a range reaching past the
// 24-bit offset limit: -6.
int32_t zeltnvmGetItem(const char* devname, uint32_t index, uint32_t offset, uint8_t* data, uint32_t length);

// Writes a whole item identified by type, ordinal, ext and attr in one request.
// Length 0: -10; allocation failure: -3.
int32_t zeltnvmWriteItem(const char* devname, uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr,
                         const uint8_t* data, uint32_t length);

// Erases the directory entry at `index`. Index above 254: -5 without a request.
int32_t zeltnvmEraseItem(const char* devname, uint32_t index);

// Flashes file `fname`, named relative to the firmware directory, into `region`.
// A name longer than 127 characters: -12.
int32_t zeltnvmEthtoolFlashItem(const char* devname, const char* fname, uint32_t region);

// Stores a package as /lib/firmware/hvxupdate.pkg (creating the directory when
// needed) and flashes it with its install type. On success sets *reboot_needed to 1
// when given. The file is the host's one staging place: it is used under the host-wide
// staging lock, written under a temporary name and renamed into place, and removed
// once the flash returned (or the run is interrupted). Another run holding the lock for
// the whole wait: -16 (busy), after a line naming it. File errors: -101 (open or
// lock), -104 (write; nothing is left behind).
int32_t zeltnvmSecureUpdate(const char* devname, const uint8_t* data, uint32_t length, void* unused,
                            int* reboot_needed, uint32_t install_type);

// Cable data from the optical module's EEPROM: cable length in metres, wire gauge and
// insertion loss in dB (255 for modules whose vendor does not report it reliably).
int32_t zeltnvmGetModuleInfo(const char* devname, int* cable_length, int* awg, int* insertion_loss);

// Running firmware version (before the first "/" of the driver's text, at most 31
// characters). `ver` holds at least 32 bytes.
int32_t zeltnvmGetInstalledfwVersion(const char* devname, char* ver);
// Installed package version (what follows "pkg " in the driver's text), cut to
// maxlen - 1 characters. -80 when the driver reports none.
int32_t zeltnvmGetInstalledPackageVersion(const char* devname, char* ver, uint32_t maxlen);

// 1 when the driver holds a crash dump, else 0. Leaves the dump flag at 0.
int zeltnvm_is_ethtool_crashdump_available(const char* devname);
// Writes the driver's dump (type 1: the crash dump) to `fp`. Takes `fp` over and
// closes it on every path. Length 0: -28; allocation failure -3; failing to clear
// the crash dump flag afterwards: -1.
int32_t zeltnvmEthtoolCoredump(const char* devname, FILE* fp, int type);
