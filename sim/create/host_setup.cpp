#include "sim/create/host_setup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <vector>

#include "sim/create/recovery_images.h"
#include "sim/factory/factory_content.h"
#include "sim/faults/faults.h"
#include "sim/flash/flash_model.h"
#include "sim/state/sim_files.h"
#include "sim/state/sim_store.h"
#include "sim/tree/host_tree.h"

namespace zelt::sim {

using nlohmann::json;

namespace {

bool read_initial_state(const json& aj, AdapterState& st, std::string& error) {
    try {
        st.temperature = static_cast<int8_t>(aj.value("temperature", 52));
        st.fw_status = aj.value("fw_status", 0u);
        st.temperature_flags = aj.value("temperature_flags", uint8_t{0});
        st.option_action_status = aj.value("option_action_status", uint8_t{0});
        st.crash_dump_length = aj.value("crash_dump_length", 0u);
        st.live_dump_length = aj.value("live_dump_length", 0u);
        if (aj.contains("options")) {
            for (const auto& o : aj.at("options")) {
                uint32_t num = o.at("num").get<uint32_t>();
                OptionIndex idx;
                if (o.contains("index")) {
                    const json& i = o.at("index");
                    if (!OptionIndex::parse(i.is_string() ? i.get<std::string>() : std::to_string(i.get<unsigned>()), idx))
                        throw std::invalid_argument("bad option index");
                }
                uint16_t bits = o.value("bits", uint16_t{8});
                if (bits == 0 || bits > 64 * 8) throw std::invalid_argument("bad option width");
                uint64_t value = o.value("value", uint64_t{0});
                std::vector<uint8_t> bytes((bits + 7u) / 8u, 0);
                for (size_t k = 0; k < bytes.size() && k < 8; ++k) bytes[k] = static_cast<uint8_t>(value >> (8 * k));
                OptionVar& var = st.options[num];
                var.bits = bits;
                var.values[idx] = bytes;
            }
        }
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

// Writes `size` erased (0xFF) bytes to the empty file `fd` in large writes: the pages
// a mapping of a hole would fault in one at a time are made in a few calls, and the
// flash's mapping then touches only the pages the items change.
bool fill_erased(int fd, uint64_t size) {
    const std::vector<uint8_t> erased(std::min<uint64_t>(size, 1u << 20), 0xFF);
    for (uint64_t done = 0; done < size;) {
        const ssize_t n = ::pwrite(fd, erased.data(), std::min<uint64_t>(erased.size(), size - done),
                                   static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<uint64_t>(n);
    }
    return true;
}

bool write_flash_image(const std::string& path, const AdapterDesc& a, const std::vector<FactoryItem>* given,
                       std::string& error) {
    int fd = open_sim_file(path, O_RDWR | O_CREAT | O_TRUNC);
    if (fd < 0 || !fill_erased(fd, a.nvm_size)) {
        error = path + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    ::close(fd);
    auto mapped = MappedFlash::open(path, error);
    if (!mapped) return false;
    std::vector<FactoryItem> built;
    if (!given && factory_items(a, built, error) != 0) {
        error = a.name + ": building the factory content failed: " + error;
        return false;
    }
    FlashModel flash(mapped->bytes());
    flash.format_erased();
    for (const FactoryItem& item : given ? *given : built) {
        uint32_t index;
        FlashStatus st = flash.write(item.type, item.ordinal, item.ext, item.attr, item.data, item.item_length, index);
        if (st != FlashStatus::ok) {
            error = a.name + ": item of type " + std::to_string(item.type) + " does not fit: " +
                    flash_status_name(st);
            return false;
        }
    }
    return true;
}

}  // namespace

bool setup_from_json(const json& j, HostSetup& setup, std::string& error) {
    HostSetup s;
    if (!host_from_json(j, s.host, error)) return false;
    if (j.contains("adapters")) {
        size_t i = 0;
        for (const auto& aj : j.at("adapters")) {
            if (!read_initial_state(aj, s.initial[s.host.adapters[i].name], error)) return false;
            ++i;
        }
    }
    for (const auto& f : s.host.faults)
        if (!check_fault(f, error)) return false;
    setup = std::move(s);
    return true;
}

HostSetup default_setup() {
    HostSetup s;
    s.host = default_host();
    return s;
}

bool create_host(const std::string& root, HostSetup setup, std::string& error) {
    namespace fs = std::filesystem;
    SimPaths paths{root};
    std::error_code ec;
    if (fs::exists(paths.description(), ec)) {
        error = root + " already holds a simulated host";
        return false;
    }
    fs::create_directories(paths.dir(), ec);
    if (ec) {
        error = paths.dir() + ": " + ec.message();
        return false;
    }
    HostDesc& host = setup.host;
    std::vector<FaultDesc> scheduled;
    for (const auto& f : host.faults) {
        if (!is_structural_fault(f.kind)) {
            scheduled.push_back(f);
        } else if (!apply_structural_fault(host, f, error)) {
            return false;
        }
    }
    host.faults = scheduled;

    RuntimeState state;
    for (const auto& a : host.adapters) {
        const auto given = setup.nvm_items.find(a.name);
        if (!write_flash_image(paths.flash(a.name), a, given == setup.nvm_items.end() ? nullptr : &given->second,
                               error))
            return false;
        AdapterState st = setup.initial.count(a.name) ? setup.initial[a.name] : AdapterState{};
        st.running_fw_version = a.fw_version;
        st.running_pkg_version = a.pkg_version;
        state.adapters[a.name] = st;
    }
    state.fault_hits.assign(host.faults.size(), 0);
    if (!render_host_tree(root, host, error)) return false;
    if (!write_recovery_images(root, host, error)) return false;
    if (!write_file_atomic(paths.state(), to_json(state).dump(1) + "\n", error)) return false;
    // The description goes last: its presence marks a complete host.
    return write_file_atomic(paths.description(), to_json(host).dump(2) + "\n", error);
}

}  // namespace zelt::sim
