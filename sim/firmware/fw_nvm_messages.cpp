// NVM messages: directory, item read/modify/write, raw block fill, defragmentation,
// flush, staged installation, directory search, configuration variables.
#include <algorithm>
#include <cstring>

#include "sim/firmware/fw_exchange.h"
#include "sim/firmware/option_values.h"
#include "wire/hwrm_factory_defaults.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"
#include "wire/hwrm_query.h"

namespace zelt::sim {

namespace {

// Attribute bits an item may carry: no checksum, property stream, IPv4, IPv6, trailer.
constexpr uint16_t kKnownAttributes = 0x001F;

// Answers a refused item allocation with the cmd_err the host maps to its results.
void allocation_error(Exchange& ex, FlashStatus st) {
    switch (st) {
        case FlashStatus::fragmented: ex.error(kFwErrNoResources, HWRM_NVM_WRITE_CMD_ERR_FRAG_ERR); break;
        case FlashStatus::no_space:
        case FlashStatus::directory_full: ex.error(kFwErrNoResources, HWRM_NVM_WRITE_CMD_ERR_NO_SPACE); break;
        case FlashStatus::no_directory: ex.error(kFwErrFail); break;
        default: ex.error(kFwErrInvalidParams); break;
    }
}

void get_dir_info(FirmwareContext& ctx, Exchange& ex) {
    hwrm_nvm_get_dir_info_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    hwrm_nvm_get_dir_info_output out{};
    out.entries = ctx.flash.entry_count();
    out.entry_length = directory_entry_length(ctx);
    ex.answer(out);
}

// A "dir_length" fault: the directory answer claims `value` bytes of data and room for
// the items of its directory type, whatever the flash holds.
void apply_length_faults(const FirmwareContext& ctx, std::vector<uint8_t>& dir) {
    if (!ctx.faults) return;
    for (const FaultDesc& f : *ctx.faults) {
        if (f.kind != "dir_length") continue;
        if (!f.adapter.empty() && f.adapter != ctx.adapter.name) continue;
        if (!f.function.empty() && f.function != ctx.function.address() && f.function != ctx.function.ifname) continue;
        for (size_t at = 0; at + FlashModel::kEntryLength <= dir.size(); at += FlashModel::kEntryLength) {
            zelnvm_directory_entry_t e;
            std::memcpy(&e, dir.data() + at, sizeof e);
            if (e.type == 0 || (f.dir_type >= 0 && e.type != f.dir_type)) continue;
            e.item_length = f.value;
            e.data_length = f.value;
            std::memcpy(dir.data() + at, &e, sizeof e);
        }
    }
}

void get_dir_entries(FirmwareContext& ctx, Exchange& ex) {
    hwrm_nvm_get_dir_entries_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    std::vector<uint8_t> flash_dir = ctx.flash.raw_directory();
    apply_length_faults(ctx, flash_dir);
    const std::vector<uint8_t> dir = directory_answer(ctx, std::move(flash_dir));
    // The caller's buffer may be larger than the directory.
    std::span<uint8_t> buf =
        ex.dma_at(offsetof(hwrm_nvm_get_dir_entries_input, host_dest_addr), dir.size(), /*exact=*/false);
    if (buf.size() != dir.size()) return ex.error(kFwErrInvalidParams);
    std::copy(dir.begin(), dir.end(), buf.begin());
    hwrm_nvm_get_dir_entries_output out{};
    ex.answer(out);
}

void nvm_read(FirmwareContext& ctx, Exchange& ex) {
    hwrm_nvm_read_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_0) || !reserved_clear(in.unused_1) || in.len == 0)
        return ex.error(kFwErrInvalidParams);
    std::span<uint8_t> buf = ex.dma_at(offsetof(hwrm_nvm_read_input, host_dest_addr), in.len);
    if (buf.size() != in.len) return ex.error(kFwErrInvalidParams);
    if (ctx.flash.read(in.dir_idx, in.offset, buf) != FlashStatus::ok) return ex.error(kFwErrInvalidParams);
    hwrm_nvm_read_output out{};
    ex.answer(out);
}

