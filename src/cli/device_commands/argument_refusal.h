// What a device command's argument check gives: the request the arguments make, or
// the refusal to print before anything is sent to the adapter.
#pragma once

#include <string>
#include <variant>

#include "cli/display_error.h"
#include "cli/report/report.h"
#include "common/hvxretval.h"
#include "log/print.h"

namespace zelt::cli {

struct ArgumentRefusal {
    // The command's status; HVXRETVAL_INVALID_SYNTAX for the command's syntax error.
    int status = HVXRETVAL_INVALID_SYNTAX;
    std::string message;  // printed on the error stream (unused for a syntax error)
};

template <class Request>
using CheckedArguments = std::variant<Request, ArgumentRefusal>;

// Prints the refusal and ends the command's report with its status.
inline report::Report refuse_arguments(report::Report& r, int command, const ArgumentRefusal& refusal) {
    if (refusal.status == HVXRETVAL_INVALID_SYNTAX) return r.ends(zeltnvm_display_error_msg(command, refusal.status));
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s", refusal.message.c_str());
    return r.ends(refusal.status);
}

}  // namespace zelt::cli
