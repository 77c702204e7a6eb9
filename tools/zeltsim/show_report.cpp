#include "tools/zeltsim/show_report.h"

#include <cstdarg>
#include <cstdio>

#include "common/directory_types.h"
#include "common/supported_devices.h"
#include "sim/flash/flash_model.h"
#include "sim/state/request_log.h"
#include "wire/pci_mailbox_registers.h"

namespace zelt::sim {

namespace {

void add(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void add(std::string& out, const char* format, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, format);
    int n = std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (n > 0) out.append(buf, std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

void show_adapter(SimSession& s, const AdapterDesc& a, std::string& out) {
    const AdapterState& st = s.adapter_state(a.name);
    add(out, "Adapter %s: %04x:%04x subsystem %04x:%04x, device type %u (%s), %u port(s)\n", a.name.c_str(),
        ZELT_PCI_VENDOR_ID, a.device_id, ZELT_PCI_VENDOR_ID, a.subsys_device_id, a.device_type,
        zeltnvm_device_family_name(a.device_type), a.ports);
    add(out, "  serial %s, part number %s, device serial number %016llx\n", a.vpd_serial.c_str(),
        a.part_number.c_str(), static_cast<unsigned long long>(a.dsn));
    add(out, "  firmware %s, package %s, reset pending: %s, resets: %u\n", st.running_fw_version.c_str(),
        st.running_pkg_version.c_str(), st.reset_pending ? "yes" : "no", st.reset_count);
    // What the processors run, when it is not the firmware booted from the NVM.
    switch (st.chip.boot) {
        case FirmwareBoot::nvm: break;
        case FirmwareBoot::nvm_failed: add(out, "  firmware down: the NVM boot image does not verify\n"); break;
        case FirmwareBoot::halted: add(out, "  firmware down: processors halted (health 0x%04x)\n", st.chip.health); break;
        case FirmwareBoot::recovery:
            add(out, "  running recovery image %s\n", st.chip.recovery_version.c_str());
            break;
    }
    if (st.last_install.valid)
        add(out, "  last install: type %u, result %u, problem item %u, reset required %u\n",
            st.last_install.install_type, st.last_install.result, st.last_install.problem_item,
            st.last_install.reset_required);
    FlashModel flash(s.flash(a.name));
    add(out, "  NVM %u bytes, %u free, largest free run %u\n", flash.size(), flash.free_bytes(),
        flash.largest_free_run());
    for (const auto& f : a.functions) {
        add(out, "  %s %s port %u  %-6s %-9s %s mtu %u link %s\n", f.address().c_str(), f.is_vf ? "VF" : "PF", f.port,
            f.ifname.empty() ? "-" : f.ifname.c_str(), f.driver.empty() ? "(none)" : f.driver.c_str(),
            format_mac(f.mac).c_str(), f.mtu, f.link_up ? "up" : "down");
    }
}

void show_directory(SimSession& s, const AdapterDesc& a, std::string& out) {
    FlashModel flash(s.flash(a.name));
    add(out, "NVM directory of %s (%u entries):\n", a.name.c_str(), flash.entry_count());
    if (!flash.has_directory()) {
        out += "  (no directory: the directory area is erased)\n";
        return;
    }
    add(out, "  %-4s %-5s %-14s %-4s %-4s %-6s %-10s %-10s %-10s %s\n", "Idx", "Type", "Name", "Ord", "Ext", "Attr",
        "Location", "Length", "DataLen", "Checksum");
    for (uint32_t i = 0; i < flash.entry_count(); ++i) {
        zelnvm_directory_entry_t e = flash.entry(i);
        const char* name = zeltnvmDirectoryTypeName(e.type);
        add(out, "  %-4u %-5u %-14s %-4u %-4u 0x%04x 0x%08x 0x%08x 0x%08x 0x%08x\n", i, e.type, name ? name : "-",
            e.ordinal, e.ext, e.attr, e.item_location, e.item_length, e.data_length, e.data_chksum);
    }
}

void show_options(SimSession& s, const AdapterDesc& a, std::string& out) {
    const AdapterState& st = s.adapter_state(a.name);
    add(out, "Options of %s:\n", a.name.c_str());
    if (st.options.empty()) out += "  (all at their defaults)\n";
    for (const auto& [num, var] : st.options) {
        for (const auto& [idx, bytes] : var.values)
            add(out, "  %u[%s] = %s (%u bits)\n", num, idx.key().c_str(), hex_bytes(bytes.data(), bytes.size()).c_str(),
                var.bits);
    }
}

void show_install_log(SimSession& s, const AdapterDesc& a, std::string& out) {
    FlashModel flash(s.flash(a.name));
    add(out, "Install log of %s:\n", a.name.c_str());
    int index = flash.find(ZEL_DIR_TYPE_PKG_LOG, 0, 0);
    if (index < 0) {
        out += "  (no install log item)\n";
        return;
    }
    zelnvm_directory_entry_t e = flash.entry(static_cast<uint32_t>(index));
    std::string text(e.data_length, '\0');
    if (flash.read(static_cast<uint32_t>(index), 0, {reinterpret_cast<uint8_t*>(text.data()), text.size()}) !=
        FlashStatus::ok) {
        out += "  (unreadable)\n";
        return;
    }
    while (!text.empty() && (text.back() == '\0' || text.back() == '\xff')) text.pop_back();
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        out += "  " + text.substr(pos, end - pos) + "\n";
        pos = end + 1;
    }
}

bool show_item(SimSession& s, const std::string& adapter, int index, std::string& out, std::string& error) {
    FlashModel flash(s.flash(adapter));
    if (index < 0 || static_cast<uint32_t>(index) >= flash.entry_count() || flash.entry(index).type == 0) {
        error = "no item at directory index " + std::to_string(index) + " of " + adapter;
        return false;
    }
    zelnvm_directory_entry_t e = flash.entry(static_cast<uint32_t>(index));
    std::vector<uint8_t> data(e.data_length);
    if (flash.read(static_cast<uint32_t>(index), 0, data) != FlashStatus::ok) {
        error = "item " + std::to_string(index) + " of " + adapter + " lies outside the flash";
        return false;
    }
    const char* name = zeltnvmDirectoryTypeName(e.type);
    add(out, "Item %d of %s: type %u (%s), %u data bytes\n", index, adapter.c_str(), e.type, name ? name : "-",
        e.data_length);
    for (size_t off = 0; off < data.size(); off += 16) {
        add(out, "%08zx ", off);
        std::string ascii;
        for (size_t k = off; k < off + 16; ++k) {
            if (k < data.size()) {
                add(out, " %02x", data[k]);
                ascii += (data[k] >= 0x20 && data[k] < 0x7f) ? static_cast<char>(data[k]) : '.';
            } else {
                out += "   ";
            }
        }
        out += "  " + ascii + "\n";
    }
    return true;
}

}  // namespace

bool show_report(SimSession& s, const ShowSelection& what, std::string& out, std::string& error) {
    if (what.item_index >= 0) {
        if (!s.host().find_adapter(what.item_adapter)) {
            error = "no adapter named " + what.item_adapter;
            return false;
        }
        return show_item(s, what.item_adapter, what.item_index, out, error);
    }
    bool all = !what.adapters && !what.directory && !what.options && !what.install_log && !what.faults &&
               !what.requests && !what.chips;
    const HostDesc& host = s.host();
    if (all || what.adapters) {
        add(out, "Simulated host %s: kernel %s, /dev/zelt_lfc %s, %s\n", host.hostname.c_str(),
            host.kernel_release.c_str(), host.lfc_device ? "present" : "missing",
            host.root_user ? "administrator" : "no administrative rights");
    }
    for (const auto& a : host.adapters) {
        if (all || what.adapters) show_adapter(s, a, out);
        if (all || what.directory) show_directory(s, a, out);
        if (all || what.options) show_options(s, a, out);
        if (all || what.install_log) show_install_log(s, a, out);
    }
    if (all || what.faults) {
        out += "Scheduled faults:\n";
        if (host.faults.empty()) out += "  (none)\n";
        for (size_t i = 0; i < host.faults.size(); ++i) {
            uint32_t hits = i < s.state().fault_hits.size() ? s.state().fault_hits[i] : 0;
            add(out, "  %zu: %s (matched %u times)\n", i, fault_to_json(host.faults[i]).dump().c_str(), hits);
        }
    }
    if (what.chips) {
        // What the host side left in each chip when its last BAR0 window went away.
        out += "BAR0 windows:\n";
        if (s.state().chips.empty()) out += "  (never mapped)\n";
        for (const auto& [address, c] : s.state().chips) {
            add(out, "  %s: open %u, mapped %u times, window base 0x%08x, HRTS %u HCTS %u data valid %u\n",
                address.c_str(), c.open_windows, c.windows_mapped, c.window_base,
                (c.host_ctrl & wire::bar::kCtrlHrts) ? 1u : 0u, (c.host_ctrl & wire::bar::kCtrlHcts) ? 1u : 0u,
                (c.host_ctrl & wire::bar::kCtrlDataValid) ? 1u : 0u);
        }
    }
    if (what.requests) {
        for (const auto& r : read_request_log(s.paths().root)) out += r.dump() + "\n";
    }
    return true;
}

}  // namespace zelt::sim
