#pragma once
// An off-screen drawing context: a control composes its picture here and
// copies it to the screen in one BitBlt, so the screen never shows a
// half-drawn state. The owner does the copy; this class only holds the
// context and its bitmap.
#include <windows.h>

#include "UniqueHandle.h"

class CMemoryDC {
public:
    // A width by height bitmap compatible with reference, selected into a
    // compatible memory context. Throws std::bad_alloc when no context can be
    // made; a bitmap that can't be made leaves the context drawing into nothing.
    CMemoryDC(HDC reference, int width, int height);
    ~CMemoryDC();
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

    operator HDC() const { return m_dc.Get(); }

private:
    UniqueMemoryDC m_dc;
    UniqueGdiObject m_bitmap;
    // What the context held before our bitmap; put back before the context
    // goes, so our bitmap is never deleted while selected.
    HGDIOBJ m_hPrevBitmap = nullptr;
};
