#include "Canvas.h"

#include <algorithm>

#include "Input.h"

namespace testing_support {

Canvas::Canvas(int width, int height, COLORREF fill) : m_width(width), m_height(height) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    m_dc.Reset(::CreateCompatibleDC(nullptr));
    m_bitmap.Reset(::CreateDIBSection(m_dc.Get(), &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0));
    m_old = ::SelectObject(m_dc.Get(), m_bitmap.Get());
    DWORD value = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
    std::fill(m_bits, m_bits + width * height, value);
}

namespace {

SIZE ClientSize(HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    return SIZE{r.right, r.bottom};
}

}  // namespace

Canvas::Canvas(HWND window) : Canvas(ClientSize(window).cx, ClientSize(window).cy) {
    POINT origin = ClientToScreenPoint(window, 0, 0);
    WindowDC screen(nullptr);
    ::BitBlt(m_dc.Get(), 0, 0, m_width, m_height, screen.Get(), origin.x, origin.y, SRCCOPY);
}

bool Canvas::DrawResource(UINT id, int x, int y, int srcX, int srcY, int width, int height) {
    UniqueGdiObject picture(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
    if (!picture) return false;
    BITMAP size{};
    ::GetObjectW(picture.Get(), sizeof(size), &size);
    UniqueMemoryDC source(::CreateCompatibleDC(m_dc.Get()));
    SelectObjectScope select(source.Get(), picture.Get());
    return ::BitBlt(m_dc.Get(), x, y, width ? width : size.bmWidth, height ? height : size.bmHeight, source.Get(), srcX,
                    srcY, SRCCOPY);
}

COLORREF Canvas::At(int x, int y) const {
    ::GdiFlush();
    DWORD v = m_bits[y * m_width + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int Differences(const Canvas& a, const Canvas& b, const RECT& area, const RECT& skip) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            n += !::PtInRect(&skip, POINT{x, y}) && a.At(x, y) != b.At(x, y);
    return n;
}

}  // namespace testing_support