void nvm_modify(FirmwareContext& ctx, Exchange& ex) {
    hwrm_nvm_modify_input in;
    // No modify flags are defined: a set one asks for something this firmware cannot do.
    if (!ex.request(in) || in.flags != 0 || !reserved_clear(in.unused_0) || in.len == 0)
        return ex.error(kFwErrInvalidParams);
    std::span<uint8_t> buf = ex.source_at(offsetof(hwrm_nvm_modify_input, host_src_addr), in.len);
    if (buf.size() != in.len) return ex.error(kFwErrInvalidParams);
    if (ctx.flash.modify(in.dir_idx, in.offset, buf) != FlashStatus::ok) return ex.error(kFwErrInvalidParams);
    hwrm_nvm_modify_output out{};
    ex.answer(out);
}

void nvm_write(FirmwareContext& ctx, Exchange& ex) {
    hwrm_nvm_write_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_0)) return ex.error(kFwErrInvalidParams);
    if (in.dir_type == 0 || in.dir_type == 0xFFFF || (in.dir_attr & ~kKnownAttributes) != 0)
        return ex.error(kFwErrInvalidParams);
    uint32_t index = 0;
    FlashStatus st;
    if (!ex.names_source(offsetof(hwrm_nvm_write_input, host_src_addr), in.dir_data_length)) {
        // A creation replaces an item of the same type, ordinal and ext with an empty one
        // of the asked size; it never leaves two entries that a lookup cannot tell apart.
        if (ctx.flash.find(in.dir_type, in.dir_ordinal, in.dir_ext) >= 0)
            st = ctx.flash.write(in.dir_type, in.dir_ordinal, in.dir_ext, in.dir_attr, {}, in.dir_item_length, index);
        else
            st = ctx.flash.create(in.dir_type, in.dir_ordinal, in.dir_ext, in.dir_attr, in.dir_item_length, index);
    } else {
        std::span<uint8_t> buf = ex.source_at(offsetof(hwrm_nvm_write_input, host_src_addr), in.dir_data_length);
        if (buf.size() != in.dir_data_length) return ex.error(kFwErrInvalidParams);
        st = ctx.flash.write(in.dir_type, in.dir_ordinal, in.dir_ext, in.dir_attr, buf, in.dir_item_length, index);
    }
    if (st != FlashStatus::ok) return allocation_error(ex, st);
    hwrm_nvm_write_output out{};
    out.dir_item_length = ctx.flash.entry(index).item_length;
    out.dir_idx = static_cast<uint16_t>(index);
    ex.answer(out);
}

void raw_write_blk(FirmwareContext& ctx, Exchange& ex) {
    hwrm_nvm_raw_write_blk_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    std::span<uint8_t> buf = ex.source_at(offsetof(hwrm_nvm_raw_write_blk_input, host_src_addr), in.len);
    if (buf.size() != in.len) return ex.error(kFwErrInvalidParams);
    if (ctx.flash.raw_write(in.dest_addr, buf) != FlashStatus::ok) return ex.error(kFwErrInvalidParams);
    hwrm_nvm_raw_write_blk_output out{};
    ex.answer(out);
}

void defrag(FirmwareContext& ctx, Exchange& ex) {
    hwrm_nvm_defrag_input in;
    if (!ex.request(in) || (in.flags & ~HWRM_NVM_DEFRAG_FLAGS_DEFRAG) != 0 || !reserved_clear(in.unused_0))
        return ex.error(kFwErrInvalidParams);
    if (in.flags & HWRM_NVM_DEFRAG_FLAGS_DEFRAG) {
        if (ctx.flash.defragment() != FlashStatus::ok) return ex.error(kFwErrFail);
    }
    hwrm_nvm_defrag_output out{};
    ex.answer(out);
}

void flush(FirmwareContext& ctx, Exchange& ex) {
    hwrm_nvm_flush_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    ctx.state.flush_count++;
    // The values set since the last flush go into the NVM, where they wait for a reboot.
    if (!ctx.state.unflushed_options.empty()) ctx.state.option_action_status = 2;
    for (auto& [num, var] : ctx.state.unflushed_options) {
        OptionVar& stored = ctx.state.options[num];
        stored.bits = var.bits;
        for (auto& [index, value] : var.values) stored.values[index] = std::move(value);
    }
    ctx.state.unflushed_options.clear();
    hwrm_nvm_flush_output out{};
    ex.answer(out);
}

