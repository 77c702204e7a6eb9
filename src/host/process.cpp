#include "host/process.h"

#include <unistd.h>

namespace zelt::host {

int process_id() { return static_cast<int>(::getpid()); }

}  // namespace zelt::host
