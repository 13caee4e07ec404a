#pragma once
// The launcher view's geometry, from Layout.inc: kBanner, kExitButton...
#include <windows.h>

namespace Layout {

#define LAYOUT_RECT(name, left, top, right, bottom) inline constexpr RECT k##name{left, top, right, bottom};
#define LAYOUT_POINT(name, x, y) inline constexpr POINT k##name{x, y};
#include "Layout.inc"
#undef LAYOUT_RECT
#undef LAYOUT_POINT

}  // namespace Layout