void install_update(FirmwareContext& ctx, Exchange& ex) {
    hwrm_nvm_install_update_input in;
    if (!ex.request(in) || (in.flags & ~HWRM_NVM_INSTALL_UPDATE_FLAGS_ALLOWED_TO_DEFRAG) != 0 ||
        !reserved_clear(in.unused_0))
        return ex.error(kFwErrInvalidParams);
    InstallResult r;
    if (uint8_t cmd_err = firmware_install_staged(ctx, in.install_type, in.flags, r)) return ex.error(kFwErrFail, cmd_err);
    hwrm_nvm_install_update_output out{};
    out.installed_items[0] = r.installed_items[0];
    out.installed_items[1] = r.installed_items[1];
    out.result = r.result;
    out.problem_item = r.problem_item;
    out.reset_required = r.reset_required;
    ex.answer(out);
}

void find_dir_entry(FirmwareContext& ctx, Exchange& ex) {
    hwrm_nvm_find_dir_entry_input in;
    if (!ex.request(in) || (in.enables & ~1u) != 0 || !reserved_clear(in.unused_0))
        return ex.error(kFwErrInvalidParams);
    int index;
    if (in.enables & 1) {  // search by index
        index = in.dir_idx < ctx.flash.entry_count() && ctx.flash.entry(in.dir_idx).type != 0 ? in.dir_idx : -1;
    } else {
        index = ctx.flash.find(in.dir_type, in.dir_ordinal, in.dir_ext);
    }
    if (index < 0) return ex.error(kFwErrNotFound);
    zelnvm_directory_entry_t e = ctx.flash.entry(static_cast<uint32_t>(index));
    hwrm_nvm_find_dir_entry_output out{};
    out.dir_item_length = e.item_length;
    out.dir_data_length = e.data_length;
    out.dir_ordinal = e.ordinal;
    out.dir_idx = static_cast<uint16_t>(index);
    ex.answer(out);
}

bool option_exists(const FirmwareContext& ctx, uint16_t num) {
    const auto& missing = ctx.adapter.missing_options;
    return num != 0 && std::find(missing.begin(), missing.end(), num) == missing.end();
}

template <class In>
OptionIndex option_index(const In& in) {
    OptionIndex idx;
    if (in.dimensions > 0) {
        idx.i[0] = in.index_0;
        idx.i[1] = in.index_1;
        idx.i[2] = in.index_2;
        idx.i[3] = in.index_3;
    }
    return idx;
}

// The value set at `index` of option `num` in `options`, or nullptr.
const std::vector<uint8_t>* option_value_set(const std::map<uint32_t, OptionVar>& options, uint32_t num,
                                             const OptionIndex& index) {
    const auto var = options.find(num);
    if (var == options.end()) return nullptr;
    const auto value = var->second.values.find(index);
    return value == var->second.values.end() ? nullptr : &value->second;
}

void get_variable(FirmwareContext& ctx, Exchange& ex) {
    hwrm_nvm_get_variable_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (!option_exists(ctx, in.option_num)) return ex.error(kFwErrInvalidParams, HWRM_NVM_VARIABLE_CMD_ERR_VAR_NOT_EXIST);
    size_t bytes = (in.data_len + 7u) / 8u;
    if (bytes == 0) return ex.error(kFwErrInvalidParams);
    std::span<uint8_t> buf = ex.dma_at(offsetof(hwrm_nvm_get_variable_input, dest_data_addr), bytes);
    if (buf.size() != bytes) return ex.error(kFwErrInvalidParams);
    std::fill(buf.begin(), buf.end(), 0);
    const std::vector<uint8_t>* value = option_value_set(ctx.state.unflushed_options, in.option_num, option_index(in));
    if (!value) value = option_value_set(ctx.state.options, in.option_num, option_index(in));
    if (value)
        std::copy_n(value->begin(), std::min(bytes, value->size()), buf.begin());
    else
        option_initial_value(ctx, in.option_num, option_index(in), buf);
    hwrm_nvm_get_variable_output out{};
    out.data_len = in.data_len;
    out.option_num = in.option_num;
    ex.answer(out);
}

