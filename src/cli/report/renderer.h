// Renderers of a report: the text form (what the tool has always printed) and the
// JSON form (one document per run).
#pragma once

#include "cli/report/report.h"

namespace zelt::cli::report {

class Renderer {
public:
    virtual ~Renderer() = default;
    // A text piece as the handler adds it (messages are printed by the print routine).
    virtual void text(const Entry& entry) = 0;
    // The report once the run has ended.
    virtual void finish(const Report& report) = 0;
};

// Prints each text piece at once, to the console and (by its location) to the log;
// nothing at the end.
class TextRenderer final : public Renderer {
public:
    void text(const Entry& entry) override;
    void finish(const Report& report) override;
};

// Prints nothing while the run goes on (text pieces meant for the log still reach
// it), then the report as one JSON document on standard output.
class JsonRenderer final : public Renderer {
public:
    void text(const Entry& entry) override;
    void finish(const Report& report) override;
};

// The JSON document of a report: "schema", "command", "status", the command's data,
// "messages", and for a failure "result" and "message".
Json json_document(const Report& report);

}  // namespace zelt::cli::report
