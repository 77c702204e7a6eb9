// Declares into zelt, then once more outside it.
#pragma once

namespace zelt {
struct Inside {};
}  // namespace zelt

int outside();
