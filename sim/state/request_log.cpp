#include "sim/state/request_log.h"

#include <fcntl.h>
#include <unistd.h>

#include "sim/state/sim_files.h"

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
    append_request_text(paths, record.dump() + '\n');
}

std::vector<nlohmann::json> read_request_log(const std::string& root) {
    std::vector<nlohmann::json> records;
    std::string text;
    if (!read_whole_file(SimPaths{root}.request_log(), text)) return records;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        nlohmann::json j = nlohmann::json::parse(text.substr(start, end - start), nullptr, false);
        if (!j.is_discarded()) records.push_back(std::move(j));
        start = end + 1;
    }
    return records;
}

void clear_request_log(const std::string& root) {
    const int fd = open_sim_file(SimPaths{root}.request_log(), O_WRONLY | O_CREAT | O_TRUNC);
    if (fd >= 0) ::close(fd);
}

}  // namespace zelt::sim