void set_variable(FirmwareContext& ctx, Exchange& ex) {
    hwrm_nvm_set_variable_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (!option_exists(ctx, in.option_num)) return ex.error(kFwErrInvalidParams, HWRM_NVM_VARIABLE_CMD_ERR_VAR_NOT_EXIST);
    size_t bytes = (in.data_len + 7u) / 8u;
    if (bytes == 0) return ex.error(kFwErrInvalidParams);
    std::span<uint8_t> buf = ex.source_at(offsetof(hwrm_nvm_set_variable_input, src_data_addr), bytes);
    if (buf.size() != bytes) return ex.error(kFwErrInvalidParams);
    OptionVar& var = ctx.state.unflushed_options[in.option_num];
    var.bits = in.data_len;
    var.values[option_index(in)] = std::vector<uint8_t>(buf.begin(), buf.end());
    hwrm_nvm_set_variable_output out{};
    ex.answer(out);
}

// Every option set since the factory goes; the description's values take over again
// once the system reboots.
void factory_defaults(FirmwareContext& ctx, Exchange& ex) {
    hwrm_nvm_factory_defaults_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (in.mode != HWRM_NVM_FACTORY_DEFAULTS_MODE_RESTORE) return ex.error(kFwErrInvalidParams);
    ctx.state.options.clear();
    ctx.state.unflushed_options.clear();
    ctx.state.option_action_status = 2;
    hwrm_nvm_factory_defaults_output out{};
    out.result = HWRM_NVM_FACTORY_DEFAULTS_RESULT_RESTORED;
    ex.answer(out);
}

void get_dev_info(FirmwareContext& ctx, Exchange& ex) {
    hwrm_nvm_get_dev_info_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    hwrm_nvm_get_dev_info_output out{};
    out.manufacturer_id = 0x00C2;
    out.device_id = 0x2018;
    out.sector_size = FlashModel::kBlock;
    out.nvram_size = ctx.flash.size();
    out.reserved_size = FlashModel::kDirectoryBytes;
    out.available_size = ctx.flash.free_bytes();
    const std::array<uint8_t, 3> cfg = running_cfg_version(ctx);
    out.nvm_cfg_ver_maj = cfg[0];
    out.nvm_cfg_ver_min = cfg[1];
    out.nvm_cfg_ver_upd = cfg[2];
    ex.answer(out);
}

}  // namespace

uint32_t directory_entry_length(const FirmwareContext& ctx) {
    return ctx.adapter.dir_entry_length != 0 ? ctx.adapter.dir_entry_length : FlashModel::kEntryLength;
}

std::vector<uint8_t> directory_answer(const FirmwareContext& ctx, std::vector<uint8_t> flash_directory) {
    const uint32_t length = directory_entry_length(ctx);
    if (length == FlashModel::kEntryLength) return flash_directory;
    return restride_directory(flash_directory, ctx.flash.entry_count(), FlashModel::kEntryLength, length);
}

bool answer_nvm_message(FirmwareContext& ctx, Exchange& ex) {
    switch (ex.req_type()) {
        case HWRM_NVM_GET_DIR_INFO: get_dir_info(ctx, ex); return true;
        case HWRM_NVM_GET_DIR_ENTRIES: get_dir_entries(ctx, ex); return true;
        case HWRM_NVM_READ: nvm_read(ctx, ex); return true;
        case HWRM_NVM_MODIFY: nvm_modify(ctx, ex); return true;
        case HWRM_NVM_WRITE: nvm_write(ctx, ex); return true;
        case HWRM_NVM_RAW_WRITE_BLK: raw_write_blk(ctx, ex); return true;
        case HWRM_NVM_DEFRAG: defrag(ctx, ex); return true;
        case HWRM_NVM_FLUSH: flush(ctx, ex); return true;
        case HWRM_NVM_INSTALL_UPDATE: install_update(ctx, ex); return true;
        case HWRM_NVM_FIND_DIR_ENTRY: find_dir_entry(ctx, ex); return true;
        case HWRM_NVM_GET_VARIABLE: get_variable(ctx, ex); return true;
        case HWRM_NVM_SET_VARIABLE: set_variable(ctx, ex); return true;
        case HWRM_NVM_FACTORY_DEFAULTS: factory_defaults(ctx, ex); return true;
        case HWRM_NVM_GET_DEV_INFO: get_dev_info(ctx, ex); return true;
        default: return false;
    }
}

}  // namespace zelt::sim
