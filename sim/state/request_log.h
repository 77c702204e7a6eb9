// The record of what the simulated drivers received: one JSON object per line in
// <root>/sim/requests.log, appended while the session lock is held. Tests read it to
// check the exact encodings the utility sent.
//
// Firmware-channel requests: {"channel":"lfc","function":"0000:03:00.0","domain":0,
//   "ver":1,"req_kind":4,"req_type":65523,"target_id":65535,"len_req":24,"len_resp":24,
//   "timeout":100000,"dma":[{"length":96,"offset":24,"read_or_write":1}],"request":"<hex>"}
// (the request bytes as received, before the driver wrote any bus address).
// Ethtool requests: {"channel":"ethtool","ifname":"zen0","cmd":11,...command fields}.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/state/sim_store.h"

namespace zelt::sim {

void append_request_log(const SimPaths& paths, const nlohmann::json& record);

// A firmware-channel request as the log records it.
struct LfcDmaRecord {
    uint32_t length = 0;
    uint32_t offset = 0;
    uint32_t read_or_write = 0;
};
struct LfcRequestRecord {
    std::string function;  // PCI address of the function; empty when none matched
    uint32_t domain = 0;
    uint32_t bus = 0;
    uint32_t devfn = 0;
    uint32_t ver = 0;
    uint32_t req_kind = 0;
    uint32_t req_type = 0;
    uint32_t target_id = 0;
    uint32_t len_req = 0;
    uint32_t len_resp = 0;
    uint32_t timeout = 0;
    std::vector<LfcDmaRecord> dma;
    std::string request;  // the request bytes in hex
};
// The record's log line without its newline: the same text as the record's JSON object
// dumped (keys in order), written directly, since the driver logs every request. Its
// texts are ASCII (an address and hex digits).
std::string lfc_request_line(const LfcRequestRecord& record);
// Appends one line (a newline is added).
void append_request_line(const SimPaths& paths, std::string line);
// Every record of a host's log, oldest first (unparsable lines are skipped).
std::vector<nlohmann::json> read_request_log(const std::string& root);
// Empties the log.
void clear_request_log(const std::string& root);

std::string hex_bytes(const uint8_t* data, size_t size);

}  // namespace zelt::sim
