#include "sim/state/request_log.h"

#include <fstream>

namespace zelt::sim {

std::string hex_bytes(const uint8_t* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        s += digits[data[i] >> 4];
        s += digits[data[i] & 15];
    }
    return s;
}

void append_request_log(const SimPaths& paths, const nlohmann::json& record) {
    std::ofstream out(paths.request_log(), std::ios::app);
    out << record.dump() << '\n';
}

std::vector<nlohmann::json> read_request_log(const std::string& root) {
    std::vector<nlohmann::json> records;
    std::ifstream in(SimPaths{root}.request_log());
    std::string line;
    while (std::getline(in, line)) {
        nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        if (!j.is_discarded()) records.push_back(std::move(j));
    }
    return records;
}

void clear_request_log(const std::string& root) { std::ofstream out(SimPaths{root}.request_log(), std::ios::trunc); }

}  // namespace zelt::sim
