#include "cli/report/renderer.h"
#include "log/print.h"

namespace zelt::cli::report {

void TextRenderer::text(const Entry& entry) {
    zeltnvm_print(entry.location, entry.level, "%s", entry.text.c_str());
}

// Everything was printed while the report was built.
void TextRenderer::finish(const Report&) {}

}  // namespace zelt::cli::report
