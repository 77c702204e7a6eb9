// The firmware-channel driver writes its log lines directly instead of through a JSON
// object; the lines must stay exactly what the JSON writer makes of the same record, or
// the log's readers and the tests that compare encodings would see another text.
#include <gtest/gtest.h>

#include <limits>

#include "sim/state/request_log.h"

namespace zelt::sim {
namespace {

nlohmann::json as_json(const LfcRequestRecord& r) {
    nlohmann::json dma = nlohmann::json::array();
    for (const auto& d : r.dma)
        dma.push_back({{"length", d.length}, {"offset", d.offset}, {"read_or_write", d.read_or_write}});
    return {{"channel", "lfc"},     {"function", r.function}, {"domain", r.domain},     {"bus", r.bus},
            {"devfn", r.devfn},     {"ver", r.ver},           {"req_kind", r.req_kind}, {"req_type", r.req_type},
            {"len_req", r.len_req}, {"len_resp", r.len_resp}, {"timeout", r.timeout},   {"request", r.request},
            {"target_id", r.target_id}, {"dma", dma}};
}

TEST(RequestLog, FirmwareChannelLineIsTheRecordsJson) {
    constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();
    struct Case {
        const char* name;
        LfcRequestRecord record;
    };
    const Case cases[] = {
        {"request with two buffers",
         {"0000:03:00.1", 0, 3, 1, 1, 4, 0xFFFA, 0xFFFF, 24, 16, 100000,
          {{96, 24, 1}, {4096, 32, 2}}, "faff0000ffffffff"}},
        {"no function matched, no buffer", {"", 7, 0, 0, 2, 9, 0, 0, 0, 0, 0, {}, ""}},
        {"largest numbers", {"ffff:ff:1f.7", kMax, kMax, kMax, kMax, kMax, kMax, kMax, kMax, kMax, kMax,
                             {{kMax, kMax, kMax}}, "00"}},
        {"texts that need escaping", {"a\"b\\c\n\x01", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, {}, "\t\x1f"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(lfc_request_line(c.record), as_json(c.record).dump());
    }
}

}  // namespace
}  // namespace zelt::sim
