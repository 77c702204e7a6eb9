// The helpers every identity file uses.
#include <algorithm>
#include <cstring>

#include "common/hvxretval.h"
#include "device/discovery_lookup.h"
#include "device/identity/identity.h"
#include "device/identity/identity_internal.h"
#include "device/nvm/item_bounds.h"
#include "device/nvm/nvm_items.h"
#include "transport/hwrm_exchange.h"
#include "transport/nvm_variables.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"

namespace zelt::device::identity {

bool location_of(const InventoryFunction& target, PciAddress& where) {
    where = target.address();
    return true;
}

bool same_adapter(const PciAddress& a, const PciAddress& b) {
    return a.domain == b.domain && a.bus == b.bus && a.device == b.device;
}

bool at_location(const InventoryFunction& target, const PciAddress& saved) {
    return same_adapter(target.address(), saved);
}

int device_type_of(const InventoryFunction& target) { return device::device_type_of(target); }

Result read_item(const transport::Function& fn, const zelnvm_directory_entry_t& entry, SavedItem& out) {
    if (const Result bounded = device::check_item_length(entry.type, entry.data_length); !bounded.ok()) return bounded;
    auto made = device::zeroed_buffer(std::max<uint32_t>(entry.data_length, 1));
    if (!made.ok()) return made.result();
    std::vector<uint8_t> data = std::move(*made);
    const ResultOr<size_t> n = device::zeltnvmReadItem(fn, entry.type, entry.ordinal, entry.ext, data.data(),
                                                       static_cast<uint32_t>(data.size()), 0, nullptr);
    if (!n.ok()) return n.result();
    data.resize(*n);
    out.data = std::move(data);
    out.item_length = entry.item_length;
    out.ordinal = entry.ordinal;
    out.ext = entry.ext;
    out.attr = entry.attr;
    return Result();
}

namespace {

size_t value_bytes(const OptionRef& ref) { return (ref.bits + 7u) / 8u; }

transport::NvmVariableRef variable_of(const OptionRef& ref) {
    transport::NvmVariableRef v;
    v.option = ref.option;
    v.bits = ref.bits;
    v.dimensions = ref.dimensions;
    v.index_0 = ref.index_0;
    v.index_1 = ref.index_1;
    return v;
}

}  // namespace

Result option_get(const transport::Function& fn, const OptionRef& ref, uint8_t* value, size_t size) {
    const size_t n = value_bytes(ref);
    if (n == 0 || n > size) return Result::tool(HVXRETVAL_INVALID_PARAMETER);
    return transport::nvmVariableGet(fn, variable_of(ref), value, static_cast<uint16_t>(n));
}

Result option_set(const transport::Function& fn, const OptionRef& ref, const uint8_t* value, size_t size) {
    const size_t n = value_bytes(ref);
    if (n == 0 || n > size) return Result::tool(HVXRETVAL_INVALID_PARAMETER);
    return transport::nvmVariableSet(fn, variable_of(ref), value, static_cast<uint16_t>(n));
}

Result option_flush(const transport::Function& fn) { return transport::nvmVariablesFlush(fn); }

}  // namespace zelt::device::identity
