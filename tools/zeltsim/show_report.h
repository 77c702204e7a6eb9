// The texts `zeltsim show` prints.
#pragma once

#include <string>

#include "sim/state/sim_store.h"

namespace zelt::sim {

// What to show; with nothing selected, everything but item bytes.
struct ShowSelection {
    bool adapters = false;
    bool directory = false;
    bool options = false;
    bool install_log = false;
    bool faults = false;
    bool requests = false;
    bool chips = false;  // the BAR0 windows and the mailbox bits the host left set
    std::string item_adapter;  // with item_index >= 0: hex dump of that item's data
    int item_index = -1;
};

// Appends the report to `out`; false with `error` for an unknown adapter or item.
bool show_report(SimSession& session, const ShowSelection& what, std::string& out, std::string& error);

}  // namespace zelt::sim
