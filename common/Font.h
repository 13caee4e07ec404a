#pragma once
// Fonts made the one way both programs use: a face at a size in tenths of a
// point, on the screen's resolution (what the dialogs' "굴림" 9 looks like).
#include <windows.h>

namespace Font {

// The caller owns the font (UniqueGdiObject).
HFONT CreatePointFont(int tenthsOfPoint, const wchar_t* face);

}  // namespace Font
