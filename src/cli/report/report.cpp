#include "cli/report/report.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

#include "cli/report/output.h"
#include "common/format_text.h"
#include "device/inventory.h"
#include "log/print.h"

namespace zelt::cli::report {

struct Report::Body {
    std::string command;
    Json data = Json::object();
    std::vector<Entry> entries;
    Result result;
};

Report::Report(Output& output, std::string command) : output_(&output), body_(std::make_unique<Body>()) {
    body_->command = std::move(command);
    previous_open_ = output_->open_;
    output_->open_ = body_.get();
}

Report::Report(Report&& other) noexcept
    : output_(std::exchange(other.output_, nullptr)),
      body_(std::move(other.body_)),
      previous_open_(other.previous_open_) {}

Report::~Report() {
    // The report that was open before this one takes the messages again.
    if (output_ && body_ && output_->open_ == body_.get()) output_->open_ = previous_open_;
}

const std::string& Report::command() const { return body_->command; }
void Report::set_command(std::string command) { body_->command = std::move(command); }

Json& Report::data() { return body_->data; }
const Json& Report::data() const { return body_->data; }

void Report::text(int location, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string formatted = vformat_text(format, args);
    va_end(args);
    text_raw(location, formatted);
}

void Report::text_raw(int location, const std::string& text) {
    Entry entry{false, location, ZELT_LVL_INFO, text};
    body_->entries.push_back(entry);
    if (output_) output_->show_text(body_->entries.back());
}

void Report::add_message(int level, std::string text) { add_message_to(*body_, level, std::move(text)); }

void Report::add_message_to(Body& body, int level, std::string text) {
    body.entries.push_back(Entry{true, ZELT_LOC_CONSOLE, level, std::move(text)});
}

std::vector<Message> Report::messages() const {
    std::vector<Message> out;
    for (const Entry& e : body_->entries) {
        if (e.is_message) out.push_back(Message{e.level, e.text});
    }
    return out;
}

const std::vector<Entry>& Report::entries() const { return body_->entries; }

Report Report::ends(int code) { return ends(Result::from_code(code)); }

Report Report::ends(const Result& result) {
    set_result(result);
    return std::move(*this);
}

void Report::set_result(const Result& result) { body_->result = result; }
const Result& Report::result() const { return body_->result; }
// The exit status is the result code's low 8 bits; a failure whose low 8 bits are zero
// (0x8100, firmware not responding, for one) ends with 1 so it never reads as success.
int Report::status() const { return status_of(body_->result.code()); }

int Report::status_of(int code) {
    const int status = code & 0xFF;
    return (code != 0 && status == 0) ? 1 : status;
}

void Report::absorb(Report&& inner) {
    if (!inner.body_) return;
    Body& in = *inner.body_;
    if (body_->command.empty()) body_->command = in.command;
    for (Entry& e : in.entries) body_->entries.push_back(std::move(e));
    in.entries.clear();
    for (auto& [key, value] : in.data.items()) body_->data[key] = std::move(value);
    body_->result = in.result;
}

Json function_object(const std::string& interface, const std::string& pci_address) {
    Json j = Json::object();
    j["interface"] = interface.empty() ? Json(nullptr) : Json(interface);
    j["pci_address"] = pci_address;
    return j;
}

Json function_object(const device::InventoryFunction& function) {
    const PciAddress& a = function.address();
    char text[32];
    std::snprintf(text, sizeof text, "%04x:%02x:%02x.%x", a.domain, a.bus, a.device, a.function);
    return function_object(function.has_interface() ? function.function.name : std::string(), text);
}

namespace {

const char* origin_name(Origin origin) {
    switch (origin) {
        case Origin::kNone: return "none";
        case Origin::kTool: return "tool";
        case Origin::kFirmware: return "firmware";
        case Origin::kSystem: return "system";
    }
    return "tool";
}

// "INVALID_SYNTAX" -> "invalid syntax".
std::string words_of(std::string_view name) {
    std::string text(name);
    for (char& c : text) {
        if (c == '_') c = ' ';
        else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

Json result_object(const Result& result) {
    Json j = Json::object();
    j["code"] = result.code();
    const char* name = result.origin() == Origin::kSystem ? nullptr : hvxretvalStringPtr(result.code());
    j["name"] = name ? Json(name) : Json(nullptr);
    j["origin"] = origin_name(result.origin());
    if (result.origin() == Origin::kSystem) {
        j["text"] = std::strerror(result.sys_errno());
    } else if (name) {
        j["text"] = words_of(name);
    } else {
        j["text"] = "result " + std::to_string(result.code());
    }
    if (result.origin() == Origin::kFirmware) {
        j["firmware_error_code"] = result.error_code();
        j["firmware_cmd_err"] = result.cmd_err();
    }
    return j;
}

}  // namespace zelt::cli::report
