#include "sim/tree/config_space.h"

#include <cstring>

#include "common/supported_devices.h"
#include "sim/chip/bar_chip.h"
#include "sim/faults/faults.h"
#include "sim/firmware/reset.h"
#include "sim/state/sim_store.h"
#include "wire/fw_register_address.h"

namespace zelt::sim {

namespace {

void put16(std::vector<uint8_t>& c, unsigned off, uint16_t v) { std::memcpy(&c[off], &v, 2); }
void put32(std::vector<uint8_t>& c, unsigned off, uint32_t v) { std::memcpy(&c[off], &v, 4); }

}  // namespace

uint64_t bar0_size(const AdapterDesc& a) { return a.device_type > 7 ? kBar0SizeNewest : kBar0SizeOlder; }

uint64_t bar0_address(const FunctionDesc& f) {
    uint64_t rid = (uint64_t{f.domain} << 16) | (uint64_t{f.bus} << 8) | (uint64_t{f.dev} << 3) | f.func;
    return 0x380000000000ull + rid * (kBar0SizeNewest + kBar2Size) * 2;
}

std::vector<uint8_t> build_config_space(const AdapterDesc& a, const FunctionDesc& f) {
    std::vector<uint8_t> c(kConfigSpaceBytes, 0);
    put16(c, 0x00, ZELT_PCI_VENDOR_ID);
    put16(c, 0x02, f.device_id);
    // Memory space always; bus mastering while a driver owns the function.
    put16(c, 0x04, f.driver.empty() ? 0x0002 : 0x0006);
    put16(c, 0x06, 0x0010);  // capability list present
    c[0x08] = a.revision;
    c[0x0B] = 0x02;  // network controller, Ethernet
    unsigned pfs = 0;
    for (const auto& fn : a.functions) pfs += fn.is_vf ? 0 : 1;
    c[0x0E] = (!f.is_vf && pfs > 1) ? 0x80 : 0x00;
    if (!f.is_vf) {
        uint64_t bar0 = bar0_address(f), bar2 = bar0 + bar0_size(a);
        put32(c, 0x10, static_cast<uint32_t>(bar0) | 0x0C);  // 64-bit prefetchable memory
        put32(c, 0x14, static_cast<uint32_t>(bar0 >> 32));
        put32(c, 0x18, static_cast<uint32_t>(bar2) | 0x0C);
        put32(c, 0x1C, static_cast<uint32_t>(bar2 >> 32));
    }
    put16(c, 0x2C, ZELT_PCI_VENDOR_ID);
    put16(c, 0x2E, a.subsys_device_id);
    c[0x34] = 0x40;
    // Power management capability.
    c[0x40] = 0x01;
    c[0x41] = kPcieCapOffset;
    put16(c, 0x42, 0x0003);
    // PCI Express capability (endpoint): link capabilities and link status carry the
    // speed in bits 0-3 and the width in bits 4-9.
    bool newest = a.device_type > 7;
    uint16_t speed = newest ? 4 : 3, width = 16;
    c[kPcieCapOffset] = 0x10;
    c[kPcieCapOffset + 1] = 0x00;
    put16(c, kPcieCapOffset + 2, 0x0002);
    put32(c, kPcieCapOffset + 4, 0x00008fc2);                                 // device capabilities
    put32(c, kPcieCapOffset + 0x0C, static_cast<uint32_t>(speed | (width << 4)) | 0x00400c00u);  // link capabilities
    put16(c, kPcieCapOffset + 0x12, static_cast<uint16_t>(speed | (width << 4)));                // link status
    // Extended capabilities: advanced error reporting, then the device serial number.
    put32(c, 0x100, 0x0001u | (2u << 16) | (static_cast<uint32_t>(kDsnCapOffset) << 20));
    put32(c, kDsnCapOffset, 0x0003u | (1u << 16));
    put32(c, kDsnCapOffset + 4, static_cast<uint32_t>(a.dsn));
    put32(c, kDsnCapOffset + 8, static_cast<uint32_t>(a.dsn >> 32));
    return c;
}

bool config_window_data(unsigned offset, size_t size) {
    return offset < ZELT_PCI_CFG_WINDOW_DATA + 4 && offset + size > ZELT_PCI_CFG_WINDOW_DATA;
}

bool config_window_read(const std::string& root, const host::PciFunction& fn, uint16_t window_offset,
                        uint32_t& value) {
    std::string error;
    auto session = SimSession::open(root, error);
    if (!session) return false;
    ConstFunctionRef ref = find_function(session->host_view(), fn.domain, fn.bus, fn.dev, fn.func);
    if (!ref || ref.function->is_vf || ref.adapter->device_type <= 7) return false;
    value = sim_window_register(session->adapter_state(ref.adapter->name), session->now_us(), window_offset);
    if (window_offset == ZELT_CFG_WINDOW_FW_HEALTH) {
        if (const FaultDesc* f = chip_fault(session->host_view(), *ref.adapter, *ref.function, "fw_not_operational"))
            value = f->value ? f->value : kHealthNotOperational;
    }
    return true;
}

}  // namespace zelt::sim
