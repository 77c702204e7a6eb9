#include "transport/mgmt_channel.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <vector>

#include "common/directory_entry.h"
#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "host/host.h"
#include "log/print.h"
#include "transport/answer_text.h"
#include "transport/function.h"
#include "transport/hwrm_channel.h"
#include "transport/mgmt_calls.h"
#include "wire/hwrm_answer.h"
#include "wire/hwrm_header.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"
#include "wire/mgmt_callbacks.h"

namespace zelt::transport {

namespace mgmt = wire::mgmt;

namespace {

Result interface_failure() { return Result::tool(HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE); }

uint16_t request_type(const Message& m) {
    uint16_t type = 0;
    if (m.req_len >= sizeof type) std::memcpy(&type, m.req, sizeof type);
    return le16_to_cpu(type);
}

HwrmAnswerStatus answer_status(const Message& m) {
    HwrmAnswerStatus status;
    (void)hwrmDecodeStatus({static_cast<const uint8_t*>(m.resp), m.resp_len}, status);
    return status;
}

// A payload record on the heap, zero-filled; null when memory ran out.
template <class Payload>
std::unique_ptr<Payload> new_payload() {
    return std::unique_ptr<Payload>(new (std::nothrow) Payload());
}

// One firmware message through a passthrough record (callback 53 or its first revision,
// 46). `fell_back` tells the caller that the driver did not take the request (the call
// or its status failed and the answer holds no error code).
template <class Record>
Result passthrough(host::MgmtLibrary& library, const Function& fn, const Message& m, uint32_t callback,
                   uint32_t timeout_ms, bool& not_taken) {
    not_taken = false;
    const bool transfer = m.data && m.data->data && m.data->length > 0;
    // The data area is the record's: a longer transfer never reaches it.
    if (transfer && m.data->length > Record::kDataBytes) return Result::tool(HVXRETVAL_INVALID_LENGTH);
    if (m.req_len > mgmt::kHwrmRequestBytes) return Result::tool(HVXRETVAL_INVALID_LENGTH);
    MgmtSession session(library);
    if (!session.is_open()) return session.open_result();
    auto record = new_payload<Record>();
    if (!record) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to allocate Memory.\n");
        return Result::tool(HVXRETVAL_MALLOC_FAILURE);
    }
    const uint32_t resp_len = std::min<uint32_t>(m.resp_len, mgmt::kHwrmResponseBytes);
    std::memcpy(record->request, m.req, m.req_len);
    std::memcpy(record->response, m.resp, resp_len);
    record->request_size = m.req_len;
    record->response_size = resp_len;
    record->timeout_ms = timeout_ms;
    record->req_type = request_type(m);
    record->one = 1;
    if (transfer) {
        record->num_indications = 1;
        record->data_length = m.data->length;
        record->dma_offset = m.data->offset;
        record->direction = m.data->direction;
        if (m.data->direction != mgmt::kDirectionDeviceToHost)
            std::memcpy(record->data, m.data->data, m.data->length);
    }
    const MgmtSession::Outcome outcome = session.invoke(fn.name, callback, *record);
    // The answer comes back with the length the driver left, never past the caller's record.
    const uint32_t answered = record->response_size;  // a copy of a packed field
    std::memcpy(m.resp, record->response, std::min(resp_len, answered));
    const HwrmAnswerStatus status = answer_status(m);
    if (outcome.ok()) {
        if (transfer) std::memcpy(m.data->data, record->data, m.data->length);
        if (status.error_code == 0) return Result();
        return hwrm_error_result(request_type(m), status.error_code, status.cmd_err, 0, false);
    }
    if (status.error_code != 0) return hwrm_error_result(request_type(m), status.error_code, status.cmd_err, 0, false);
    not_taken = true;
    if (callback == mgmt::kCbHwrmV0)
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                      "VMWare Callback V0 failed with driver status = %d  and CallBack Status = %d\n",
                      static_cast<int>(outcome.driver), outcome.call);
    return Result::tool(HVXRETVAL_FAILURE);
}

// A success answer of a directory message, framed as the firmware frames it.
void frame_answer(const Message& m, size_t record_size) {
    auto* hdr = static_cast<hwrm_output_header*>(m.resp);
    const auto* req = static_cast<const hwrm_input_header*>(m.req);
    hdr->error_code = 0;
    hdr->req_type = req->req_type;
    hdr->seq_id = req->seq_id;
    hdr->resp_len = cpu_to_le16(static_cast<uint16_t>(record_size));
    static_cast<uint8_t*>(m.resp)[record_size - 1] = 1;  // valid
}

Result dir_info(host::MgmtLibrary& library, const Function& fn, mgmt::DirInfoPayload& info) {
    MgmtSession session(library);
    if (!session.is_open()) return session.open_result();
    info = {};
    if (!session.invoke(fn.name, mgmt::kCbDirInfo, info).ok()) return interface_failure();
    return Result();
}

