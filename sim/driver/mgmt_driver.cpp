// The adapter driver's management interface: decodes the request header and the payload
// record of each callback as the driver would receive them, answers from the same
// firmware, flash and state as the other drivers, logs what arrived and saves the state.
#include <algorithm>
#include <cstring>
#include <vector>

#include "sim/driver/sim_devices.h"
#include "sim/faults/faults.h"
#include "sim/firmware/firmware.h"
#include "sim/state/request_log.h"
#include "sim/tree/config_space.h"
#include "wire/ethtool_nvm.h"
#include "wire/hwrm_header.h"
#include "wire/mgmt_callbacks.h"

namespace zelt::sim {

namespace mgmt = wire::mgmt;

namespace {

// A copy of a field of a packed wire record: the fields may sit at any address, so they
// are never bound to a reference (as the JSON log's assignment would).
template <typename T>
T field_value(T value) {
    return value;
}

template <size_t N>
void put_text(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

uint16_t get16(const std::vector<uint8_t>& c, size_t at) { return static_cast<uint16_t>(c[at] | (c[at + 1] << 8)); }

struct Call {
    SimSession& session;
    FunctionRef ref;
    FirmwareContext ctx;
    nlohmann::json& log;
    void* payload;
    size_t size;

    template <class Payload>
    Payload* as() const {
        return size == sizeof(Payload) ? static_cast<Payload*>(payload) : nullptr;
    }
};

// The interfaces of the driver, in PCI address order.
uint32_t list_interfaces(HostDesc& host, void* payload, size_t size) {
    if (size != sizeof(mgmt::InterfaceListPayload)) return mgmt::kStatusFailure;
    auto* list = static_cast<mgmt::InterfaceListPayload*>(payload);
    std::vector<const FunctionDesc*> found;
    for (const auto& a : host.adapters)
        for (const auto& f : a.functions)
            if (!f.ifname.empty() && f.driver == kEthernetDriver) found.push_back(&f);
    std::sort(found.begin(), found.end(), [](const FunctionDesc* x, const FunctionDesc* y) {
        return x->address() < y->address();
    });
    std::memset(list, 0, sizeof *list);
    for (const FunctionDesc* f : found) {
        if (list->count >= mgmt::kMaxInterfaces) break;
        put_text(list->names[list->count++], f->ifname);
    }
    return mgmt::kStatusOk;
}

uint32_t driver_info(Call& c) {
    auto* p = c.as<mgmt::DriverInfoPayload>();
    if (!p) return mgmt::kStatusFailure;
    put_text(p->driver_name, ZELT_EN_DRIVER_NAME);
    put_text(p->driver_version, kSimDriverVersion);
    put_text(p->fw_version, driver_firmware_version_text(c.ctx.state));
    return mgmt::kStatusOk;
}

uint32_t link_info(Call& c) {
    auto* p = c.as<mgmt::LinkInfoPayload>();
    if (!p) return mgmt::kStatusFailure;
    const FunctionDesc& f = *c.ref.function;
    p->link_up = f.link_up ? 1 : 0;
    p->speed_mbps = f.link_speed * 100u;
    p->mtu = f.mtu;
    p->duplex = 1;
    return mgmt::kStatusOk;
}

uint32_t nic_info(Call& c) {
    auto* p = c.as<mgmt::NicInfoPayload>();
    if (!p) return mgmt::kStatusFailure;
    const AdapterDesc& a = *c.ref.adapter;
    const FunctionDesc& f = *c.ref.function;
    const std::vector<uint8_t> cfg = build_config_space(a, f);
    p->vendor_id = get16(cfg, 0x00);
    p->device_id = get16(cfg, 0x02);
    p->subsys_vendor_id = get16(cfg, 0x2C);
    p->subsys_id = get16(cfg, 0x2E);
    p->revision = cfg[0x08];
    p->domain = f.domain;
    p->bus = f.bus;
    p->device = f.dev;
    p->function = f.func;
    p->flags = static_cast<uint8_t>((f.is_vf ? 0 : mgmt::kNicFlagPhysical) | mgmt::kNicFlagDriverActive);
    p->pcie_link_status = get16(cfg, kPcieCapOffset + 0x12);
    std::memcpy(p->mac, f.mac.data(), 6);
    std::memcpy(p->permanent_mac, f.mac.data(), 6);
    p->vfs_total = static_cast<uint16_t>(f.total_vfs);
    p->vfs_active = static_cast<uint16_t>(f.num_vfs);
    return mgmt::kStatusOk;
}

uint32_t dir_info(Call& c) {
    auto* p = c.as<mgmt::DirInfoPayload>();
    if (!p) return mgmt::kStatusFailure;
    p->entries = c.ctx.flash.entry_count();
    p->entry_length = directory_entry_length(c.ctx);
    return mgmt::kStatusOk;
}

uint32_t dir_entries(Call& c) {
    auto* p = c.as<mgmt::DirEntriesPayload>();
    if (!p) return mgmt::kStatusFailure;
    const std::vector<uint8_t> raw = directory_answer(c.ctx, c.ctx.flash.raw_directory());
    c.log["length"] = field_value(p->length);
    if (p->length != raw.size() || raw.size() > sizeof p->entries) return mgmt::kStatusFailure;
    std::memcpy(p->entries, raw.data(), raw.size());
    return mgmt::kStatusOk;
}

uint32_t item_read(Call& c) {
    auto* p = c.as<mgmt::ItemReadPayload>();
    if (!p) return mgmt::kStatusFailure;
    c.log["index"] = field_value(p->index);
    c.log["offset"] = field_value(p->offset);
    c.log["len"] = field_value(p->length);
    if (p->length == 0 || p->length > mgmt::kItemPiece) return mgmt::kStatusFailure;
    if (c.ctx.flash.read(p->index, p->offset, {p->data, p->length}) != FlashStatus::ok) return mgmt::kStatusFailure;
    return mgmt::kStatusOk;
}

uint32_t item_erase(Call& c) {
    auto* p = c.as<mgmt::ItemErasePayload>();
    if (!p) return mgmt::kStatusFailure;
    c.log["index"] = field_value(p->index);
    return c.ctx.flash.erase_entry(p->index) == FlashStatus::ok ? mgmt::kStatusOk : mgmt::kStatusFailure;
}

uint32_t item_create(Call& c) {
    auto* p = c.as<mgmt::ItemCreatePayload>();
    if (!p) return mgmt::kStatusFailure;
    c.log["type"] = field_value(p->type);
    c.log["item_length"] = field_value(p->item_length);
    uint32_t index = 0;
    if (p->type == 0 || p->type == 0xFFFF) return mgmt::kStatusFailure;
    if (c.ctx.flash.create(p->type, p->ordinal, p->ext, p->attr, p->item_length, index) != FlashStatus::ok)
        return mgmt::kStatusFailure;
    mgmt::set_created_index(*p, index);
    return mgmt::kStatusOk;
}

// A piece at offset 0 starts the item's data anew; each later piece continues it.
uint32_t item_write(Call& c) {
    auto* p = c.as<mgmt::ItemWritePayload>();
    if (!p) return mgmt::kStatusFailure;
    c.log["index"] = field_value(p->index);
    c.log["offset"] = field_value(p->offset);
    c.log["len"] = field_value(p->length);
    FlashModel& flash = c.ctx.flash;
    if (p->length == 0 || p->length > mgmt::kItemPiece || p->index >= flash.entry_count()) return mgmt::kStatusFailure;
    const zelnvm_directory_entry_t e = flash.entry(p->index);
    if (e.type == 0 || (p->offset != 0 && p->offset != e.data_length)) return mgmt::kStatusFailure;
    std::vector<uint8_t> data(p->offset + static_cast<size_t>(p->length));
    if (p->offset != 0 && flash.read(p->index, 0, {data.data(), p->offset}) != FlashStatus::ok)
        return mgmt::kStatusFailure;
    std::memcpy(data.data() + p->offset, p->data, p->length);
    uint32_t index = 0;
    const FlashStatus st = flash.write(e.type, e.ordinal, e.ext, e.attr, data, e.item_length, index);
    return st == FlashStatus::ok ? mgmt::kStatusOk : mgmt::kStatusFailure;
}

uint32_t install(Call& c, const FaultDesc* refused) {
    auto* p = c.as<mgmt::InstallPayload>();
    if (!p) return mgmt::kStatusFailure;
    c.log["install_type"] = field_value(p->install_type);
    c.log["flags"] = field_value(p->flags);
    if (refused) {
        p->error_code = refused->error_code;
        p->cmd_err = refused->cmd_err;
        return mgmt::kStatusFirmwareRefused;
    }
    InstallResult r;
    const uint8_t cmd_err = firmware_install_staged(c.ctx, p->install_type, p->flags, r);
    if (cmd_err != 0) {
        p->error_code = 1;
        p->cmd_err = cmd_err;
        return mgmt::kStatusFirmwareRefused;
    }
    p->result = r.result;
    p->reboot_needed = r.reset_required;
    return mgmt::kStatusOk;
}

uint32_t set_time(Call& c) {
    auto* p = c.as<mgmt::SetTimePayload>();
    if (!p) return mgmt::kStatusFailure;
    if (p->year < 1970 || p->month < 1 || p->month > 12 || p->day < 1 || p->day > 31 || p->hour > 23 ||
        p->minute > 59 || p->second > 60)
        return mgmt::kStatusFailure;
    c.log["year"] = field_value(p->year);
    c.ctx.state.fw_time_year = p->year;
    c.ctx.state.fw_time_seconds = ((p->month * 31u + p->day) * 24u + p->hour) * 3600u + p->minute * 60u + p->second;
    return mgmt::kStatusOk;
}

uint32_t fw_counters(Call& c) {
    auto* p = c.as<mgmt::FwCountersPayload>();
    if (!p) return mgmt::kStatusFailure;
    p->reset_counter = c.ctx.state.reset_count;
    p->err_recovery_counter = c.ctx.state.error_recovery_count;
    return mgmt::kStatusOk;
}

// A firmware message through a passthrough record: its data buffer is mapped for the
// device and its bus address written into the request where the record says.
template <class Record>
uint32_t passthrough(Call& c) {
    auto* p = c.as<Record>();
    if (!p) return mgmt::kStatusFailure;
    c.log["req_type"] = field_value(p->req_type);
    c.log["timeout"] = field_value(p->timeout_ms);
    c.log["len_req"] = field_value(p->request_size);
    c.log["num_ind"] = field_value(p->num_indications);
    if (p->num_indications) {
        c.log["data_length"] = field_value(p->data_length);
        c.log["direction"] = field_value(p->direction);
    }
    if (p->request_size < sizeof(hwrm_input_header) || p->request_size > mgmt::kHwrmRequestBytes ||
        p->response_size < sizeof(hwrm_err_output) || p->response_size > mgmt::kHwrmResponseBytes || p->one != 1)
        return mgmt::kStatusFailure;
    std::vector<uint8_t> request(p->request, p->request + p->request_size);
    std::vector<uint8_t> response(p->response_size, 0);
    DmaMap map;
    std::vector<uint8_t> copy;
    if (p->num_indications) {
        if (p->num_indications != 1 || p->data_length > Record::kDataBytes ||
            p->dma_offset < sizeof(hwrm_input_header) || p->dma_offset + sizeof(uint64_t) > request.size())
            return mgmt::kStatusFailure;
        copy.assign(p->data, p->data + p->data_length);
        const uint64_t bus = map.map(copy);
        std::memcpy(request.data() + p->dma_offset, &bus, sizeof bus);
    }
    const uint64_t response_bus = map.map_response(response);
    std::memcpy(request.data() + offsetof(hwrm_input_header, resp_addr), &response_bus, sizeof response_bus);

    uint16_t req_type;
    std::memcpy(&req_type, request.data(), sizeof req_type);
    const FaultDesc* fault = match_message_fault(c.session, *c.ref.adapter, *c.ref.function, req_type);
    auto time_out = [&] {
        c.session.state().clock_offset_us += int64_t{p->timeout_ms} * 1000;
        return mgmt::kStatusFailure;
    };
    if (fault && fault->kind == "hwrm_error") {
        firmware_error_answer(request, response, fault->error_code, fault->cmd_err);
    } else if (fault) {
        return time_out();
    } else if (firmware_restarting(c.ctx) || c.ctx.flash.size() == 0) {
        return time_out();
    } else {
        firmware_answer(c.ctx, request, response, map);
        uint16_t resp_len = 0;
        std::memcpy(&resp_len, response.data() + offsetof(hwrm_output_header, resp_len), sizeof resp_len);
        if (resp_len == 0) return time_out();
    }
    std::memcpy(p->response, response.data(), response.size());
    if (p->num_indications) std::memcpy(p->data, copy.data(), copy.size());
    uint16_t error_code;
    std::memcpy(&error_code, response.data(), sizeof error_code);
    return error_code == 0 ? mgmt::kStatusOk : mgmt::kStatusFirmwareRefused;
}

}  // namespace

int mgmt_callback(const std::string& root, uint32_t number, void* header_ptr, size_t header_size, void* payload,
                  size_t payload_size) {
    if (!header_ptr || header_size != sizeof(mgmt::RequestHeader) || !payload) return -1;
    auto* header = static_cast<mgmt::RequestHeader*>(header_ptr);
    if (header->callback != number) return -1;
    std::string error;
    auto session = SimSession::open(root, error);
    if (!session) return -1;
    const std::string ifname(header->ifname, strnlen(header->ifname, sizeof header->ifname));
    nlohmann::json log{{"channel", "mgmt"}, {"callback", number}, {"ifname", ifname}, {"payload_size", payload_size}};
    int rc = 0;
    if (number == mgmt::kCbInterfaces) {
        const FaultDesc* fault = match_mgmt_fault(*session, nullptr, nullptr, number);
        if (fault && fault->kind == "mgmt_callback_fails") {
            rc = -1;
        } else if (fault) {
            header->status = mgmt::kStatusUnknownCallback;
        } else {
            header->status = list_interfaces(session->host(), payload, payload_size);
        }
    } else if (FunctionRef ref = find_interface(session->host(), ifname); !ref) {
        header->status = mgmt::kStatusFailure;
    } else {
        const AdapterDesc& adapter = *ref.adapter;
        log["function"] = ref.function->address();
        Call call{*session, ref,
                  FirmwareContext{adapter, *ref.function, session->adapter_state(adapter.name),
                                  session->flash_model(adapter.name), session->now_us(),
                                  &session->host().faults},
                  log, payload, payload_size};
        const FaultDesc* fault = match_mgmt_fault(*session, ref.adapter, ref.function, number);
        if (fault && fault->kind == "mgmt_callback_fails") {
            rc = -1;
        } else if (fault && fault->kind == "mgmt_unknown_callback") {
            header->status = mgmt::kStatusUnknownCallback;
        } else {
            const FaultDesc* refused = fault && fault->kind == "mgmt_install_refused" ? fault : nullptr;
            switch (number) {
                case mgmt::kCbDriverInfo: header->status = driver_info(call); break;
                case mgmt::kCbLinkInfo: header->status = link_info(call); break;
                case mgmt::kCbNicInfo: header->status = nic_info(call); break;
                case mgmt::kCbDirInfo: header->status = dir_info(call); break;
                case mgmt::kCbDirEntries: header->status = dir_entries(call); break;
                case mgmt::kCbItemRead: header->status = item_read(call); break;
                case mgmt::kCbItemErase: header->status = item_erase(call); break;
                case mgmt::kCbItemCreate: header->status = item_create(call); break;
                case mgmt::kCbItemWrite: header->status = item_write(call); break;
                case mgmt::kCbInstall: header->status = install(call, refused); break;
                case mgmt::kCbSetTime: header->status = set_time(call); break;
                case mgmt::kCbFwCounters: header->status = fw_counters(call); break;
                case mgmt::kCbHwrm: header->status = passthrough<mgmt::HwrmPayload>(call); break;
                case mgmt::kCbHwrmV0: header->status = passthrough<mgmt::HwrmV0Payload>(call); break;
                default: header->status = mgmt::kStatusUnknownCallback; break;
            }
        }
    }
    log["status"] = header->status;
    if (rc != 0) log["call_status"] = rc;
    append_request_log(session->paths(), log);
    std::string save_error;
    if (!session->save(save_error) && rc == 0 && header->status == mgmt::kStatusOk) header->status = mgmt::kStatusFailure;
    return rc;
}

}  // namespace zelt::sim
