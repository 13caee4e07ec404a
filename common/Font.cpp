#include "Font.h"

#include <cwchar>

#include "UniqueHandle.h"

namespace Font {

HFONT CreatePointFont(int tenthsOfPoint, const wchar_t* face) {
    LOGFONTW lf{};
    {
        WindowDC screen(nullptr);
        // Points to pixels on the screen: negative height asks for the character height.
        lf.lfHeight = -::MulDiv(tenthsOfPoint, ::GetDeviceCaps(screen.Get(), LOGPIXELSY), 720);
    }
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return ::CreateFontIndirectW(&lf);
}

}  // namespace Font
