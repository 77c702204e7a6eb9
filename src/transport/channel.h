// What one road to an adapter function can do. A function value holds the channel
// discovery chose for it; nothing below discovery asks which road a function takes,
// it asks its channel.
//
// Every operation takes the function it acts on (its name and PCI address) and
// returns a result that keeps its origin. An operation a road cannot carry answers
// HVXRETVAL_UNSUPPORTED_OPERATION unless it says otherwise.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "common/pci_address.h"
#include "common/result.h"
#include "host/file_snapshot.h"

namespace zelt::host {
class Host;
}

namespace zelt::transport {

struct Function;
struct Message;

// A firmware reset: which embedded processor, when it resets itself, and the request's
// flags.
struct ResetRequest {
    uint8_t proc_type = 0;
    uint8_t selfrst_status = 0;
    uint8_t flags = 0;
};

// What the driver reports about a function.
struct DriverInfo {
    PciAddress address;
    std::string driver_version;
    std::string driver_name;
};

// Cable data from an optical module's EEPROM.
struct ModuleInfo {
    int cable_length = 0;    // metres
    int awg = 0;             // wire gauge
    int insertion_loss = 0;  // dB; 255 when the module's vendor does not report it reliably
};

// The firmware's counters of resets and of error recoveries.
struct FwCounters {
    uint32_t reset = 0;
    uint32_t error_recovery = 0;
};

// An NVM item by its identity.
struct ItemId {
    uint16_t type = 0;
    uint16_t ordinal = 0;
    uint16_t ext = 0;
};

// Operations that a platform as a whole may not offer (whatever the function): the
// channel of such a platform refuses them with HVXRETVAL_UNSUPPORTED_PLATFORM.
enum class PlatformOperation : uint8_t {
    kModuleInfo,        // the optical module's EEPROM
    kEyeDiagram,        // the older eye plot
    kFecSignalMode,     // the active FEC signal mode
    kAdminPfQuery,      // whether a function is the admin PF
    kTrustedVfCaps,     // whether the firmware can trust VFs
};

class Channel {
public:
    explicit Channel(host::Host& host) : host_(host) {}
    virtual ~Channel() = default;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // The host the channel reaches the adapter through.
    host::Host& host() const { return host_; }

    // ---- Firmware messages ----------------------------------------------------------
    // Sends one request and fills its answer (already zero-filled by send_message).
    virtual Result send(const Function& fn, const Message& msg) const = 0;
    // The largest piece an item read or modify by message moves at once.
    virtual uint32_t message_piece_size() const = 0;

    // ---- NVM items ----------------------------------------------------------------------
    // Reads `length` bytes of the item at directory `index` from byte `offset`.
    virtual Result read_item(const Function& fn, uint32_t index, uint32_t offset, uint8_t* data,
                             uint32_t length) const = 0;
    // Writes a whole item (created when absent). Nothing past `data` of the old item
    // survives the write.
    virtual Result write_item(const Function& fn, ItemId id, uint16_t attr, std::span<const uint8_t> data) const = 0;
    // Erases the directory entry at `index`.
    virtual Result erase_item(const Function& fn, uint32_t index) const = 0;
    // Stages a package of `install_type` and has the firmware install it.
    virtual Result install_package(const Function& fn, std::span<const uint8_t> package,
                                   uint32_t install_type) const = 0;
    // The same for a package whose bytes are exactly a private snapshot's: a channel
    // that stages through a file may stage the snapshot itself. Others install its bytes.
    virtual Result install_snapshot(const Function& fn, const host::FileSnapshot& snapshot,
                                    uint32_t install_type) const {
        return install_package(fn, snapshot.bytes(), install_type);
    }

    // ---- Driver and firmware facts ----------------------------------------------------
    // The function's PCI address and its driver's version and name.
    virtual ResultOr<DriverInfo> driver_info(const Function& fn) const = 0;
    // Running firmware version text.
    virtual ResultOr<std::string> firmware_version(const Function& fn) const = 0;
    // Installed package version text; HVXRETVAL_ITEM_NOT_FOUND when none is reported.
    virtual ResultOr<std::string> package_version(const Function& fn) const = 0;
    // Cable data of the function's optical module.
    virtual ResultOr<ModuleInfo> module_info(const Function& fn) const = 0;

    // ---- Reset ----------------------------------------------------------------------------
    // Resets the function's firmware as `request` asks.
    virtual Result reset(const Function& fn, const ResetRequest& request) const = 0;

    // ---- Dumps --------------------------------------------------------------------------
    // Whether the driver holds a crash dump (false when the road has no driver).
    virtual bool crashdump_available(const Function& fn) const = 0;
    // Writes the dump (type 1: the crash dump) to `fp`, which it takes over and closes on
    // every path.
    virtual Result coredump(const Function& fn, FILE* fp, int type) const = 0;

    // The firmware's counters as the driver reports them itself;
    // HVXRETVAL_UNSUPPORTED_OPERATION on a road where they are read from the firmware's
    // registers.
    virtual ResultOr<FwCounters> fw_counters(const Function&) const {
        return Result::tool(HVXRETVAL_UNSUPPORTED_OPERATION);
    }

    // ---- Platform -------------------------------------------------------------------------
    // Whether the platform the channel runs on offers `operation` at all.
    virtual bool offers(PlatformOperation) const { return true; }

private:
    host::Host& host_;
};

// Success when the function's platform offers `operation`, else
// HVXRETVAL_UNSUPPORTED_PLATFORM (a function without a channel is not refused here).
Result platform_offers(const Function& fn, PlatformOperation operation);

}  // namespace zelt::transport
