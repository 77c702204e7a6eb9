// A channel for unit tests: firmware messages are answered from a table of answer
// functions by message number, NVM items from a table of item data (the directory
// messages and item reads both answer from it), and the driver's texts from fields.
// Whatever the tables do not hold fails with HVXRETVAL_UNSUPPORTED_OPERATION.
//
// Tests put it into the function values they hand to device code (or give it to
// discovery as the channel of both roads).
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "common/directory_entry.h"
#include "common/hvxretval.h"
#include "transport/channel.h"
#include "transport/function.h"
#include "transport/hwrm_channel.h"
#include "wire/hwrm_header.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"
#include "wire/nvm_directory.h"

namespace zelt::test {

class FakeChannel : public transport::Channel {
public:
    // Answers one message: fills the answer (and any data buffer) of `msg`.
    using Answer = std::function<Result(const transport::Function& fn, const transport::Message& msg)>;
    using ItemKey = std::tuple<uint16_t, uint16_t, uint16_t>;  // type, ordinal, ext

    explicit FakeChannel(host::Host& host) : Channel(host) {}

    // Answers message `req_type` by filling its answer record of type Out.
    template <class Out>
    void answer(uint16_t req_type, std::function<Result(const transport::Function&, Out&)> fill) {
        messages[req_type] = [fill](const transport::Function& fn, const transport::Message& msg) {
            Out out{};
            const Result rc = fill(fn, out);
            std::memcpy(msg.resp, &out, std::min<size_t>(sizeof out, msg.resp_len));
            return rc;
        };
    }

    std::map<uint16_t, Answer> messages;
    // NVM items, in directory order by identity (item writes land here).
    mutable std::map<ItemKey, std::vector<uint8_t>> items;
    // Driver answers by interface name.
    std::map<std::string, transport::DriverInfo> drivers;
    std::optional<std::string> fw_version;
    std::optional<std::string> pkg_version;
    bool crashdump = false;
    // Requests sent, by message number.
    mutable std::vector<uint16_t> sent;

    Result send(const transport::Function& fn, const transport::Message& msg) const override {
        uint16_t req_type = 0;
        std::memcpy(&req_type, msg.req, sizeof req_type);
        sent.push_back(req_type);
        if (auto it = messages.find(req_type); it != messages.end()) return it->second(fn, msg);
        if (req_type == HWRM_NVM_GET_DIR_INFO && !items.empty()) {
            hwrm_nvm_get_dir_info_output out{};
            out.entries = static_cast<uint32_t>(items.size());
            out.entry_length = sizeof(zelnvm_directory_entry_t);
            std::memcpy(msg.resp, &out, std::min<size_t>(sizeof out, msg.resp_len));
            return Result();
        }
        if (req_type == HWRM_NVM_GET_DIR_ENTRIES && !items.empty() && msg.data) {
            auto* out = static_cast<uint8_t*>(msg.data->data);
            size_t at = 0;
            for (const auto& e : directory()) {
                if (at + sizeof e > msg.data->length) break;
                std::memcpy(out + at, &e, sizeof e);
                at += sizeof e;
            }
            return Result();
        }
        return Result::tool(HVXRETVAL_UNSUPPORTED_OPERATION);
    }
    uint32_t message_piece_size() const override { return 4096; }

    Result read_item(const transport::Function&, uint32_t index, uint32_t offset, uint8_t* data,
                     uint32_t length) const override {
        if (index >= items.size()) return Result::tool(HVXRETVAL_FAILURE);
        const auto& bytes = std::next(items.begin(), index)->second;
        if (static_cast<uint64_t>(offset) + length > bytes.size()) return Result::tool(HVXRETVAL_FAILURE);
        std::memcpy(data, bytes.data() + offset, length);
        return Result();
    }
    Result write_item(const transport::Function&, transport::ItemId id, uint16_t,
                      std::span<const uint8_t> data) const override {
        items[{id.type, id.ordinal, id.ext}].assign(data.begin(), data.end());
        return Result();
    }
    Result erase_item(const transport::Function&, uint32_t) const override {
        return Result::tool(HVXRETVAL_UNSUPPORTED_OPERATION);
    }
    Result install_package(const transport::Function&, std::span<const uint8_t>, uint32_t) const override {
        return Result::tool(HVXRETVAL_UNSUPPORTED_OPERATION);
    }
    ResultOr<transport::DriverInfo> driver_info(const transport::Function& fn) const override {
        if (auto it = drivers.find(fn.name); it != drivers.end()) return it->second;
        return Result::tool(HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE);
    }
    ResultOr<std::string> firmware_version(const transport::Function&) const override {
        if (fw_version) return *fw_version;
        return Result::tool(HVXRETVAL_FAILURE);
    }
    ResultOr<std::string> package_version(const transport::Function&) const override {
        if (pkg_version) return *pkg_version;
        return Result::tool(HVXRETVAL_ITEM_NOT_FOUND);
    }
    ResultOr<transport::ModuleInfo> module_info(const transport::Function&) const override {
        return Result::tool(HVXRETVAL_UNSUPPORTED_OPERATION);
    }
    // The firmware reset message, answered from the message table.
    Result reset(const transport::Function& fn, const transport::ResetRequest& request) const override {
        return transport::send_fw_reset(fn, request);
    }
    bool crashdump_available(const transport::Function&) const override { return crashdump; }
    Result coredump(const transport::Function&, FILE* fp, int) const override {
        if (fp) std::fclose(fp);
        return Result::tool(HVXRETVAL_UNSUPPORTED_OPERATION);
    }

private:
    // The directory entries of `items`, each item stored back to back from offset 0x1000.
    std::vector<zelnvm_directory_entry_t> directory() const {
        std::vector<zelnvm_directory_entry_t> out;
        uint32_t location = 0x1000;
        for (const auto& [key, bytes] : items) {
            zelnvm_directory_entry_t e{};
            e.type = std::get<0>(key);
            e.ordinal = std::get<1>(key);
            e.ext = std::get<2>(key);
            e.item_location = location;
            e.item_length = static_cast<uint32_t>(bytes.size());
            e.data_length = static_cast<uint32_t>(bytes.size());
            location += e.item_length;
            out.push_back(e);
        }
        return out;
    }
};

}  // namespace zelt::test
