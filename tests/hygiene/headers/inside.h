// Declares only into zelt namespaces; comments, "strings" and { braces } here do not count.
#pragma once
#define FIXTURE_TEXT "outside { }"

namespace zelt {
struct Inside {};
}  // namespace zelt

namespace zelt::fixture {
inline const char* text() { return "}"; }
}  // namespace zelt::fixture
