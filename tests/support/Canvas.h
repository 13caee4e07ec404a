#pragma once
#include <windows.h>

#include "UniqueHandle.h"

namespace testing_support {

// A 32-bit picture in a memory DC, to draw into and read back; or a copy of a
// window's client area as the screen shows it.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(0x12, 0x34, 0x56));
    explicit Canvas(HWND window);
    ~Canvas() { ::SelectObject(m_dc.Get(), m_old); }
    COLORREF At(int x, int y) const;
    // Copies a part (width, height: all of it when 0) of a bitmap resource of this
    // program to (x, y), as the system's loader makes it: a reference picture
    // drawn without the programs' own drawing code.
    bool DrawResource(UINT id, int x, int y, int srcX = 0, int srcY = 0, int width = 0, int height = 0);

private:
    int m_width, m_height;
    DWORD* m_bits = nullptr;
    UniqueMemoryDC m_dc;
    UniqueGdiObject m_bitmap;
    HGDIOBJ m_old = nullptr;
};

// The pixels of area (client coordinates of both) that differ between two pictures, outside skip.
int Differences(const Canvas& a, const Canvas& b, const RECT& area, const RECT& skip = {});

}  // namespace testing_support
