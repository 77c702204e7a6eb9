// Facts about the running process that names of its output files carry.
#pragma once

namespace zelt::host {

// The process id.
int process_id();

}  // namespace zelt::host
