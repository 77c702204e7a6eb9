// The simulated host's BAR0 window: a mapped `resource0` of a simulated function whose
// 32-bit accesses reach that function's chip (sim/chip), with the firmware of the
// adapter behind its mailbox. The chip's lasting state (window base, the host's CTRL
// bits, the count of windows mapped) is kept in the host's run-time state, so a test
// can look after a command whether the handshake was left clean and nothing mapped.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "host/host.h"
#include "sim/chip/bar_chip.h"

namespace zelt::sim {

class SimHost;

// Maps the resource file at the host path `resource_path` (`size` 0: all of it).
// nullptr with errno set: ENOENT for a function without BAR0, EACCES when refused,
// EINVAL for a size beyond BAR0.
std::unique_ptr<host::RegisterWindow> map_sim_registers(SimHost& host, std::string_view resource_path, size_t size);

// The configuration-space window's data dword when the select word names BAR0 (the
// window register 0x418, or (address AND 0xFFF) OR 0x7000 for the register the window
// base shows). False when the select word names anything else or the function has no
// BAR0.
bool config_bar_window_read(SimHost& host, const host::PciFunction& fn, uint16_t select, uint32_t& value);
bool config_bar_window_write(SimHost& host, const host::PciFunction& fn, uint16_t select, uint32_t value);

// True when the function does not answer configuration reads (its subsystem id reads
// all ones): while its firmware restarts or an "unresponsive" fault is scheduled on it.
bool sim_function_silent(SimHost& host, const host::PciFunction& fn);

}  // namespace zelt::sim
