// Compile-time checks of wire record layouts.
//
// Every record that crosses the boundary to the firmware, a driver or a file is a
// fixed-layout struct whose size and field offsets are pinned here, so that the tool
// and the simulated adapter agree byte for byte.
#pragma once

#include <cstddef>
#include <type_traits>

#define ZELT_WIRE_SIZE(type, size)                                                    \
    static_assert(std::is_standard_layout_v<type> && std::is_trivially_copyable_v<type>, \
                  #type " must be a plain record");                                   \
    static_assert(sizeof(type) == (size), "size of " #type)

#define ZELT_WIRE_FIELD(type, field, off) static_assert(offsetof(type, field) == (off), #type "." #field)
