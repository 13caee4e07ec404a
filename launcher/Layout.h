#pragma once
// The launcher view's geometry, from Layout.inc: kBanner, kExitButton...
#include <windows.h>

namespace Layout {

#define LAYOUT_RECT(name, left, top, right, bottom) inline constexpr RECT k##name{left, top, right, bottom};
#define LAYOUT_POINT(name, x, y) inline constexpr POINT k##name{x, y};
#include "Layout.inc"
#undef LAYOUT_RECT
#undef LAYOUT_POINT

// The middle of a rectangle: where a hand clicks.
constexpr POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

}  // namespace Layout
