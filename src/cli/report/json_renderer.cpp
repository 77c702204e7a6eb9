#include <cstdio>
#include <string>

#include "cli/report/renderer.h"
#include "log/print.h"

namespace zelt::cli::report {
namespace {

const char* level_name(int level) {
    switch (level) {
        case ZELT_LVL_ERROR: return "error";
        case ZELT_LVL_DEBUG: return "debug";
        default: return "info";
    }
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && (text[start] == '\n' || text[start] == ' ')) ++start;
    return text.substr(start);
}

// The message the text form shows for a failure: the last error message, else the
// last message of any level.
std::string failure_message(const std::vector<Message>& messages) {
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
        if (it->level == ZELT_LVL_ERROR && !trimmed(it->text).empty()) return trimmed(it->text);
    }
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
        if (!trimmed(it->text).empty()) return trimmed(it->text);
    }
    return {};
}

}  // namespace

// Only the log's part of a text piece is written: standard output holds the document.
void JsonRenderer::text(const Entry& entry) {
    if (entry.location == ZELT_LOC_LOG || entry.location == ZELT_LOC_BOTH) {
        zeltnvm_print(ZELT_LOC_LOG, entry.level, "%s", entry.text.c_str());
    }
}

void JsonRenderer::finish(const Report& report) {
    const std::string text = json_document(report).dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

Json json_document(const Report& report) {
    Json doc = Json::object();
    doc["schema"] = kSchemaVersion;
    doc["command"] = report.command().empty() ? Json(nullptr) : Json(report.command());
    doc["status"] = report.status();
    doc["ok"] = report.result().ok();
    for (const auto& [key, value] : report.data().items()) doc[key] = value;
    const std::vector<Message> messages = report.messages();
    Json list = Json::array();
    for (const Message& m : messages) list.push_back(Json{{"level", level_name(m.level)}, {"text", m.text}});
    doc["messages"] = std::move(list);
    if (!report.result().ok()) {
        doc["result"] = result_object(report.result());
        doc["message"] = failure_message(messages);
    }
    return doc;
}

}  // namespace zelt::cli::report
