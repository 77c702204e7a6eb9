#include "sim/firmware/option_values.h"

#include <algorithm>
#include <cstdio>

#include "wire/nvm_option_values.h"

namespace zelt::sim {

namespace {

std::array<uint8_t, 3> factory_cfg_version(const AdapterDesc& adapter) {
    if (adapter.device_type > 7) return {2, 5, 1};
    return {1, 9, 0};
}

bool parse_version3(const std::string& text, std::array<uint8_t, 3>& version) {
    unsigned v[3];
    char tail;
    if (std::sscanf(text.c_str(), "%u.%u.%u%c", &v[0], &v[1], &v[2], &tail) != 3) return false;
    if (v[0] > 255 || v[1] > 255 || v[2] > 255) return false;
    version = {static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2])};
    return true;
}

// The option's value stored at index 0, when one was set.
const std::vector<uint8_t>* stored_value(const AdapterState& state, uint16_t num) {
    auto var = state.options.find(num);
    if (var == state.options.end()) return nullptr;
    auto value = var->second.values.find(OptionIndex{});
    return value == var->second.values.end() ? nullptr : &value->second;
}

}  // namespace

std::array<uint8_t, 3> running_cfg_version(const FirmwareContext& ctx) {
    std::array<uint8_t, 3> version;
    if (!ctx.state.running_cfg_version.empty() && parse_version3(ctx.state.running_cfg_version, version)) return version;
    return factory_cfg_version(ctx.adapter);
}

bool option_initial_value(const FirmwareContext& ctx, uint16_t num, const OptionIndex& index, std::span<uint8_t> out) {
    if (num == ZELT_OPT_NVM_CFG_VERSION && index == OptionIndex{}) {
        // Nothing stored yet: the NVM holds the configuration the firmware runs.
        uint8_t value[ZELT_OPT_NVM_CFG_VERSION_BYTES];
        const std::array<uint8_t, 3> version = running_cfg_version(ctx);
        zeltOptCfgVersionEncode(version.data(), value);
        std::copy_n(value, std::min(out.size(), sizeof value), out.begin());
        return true;
    }
    if (num == ZELT_OPT_MAC_ADDRESS) {
        // Index i is the adapter's physical function i; its factory address.
        for (const FunctionDesc& f : ctx.adapter.functions) {
            if (f.is_vf || f.pf_index != index.i[0] || index.i[1] || index.i[2] || index.i[3]) continue;
            uint8_t value[ZELT_OPT_MAC_ADDRESS_BYTES];
            zeltOptMacEncode(f.mac.data(), value);
            std::copy_n(value, std::min(out.size(), sizeof value), out.begin());
            return true;
        }
    }
    if (num == ZELT_OPT_MF_MODE && index.i[0] < ctx.adapter.ports && !index.i[1] && !index.i[2] && !index.i[3]) {
        std::fill_n(out.begin(), std::min(out.size(), ZELT_OPT_MF_MODE_BYTES), ZELT_MF_MODE_FACTORY);
        return true;
    }
    if (num == ZELT_OPT_NETWORK_PORT_MODE && index == OptionIndex{} && !out.empty()) {
        // The factory port mode names the adapter's port count.
        switch (ctx.adapter.ports) {
            case 1: out[0] = ZELT_PORT_MODE_ONE_PORT; return true;
            case 2: out[0] = ZELT_PORT_MODE_TWO_PORTS; return true;
            case 4: out[0] = ZELT_PORT_MODE_FOUR_PORTS; return true;
            default: return false;
        }
    }
    if (num == ZELT_OPT_PF_BAR2_SIZE && index.i[0] < ctx.adapter.ports) {
        const uint8_t value[ZELT_OPT_PF_BAR2_SIZE_BYTES] = {ZELT_PF_BAR2_SIZE_FACTORY & 0xFF,
                                                            ZELT_PF_BAR2_SIZE_FACTORY >> 8};
        std::copy_n(value, std::min(out.size(), sizeof value), out.begin());
        return true;
    }
    return false;
}

void activate_stored_cfg_version(AdapterState& state) {
    const std::vector<uint8_t>* value = stored_value(state, ZELT_OPT_NVM_CFG_VERSION);
    if (!value || value->size() < ZELT_OPT_NVM_CFG_VERSION_BYTES) return;
    uint8_t version[3];
    zeltOptCfgVersionDecode(value->data(), version);
    state.running_cfg_version =
        std::to_string(version[0]) + "." + std::to_string(version[1]) + "." + std::to_string(version[2]);
}

}  // namespace zelt::sim