// The raw directory entries into `out` (at most `room` bytes).
Result dir_entries(host::MgmtLibrary& library, const Function& fn, uint8_t* out, uint32_t room, uint32_t& count,
                   uint32_t& entry_length) {
    mgmt::DirInfoPayload info;
    Result rc = dir_info(library, fn, info);
    if (!rc.ok()) return rc;
    count = info.entries;
    entry_length = info.entry_length;
    const uint64_t length = static_cast<uint64_t>(info.entries) * info.entry_length;
    if (length > room || length > mgmt::kDirectoryBytes) return Result::tool(HVXRETVAL_INSUFFICIENT_SPACE);
    MgmtSession session(library);
    if (!session.is_open()) return session.open_result();
    auto payload = new_payload<mgmt::DirEntriesPayload>();
    if (!payload) return Result::tool(HVXRETVAL_MALLOC_FAILURE);
    payload->length = static_cast<uint32_t>(length);
    if (!session.invoke(fn.name, mgmt::kCbDirEntries, *payload).ok()) return interface_failure();
    std::memcpy(out, payload->entries, length);
    return Result();
}

// The directory index of an item; HVXRETVAL_ITEM_NOT_FOUND when absent.
ResultOr<uint32_t> find_entry(host::MgmtLibrary& library, const Function& fn, ItemId id) {
    std::vector<uint8_t> raw(mgmt::kDirectoryBytes);
    uint32_t count = 0, stride = 0;
    Result rc = dir_entries(library, fn, raw.data(), static_cast<uint32_t>(raw.size()), count, stride);
    if (!rc.ok()) return rc;
    if (stride < sizeof(zelnvm_directory_entry_t)) return Result::tool(HVXRETVAL_INVALID_DATA_LENGTH);
    for (uint32_t i = 0; i < count; ++i) {
        zelnvm_directory_entry_t e;
        std::memcpy(&e, raw.data() + static_cast<size_t>(i) * stride, sizeof e);
        if (le16_to_cpu(e.type) == id.type && le16_to_cpu(e.ordinal) == id.ordinal && le16_to_cpu(e.ext) == id.ext)
            return i;
    }
    return Result::tool(HVXRETVAL_ITEM_NOT_FOUND);
}

ResultOr<mgmt::DriverInfoPayload> driver_texts(host::MgmtLibrary& library, const Function& fn) {
    MgmtSession session(library);
    if (!session.is_open()) return session.open_result();
    mgmt::DriverInfoPayload info{};
    if (!session.invoke(fn.name, mgmt::kCbDriverInfo, info).ok()) return interface_failure();
    return info;
}

// One install by callback 37.
struct InstallOutcome {
    MgmtSession::Outcome call;
    mgmt::InstallPayload answer{};
};

InstallOutcome install_once(host::MgmtLibrary& library, const Function& fn, uint32_t install_type, uint8_t flags) {
    InstallOutcome out;
    MgmtSession session(library);
    if (!session.is_open()) {
        out.call.call = -1;
        return out;
    }
    out.answer.install_type = install_type;
    out.answer.flags = flags;
    out.call = session.invoke(fn.name, mgmt::kCbInstall, out.answer);
    return out;
}

bool refused_by_firmware(const InstallOutcome& o) {
    if (o.call.call != 0 || o.call.driver != mgmt::kStatusFirmwareRefused) return false;
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "install.error_code = %d install.cmd_err = %d\n",
                  o.answer.error_code, o.answer.cmd_err);
    return true;
}

}  // namespace

MgmtChannel::MgmtChannel(host::Host& host, host::MgmtLibrary& library) : Channel(host), library_(library) {}

Result MgmtChannel::send(const Function& fn, const Message& m) const {
    const uint16_t req_type = request_type(m);
    if (req_type == HWRM_NVM_GET_DIR_INFO) {
        if (m.resp_len < sizeof(hwrm_nvm_get_dir_info_output)) return Result::tool(HVXRETVAL_INVALID_PARAMETER);
        mgmt::DirInfoPayload info;
        Result rc = dir_info(library_, fn, info);
        if (!rc.ok()) return rc;
        auto* out = static_cast<hwrm_nvm_get_dir_info_output*>(m.resp);
        out->entries = cpu_to_le32(info.entries);
        out->entry_length = cpu_to_le32(info.entry_length);
        frame_answer(m, sizeof *out);
        return Result();
    }
    if (req_type == HWRM_NVM_GET_DIR_ENTRIES) {
        if (!m.data || !m.data->data) return Result::tool(HVXRETVAL_INVALID_POINTER_PARAMETER);
        uint32_t count = 0, stride = 0;
        Result rc = dir_entries(library_, fn, static_cast<uint8_t*>(m.data->data), m.data->length, count, stride);
        if (!rc.ok()) return rc;
        frame_answer(m, std::min<size_t>(m.resp_len, sizeof(hwrm_nvm_get_dir_entries_output)));
        return Result();
    }
    bool not_taken = false;
    Result rc =
        passthrough<mgmt::HwrmPayload>(library_, fn, m, mgmt::kCbHwrm, mgmt::hwrm_timeout_ms(req_type), not_taken);
    if (!not_taken) return rc;
    // The driver did not take the request: it may know only the first revision.
    std::memset(m.resp, 0, m.resp_len);
    return passthrough<mgmt::HwrmV0Payload>(library_, fn, m, mgmt::kCbHwrmV0, mgmt::hwrm_v0_timeout_ms(req_type),
                                            not_taken);
}

