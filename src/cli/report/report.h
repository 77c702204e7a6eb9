// A command's report: what a run found and how it ended, kept apart from how it is
// shown.
//
// How a handler builds its report:
//
//     report::Report my_command(ParsedCommand& parsed) {         // a row's after_scan
//         report::Report r = report::open_report(parsed);          // cli/report/command_report.h
//         r.data()["device"] = report::function_object(*parsed.device);
//         r.data()["firmware_version"] = version;                  // fields and tables, in order
//         r.text(ZELT_LOC_BOTH, "%-27s : %s\n", "Firmware version", version.c_str());
//         zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "...\n");    // a message, as before
//         return r.ends(rc);                                       // 0, a result code, or a Result
//     }
//
// A handler that still returns an int is wrapped as report::reported<handler> in its row.
// Handlers run at the command word return their report through report::hand_in().
//
// - data() is the command's JSON object: its fields and tables in the order the handler
//   adds them. Every adapter or function object carries "pci_address" and "interface"
//   (see function_object()).
// - text() is the text form of that data (listing lines, headers, blank lines). The
//   text form prints it at once, so prompts and progress keep their place; the JSON
//   form leaves it out (it writes the part meant for the log to the log).
// - Messages are what the print routine writes to the console while the report is
//   open, wherever in the layers they come from: they are printed as always in the text
//   form and collected under "messages" in the JSON form.
// - ends() records the final result. Dispatch renders the report once the command
//   returns and makes the exit status from it (status(): the result's low 8 bits).
// Progress (the monitor's dots) goes to the run's output, never into a report.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/result.h"

namespace zelt::device {
struct InventoryFunction;
}

namespace zelt::cli::report {

using Json = nlohmann::ordered_json;

// The version of the JSON documents; changes when a field changes meaning or goes.
constexpr int kSchemaVersion = 1;

// A console message of the run, as the text form printed it.
struct Message {
    int level;         // ZELT_LVL_*
    std::string text;  // as formatted, line feeds included
};

// A piece of the text form, kept in order with the messages.
struct Entry {
    bool is_message;   // a message (collected in JSON) or text (left out of JSON)
    int location;      // ZELT_LOC_* of a text piece
    int level;         // ZELT_LVL_*
    std::string text;
};

class Output;

class Report {
public:
    // Opens a report for `command` (its word; "" when not known yet) on the run's
    // output. Console messages land in the most recently opened report until it ends.
    Report(Output& output, std::string command);
    Report(Report&& other) noexcept;
    Report& operator=(Report&&) = delete;
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;
    ~Report();

    const std::string& command() const;
    void set_command(std::string command);

    // The command's fields and tables, in order (a JSON object).
    Json& data();
    const Json& data() const;

    // A piece of the text form (printf-style) for data the handler also puts into
    // data(). `location` is ZELT_LOC_*; the level is information.
    void text(int location, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // The same for text already formatted.
    void text_raw(int location, const std::string& text);

    // Records a console message (the print routine calls this through the output).
    void add_message(int level, std::string text);
    std::vector<Message> messages() const;
    // The text form in order: text pieces and messages.
    const std::vector<Entry>& entries() const;

    // The final result: 0 (success), a result code, or a Result with its origin.
    // Returns the report, moved, for `return r.ends(rc);`.
    Report ends(int code);
    Report ends(const Result& result);
    // Records the result without ending.
    void set_result(const Result& result);
    const Result& result() const;
    // The exit status the run ends with: the result code's low 8 bits.
    int status() const;
    // The exit status of a run that ends with result `code`.
    static int status_of(int code);

    // Takes over what `inner` (a report opened inside this one) holds: its entries,
    // its data (merged into this report's data), its command word when this one has
    // none, and its result.
    void absorb(Report&& inner);

    struct Body;
    // Adds a console message to a report's body (the output keeps the open one).
    static void add_message_to(Body& body, int level, std::string text);

private:
    Output* output_;
    std::unique_ptr<Body> body_;
    Body* previous_open_ = nullptr;
};

// The JSON object of a function: "interface" (its interface name, null without one)
// and "pci_address" ("0000:03:00.0").
Json function_object(const device::InventoryFunction& function);
// The same from the parts.
Json function_object(const std::string& interface, const std::string& pci_address);

// A result as the JSON form shows it: its code, its name (null for a code without
// one), its origin and a text.
Json result_object(const Result& result);

}  // namespace zelt::cli::report
