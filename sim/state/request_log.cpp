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

namespace {

// A JSON string as the log's JSON writer escapes it.
void put_string(std::string& out, std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    out += "\\u00";
                    out += digits[static_cast<unsigned char>(c) >> 4];
                    out += digits[c & 15];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void put_field(std::string& out, const char* key, uint32_t value) {
    out += '"';
    out += key;
    out += "\":";
    out += std::to_string(value);
}

}  // namespace

std::string lfc_request_line(const LfcRequestRecord& r) {
    std::string out;
    out.reserve(256 + r.request.size() + r.function.size());
    out += '{';
    put_field(out, "bus", r.bus);
    out += ",\"channel\":\"lfc\",";
    put_field(out, "devfn", r.devfn);
    out += ",\"dma\":[";
    for (size_t i = 0; i < r.dma.size(); ++i) {
        out += i ? ",{" : "{";
        put_field(out, "length", r.dma[i].length);
        out += ',';
        put_field(out, "offset", r.dma[i].offset);
        out += ',';
        put_field(out, "read_or_write", r.dma[i].read_or_write);
        out += '}';
    }
    out += "],";
    put_field(out, "domain", r.domain);
    out += ",\"function\":";
    put_string(out, r.function);
    out += ',';
    put_field(out, "len_req", r.len_req);
    out += ',';
    put_field(out, "len_resp", r.len_resp);
    out += ',';
    put_field(out, "req_kind", r.req_kind);
    out += ',';
    put_field(out, "req_type", r.req_type);
    out += ",\"request\":";
    put_string(out, r.request);
    out += ',';
    put_field(out, "target_id", r.target_id);
    out += ',';
    put_field(out, "timeout", r.timeout);
    out += ',';
    put_field(out, "ver", r.ver);
    out += '}';
    return out;
}

void append_request_line(const SimPaths& paths, std::string line) {
    line += '\n';
    append_request_text(paths, line);
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