uint32_t MgmtChannel::message_piece_size() const { return mgmt::HwrmV0Payload::kDataBytes; }

Result MgmtChannel::read_item(const Function& fn, uint32_t index, uint32_t offset, uint8_t* data,
                              uint32_t length) const {
    if (index > 0xFFFF) return Result::tool(HVXRETVAL_INVALID_INDEX_PARAMETER);
    auto payload = new_payload<mgmt::ItemReadPayload>();
    if (!payload) return Result::tool(HVXRETVAL_MALLOC_FAILURE);
    for (uint32_t done = 0; done < length;) {
        const uint32_t piece = std::min(length - done, mgmt::kItemPiece);
        MgmtSession session(library_);
        if (!session.is_open()) return session.open_result();
        std::memset(payload.get(), 0, sizeof *payload);
        payload->index = static_cast<uint16_t>(index);
        payload->offset = offset + done;
        payload->length = piece;
        if (!session.invoke(fn.name, mgmt::kCbItemRead, *payload).ok()) return interface_failure();
        std::memcpy(data + done, payload->data, piece);
        done += piece;
    }
    return Result();
}

Result MgmtChannel::write_item(const Function& fn, ItemId id, uint16_t attr, std::span<const uint8_t> data) const {
    if (data.empty()) return Result();
    const auto length = static_cast<uint32_t>(data.size());
    auto found = find_entry(library_, fn, id);
    uint32_t index;
    if (found.ok()) {
        index = *found;
    } else if (found.result().is(HVXRETVAL_ITEM_NOT_FOUND)) {
        MgmtSession session(library_);
        if (!session.is_open()) return session.open_result();
        auto create = new_payload<mgmt::ItemCreatePayload>();
        if (!create) return Result::tool(HVXRETVAL_MALLOC_FAILURE);
        create->type = id.type;
        create->ordinal = id.ordinal;
        create->ext = id.ext;
        create->attr = attr;
        create->item_length = length;
        if (!session.invoke(fn.name, mgmt::kCbItemCreate, *create).ok()) return interface_failure();
        index = mgmt::created_index(*create);
    } else {
        return interface_failure();
    }
    auto payload = new_payload<mgmt::ItemWritePayload>();
    if (!payload) return Result::tool(HVXRETVAL_MALLOC_FAILURE);
    for (uint32_t done = 0; done < length;) {
        const uint32_t piece = std::min(length - done, mgmt::kItemPiece);
        MgmtSession session(library_);
        if (!session.is_open()) return session.open_result();
        std::memset(payload.get(), 0, sizeof *payload);
        std::memcpy(payload->data, data.data() + done, piece);
        payload->length = piece;
        payload->offset = done;
        payload->index = index;
        if (!session.invoke(fn.name, mgmt::kCbItemWrite, *payload).ok()) return interface_failure();
        done += piece;
    }
    return Result();
}

Result MgmtChannel::erase_item(const Function& fn, uint32_t index) const {
    if (index > mgmt::kMaxEraseIndex) return Result::tool(HVXRETVAL_INVALID_INDEX_PARAMETER);
    MgmtSession session(library_);
    if (!session.is_open()) return session.open_result();
    mgmt::ItemErasePayload payload{static_cast<uint16_t>(index)};
    if (!session.invoke(fn.name, mgmt::kCbItemErase, payload).ok()) return interface_failure();
    return Result();
}

