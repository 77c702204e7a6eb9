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

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/state/sim_store.h"

namespace zelt::sim {

void append_request_log(const SimPaths& paths, const nlohmann::json& record);
// Every record of a host's log, oldest first (unparsable lines are skipped).
std::vector<nlohmann::json> read_request_log(const std::string& root);
// Empties the log.
void clear_request_log(const std::string& root);

std::string hex_bytes(const uint8_t* data, size_t size);

}  // namespace zelt::sim