Result MgmtChannel::install_package(const Function& fn, std::span<const uint8_t> package,
                                    uint32_t install_type) const {
    // The package is staged in the update item, the firmware's clock set, then installed.
    Result rc = write_item(fn, ItemId{ZEL_DIR_TYPE_UPDATE, 0, 0}, 0, package);
    if (!rc.ok()) return rc;
    {
        MgmtSession session(library_);
        if (!session.is_open()) return session.open_result();
        const time_t now = host().now().tv_sec;
        struct tm utc{};
        gmtime_r(&now, &utc);
        mgmt::SetTimePayload time{};
        time.year = static_cast<uint16_t>(utc.tm_year + 1900);
        time.month = static_cast<uint8_t>(utc.tm_mon + 1);
        time.day = static_cast<uint8_t>(utc.tm_mday);
        time.hour = static_cast<uint8_t>(utc.tm_hour);
        time.minute = static_cast<uint8_t>(utc.tm_min);
        time.second = static_cast<uint8_t>(utc.tm_sec);
        if (!session.invoke(fn.name, mgmt::kCbSetTime, time).ok()) return interface_failure();
    }
    InstallOutcome first = install_once(library_, fn, install_type, 0);
    const InstallOutcome* done = &first;
    InstallOutcome again;
    if (refused_by_firmware(first)) {
        const uint8_t cmd_err = first.answer.cmd_err;
        if (cmd_err == HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_VOLTREG_SUPPORT)
            return Result::firmware(first.answer.error_code, cmd_err,
                                    HVXRETVAL_NVM_INSTALL_UPDATE_ERR_CODE_NO_VOLTREG_SUPPORT);
        if (cmd_err % 2 == 0) return Result::firmware(first.answer.error_code, cmd_err, 2);
        // An odd cmd_err: the firmware may install once it may defragment the NVM.
        again = install_once(library_, fn, install_type, mgmt::kInstallAllowDefrag);
        if (refused_by_firmware(again)) return Result::firmware(again.answer.error_code, again.answer.cmd_err, 2);
        done = &again;
    }
    if (!done->call.ok()) return interface_failure();
    if (done->answer.result != 0)
        return Result::firmware(done->answer.error_code, done->answer.cmd_err, done->answer.result);
    return Result();
}

ResultOr<DriverInfo> MgmtChannel::driver_info(const Function& fn) const {
    auto texts = driver_texts(library_, fn);
    if (!texts.ok()) return texts.result();
    DriverInfo info;
    Result rc = zeltnvm_get_device_pci_ids(library_, fn.name, info.address);
    if (!rc.ok()) return rc;
    info.driver_name = std::string(zeltFieldText(texts->driver_name, sizeof texts->driver_name));
    info.driver_version = std::string(zeltFieldText(texts->driver_version, sizeof texts->driver_version));
    return info;
}

ResultOr<std::string> MgmtChannel::firmware_version(const Function& fn) const {
    auto texts = driver_texts(library_, fn);
    if (!texts.ok()) return texts.result();
    return zeltFirmwareVersionText(zeltFieldText(texts->fw_version, sizeof texts->fw_version));
}

ResultOr<std::string> MgmtChannel::package_version(const Function& fn) const {
    auto texts = driver_texts(library_, fn);
    if (!texts.ok()) return texts.result();
    std::string text;
    if (!zeltPackageVersionText(zeltFieldText(texts->fw_version, sizeof texts->fw_version), text))
        return Result::tool(HVXRETVAL_ITEM_NOT_FOUND);
    return text;
}

ResultOr<ModuleInfo> MgmtChannel::module_info(const Function&) const {
    return Result::tool(HVXRETVAL_UNSUPPORTED_PLATFORM);
}

Result MgmtChannel::reset(const Function& fn, const ResetRequest& request) const { return send_fw_reset(fn, request); }

bool MgmtChannel::crashdump_available(const Function&) const { return false; }

Result MgmtChannel::coredump(const Function&, FILE* fp, int) const {
    if (fp) std::fclose(fp);
    return Result::tool(HVXRETVAL_UNSUPPORTED_PLATFORM);
}

bool MgmtChannel::offers(PlatformOperation) const { return false; }

ResultOr<FwCounters> MgmtChannel::fw_counters(const Function& fn) const {
    MgmtSession session(library_);
    if (!session.is_open()) return session.open_result();
    mgmt::FwCountersPayload counters{};
    if (!session.invoke(fn.name, mgmt::kCbFwCounters, counters).ok()) return interface_failure();
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "fw_counters.fw_reset_counter = %d\n",
                  static_cast<int>(counters.reset_counter));
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "fw_counters.fw_err_recovery_counter = %d\n",
                  static_cast<int>(counters.err_recovery_counter));
    return FwCounters{counters.reset_counter, counters.err_recovery_counter};
}

Result zeltnvm_get_device_pci_ids(host::MgmtLibrary& library, const std::string& ifname, PciAddress& address) {
    MgmtSession session(library);
    if (!session.is_open()) return session.open_result();
    mgmt::NicInfoPayload nic{};
    if (!session.invoke(ifname, mgmt::kCbNicInfo, nic).ok()) return interface_failure();
    address = PciAddress{nic.domain, nic.bus, nic.device, nic.function};
    return Result();
}

}  // namespace zelt::transport
