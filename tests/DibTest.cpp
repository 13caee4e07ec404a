// The bitmap class with real pictures: packed DIBs built byte by byte and the
// launcher's button strip, drawn into 32-bit off-screen pictures whose pixels
// are compared with the source pixels.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "DIB.h"
#include "UniqueHandle.h"
#include "resource.h"

namespace {

constexpr DWORD kUntouched = 0x123456;
using PixelFn = std::function<DWORD(int, int)>;  // (x, y from the top) -> value

// A top-down 32-bit DIB section in a memory DC, filled with kUntouched.
class Canvas {
public:
    Canvas(int width, int height) : m_width(width), m_height(height) {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        m_dc.Reset(::CreateCompatibleDC(nullptr));
        m_bitmap.Reset(::CreateDIBSection(m_dc.Get(), &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0));
        m_old = ::SelectObject(m_dc.Get(), m_bitmap.Get());
        std::fill(m_bits, m_bits + width * height, kUntouched);
    }
    ~Canvas() { ::SelectObject(m_dc.Get(), m_old); }
    HDC dc() const { return m_dc.Get(); }
    DWORD At(int x, int y) const {
        ::GdiFlush();
        return m_bits[y * m_width + x] & 0xFFFFFF;
    }
    // Pixels that differ from expected (relative to r) inside r, or from kUntouched outside.
    int Mismatches(const RECT& r, const PixelFn& expected) const {
        int bad = 0;
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x) {
                bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                bad += At(x, y) != (inside ? expected(x - r.left, y - r.top) : kUntouched);
            }
        return bad;
    }

private:
    int m_width, m_height;
    UniqueMemoryDC m_dc;
    UniqueGdiObject m_bitmap;
    HGDIOBJ m_old = nullptr;
    DWORD* m_bits = nullptr;
};

DWORD Rgb(int r, int g, int b) { return (r << 16) | (g << 8) | b; }
DWORD FromQuad(const RGBQUAD& q) { return Rgb(q.rgbRed, q.rgbGreen, q.rgbBlue); }

template <typename T>
void Append(std::vector<BYTE>& out, const T* data, size_t count) {
    auto* p = reinterpret_cast<const BYTE*>(data);
    out.insert(out.end(), p, p + count * sizeof(T));
}

// Bottom-up rows; pixel gives a colour index, or 0xRRGGBB for 24 bits.
void AppendRows(std::vector<BYTE>& out, int w, int h, int bits, const PixelFn& pixel) {
    int stride = (w * bits + 31) / 32 * 4;
    for (int y = h - 1; y >= 0; --y) {
        std::vector<BYTE> line(stride, 0);
        for (int x = 0; x < w; ++x) {
            DWORD v = pixel(x, y);
            if (bits == 24) {
                for (int c = 0; c < 3; ++c) line[x * 3 + c] = (v >> (8 * c)) & 0xFF;
            } else {
                line[x * bits / 8] |= static_cast<BYTE>(v << (8 - bits - x * bits % 8));
            }
        }
        Append(out, line.data(), line.size());
    }
}

std::vector<BYTE> InfoDib(int w, int h, int bits, DWORD clrUsed, const std::vector<RGBQUAD>& table, const PixelFn& pixel) {
    BITMAPINFOHEADER header{sizeof(header), w, h, 1, static_cast<WORD>(bits), BI_RGB, 0, 0, 0, clrUsed, 0};
    std::vector<BYTE> out;
    Append(out, &header, 1);
    Append(out, table.data(), table.size());
    AppendRows(out, w, h, bits, pixel);
    return out;
}

std::vector<RGBQUAD> Colours(int n) {
    std::vector<RGBQUAD> table(n);
    for (int i = 0; i < n; ++i) table[i] = RGBQUAD{BYTE(i * 7 + 1), BYTE(255 - i), BYTE(i * 3), 0};
    return table;
}

int PaletteSize(CDIB& dib) { return ::GetPaletteEntries(dib.GetPalette()->GetHandle(), 0, 0, nullptr); }
DWORD PaletteEntry(HPALETTE palette, int i) {
    PALETTEENTRY e{};
    ::GetPaletteEntries(palette, i, 1, &e);
    return Rgb(e.peRed, e.peGreen, e.peBlue);
}
DWORD PaletteEntry(CDIB& dib, int i) { return PaletteEntry(dib.GetPalette()->GetHandle(), i); }
ptrdiff_t BitsOffset(const CDIB& dib) { return dib.GetBits() - dib.GetBlock(); }

// The button strip as stored in the program file, read without CDIB.
struct Strip {
    const BYTE* data = nullptr;
    DWORD size = 0;
    Strip() {
        HRSRC res = ::FindResourceW(nullptr, MAKEINTRESOURCEW(IDB_BUTTONS), RT_BITMAP);
        size = ::SizeofResource(nullptr, res);
        data = static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, res)));
    }
    const BITMAPINFOHEADER& Header() const { return *reinterpret_cast<const BITMAPINFOHEADER*>(data); }
    DWORD Pixel(int x, int y) const {
        const BITMAPINFOHEADER& h = Header();
        auto* table = reinterpret_cast<const RGBQUAD*>(data + h.biSize);
        const BYTE* rows = data + h.biSize + h.biClrUsed * 4;
        return FromQuad(table[rows[(h.biHeight - 1 - y) * ((h.biWidth + 3) & ~3) + x]]);
    }
};

}  // namespace

TEST(Dib, FreshObjectIsSixteenBySixteenBlackGreyPicture) {
    CDIB dib;
    const BITMAPINFOHEADER* h = dib.GetHeader();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, 16);
    EXPECT_EQ(h->biHeight, 16);
    EXPECT_EQ(h->biBitCount, 8);
    EXPECT_EQ(h->biClrUsed, 0u);
    EXPECT_EQ(BitsOffset(dib), 1064);
    EXPECT_EQ(dib.GetDrawSize().cx, 16);
    EXPECT_EQ(dib.GetDrawSize().cy, 16);
    ASSERT_EQ(PaletteSize(dib), 256);
    EXPECT_EQ(PaletteEntry(dib, 0), 0u);
    EXPECT_EQ(PaletteEntry(dib, 200), Rgb(200, 200, 200));
    EXPECT_EQ(dib.GetPalette(), dib.GetPalette()) << "made once";

    // Both paths draw a black 16 by 16 square, and nothing else.
    for (BOOL useDrawDib : {TRUE, FALSE}) {
        Canvas canvas(30, 30);
        dib.DrawCell(canvas.dc(), 10, 12, 0, nullptr, FALSE, useDrawDib);
        EXPECT_EQ(canvas.Mismatches(RECT{10, 12, 26, 28}, [](int, int) { return 0u; }), 0) << "DrawDib " << useDrawDib;
    }

    // Rows are rounded up to four bytes.
    ASSERT_TRUE(dib.Create(5, 3));
    EXPECT_EQ(::GlobalSize(::GlobalHandle(dib.GetBlock())), 1064u + 8 * 3);
    EXPECT_FALSE(dib.Create(0, 4));
    EXPECT_TRUE(dib.IsEmpty());
}

TEST(Dib, HeaderRulesGiveColourCountPaletteAndPixelOffset) {
    CDIB dib;
    auto index = [](int x, int y) { return static_cast<DWORD>((x + 4 * y) % 16); };

    // 8 bits with biClrUsed 16: 16 palette entries, rows at 40 + 16 * 4.
    std::vector<RGBQUAD> table = Colours(16);
    std::vector<BYTE> packed = InfoDib(8, 4, 8, 16, table, index);
    ASSERT_TRUE(dib.LoadFromMemory(packed.data(), packed.size()));
    EXPECT_EQ(dib.GetNumColors(), 16);
    EXPECT_EQ(BitsOffset(dib), 104);
    ASSERT_EQ(PaletteSize(dib), 16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(PaletteEntry(dib, i), FromQuad(table[i]));
    for (BOOL useDrawDib : {TRUE, FALSE}) {
        Canvas canvas(12, 8);
        RECT dest{2, 3, 10, 7};
        dib.Draw(canvas.dc(), &dest, nullptr, nullptr, FALSE, useDrawDib);
        EXPECT_EQ(canvas.Mismatches(dest, [&](int x, int y) { return FromQuad(table[index(x, y)]); }), 0);
    }

    // 8 bits with biClrUsed 0: all 256 entries.
    table = Colours(256);
    packed = InfoDib(4, 2, 8, 0, table, index);
    ASSERT_TRUE(dib.LoadFromMemory(packed.data(), packed.size()));
    EXPECT_EQ(BitsOffset(dib), 40 + 1024);
    ASSERT_EQ(PaletteSize(dib), 256);
    EXPECT_EQ(PaletteEntry(dib, 255), FromQuad(table[255]));

    // 24 bits: no colour table, the screen's halftone palette.
    auto rgb = [](int x, int y) { return Rgb(40 * x + 1, 90 * y + 2, 77); };
    packed = InfoDib(5, 3, 24, 0, {}, rgb);
    ASSERT_TRUE(dib.LoadFromMemory(packed.data(), packed.size()));
    EXPECT_EQ(dib.GetNumColors(), 0);
    EXPECT_EQ(BitsOffset(dib), 40);
    WindowDC screen(nullptr);
    UniqueGdiObject halftone(::CreateHalftonePalette(screen.Get()));
    auto halftonePalette = static_cast<HPALETTE>(halftone.Get());
    ASSERT_EQ(PaletteSize(dib), static_cast<int>(::GetPaletteEntries(halftonePalette, 0, 0, nullptr)));
    for (int i : {0, 10, 100}) EXPECT_EQ(PaletteEntry(dib, i), PaletteEntry(halftonePalette, i));
    Canvas canvas(5, 3);
    dib.Draw(canvas.dc(), nullptr, nullptr);
    EXPECT_EQ(canvas.Mismatches(RECT{0, 0, 5, 3}, rgb), 0);

    // A core header: 12 bytes, 3-byte colour entries; drawn as well.
    std::vector<RGBTRIPLE> triples(16);
    for (int i = 0; i < 16; ++i) triples[i] = RGBTRIPLE{BYTE(i), BYTE(16 * i), 200};
    BITMAPCOREHEADER core{sizeof(core), 6, 2, 1, 4};
    packed.clear();
    Append(packed, &core, 1);
    Append(packed, triples.data(), triples.size());
    AppendRows(packed, 6, 2, 4, index);
    ASSERT_TRUE(dib.LoadFromMemory(packed.data(), packed.size()));
    EXPECT_EQ(dib.GetWidth(), 6);
    EXPECT_EQ(dib.GetNumColors(), 16);
    EXPECT_EQ(BitsOffset(dib), 12 + 16 * 3);
    EXPECT_EQ(PaletteEntry(dib, 9), Rgb(200, 16 * 9, 9));
    Canvas coreCanvas(6, 2);
    dib.Draw(coreCanvas.dc(), nullptr, nullptr);
    EXPECT_EQ(coreCanvas.Mismatches(RECT{0, 0, 6, 2}, [&](int x, int y) { return Rgb(200, 16 * index(x, y), index(x, y)); }), 0);

    // Blocks too short for their colour table or their rows are refused.
    packed = InfoDib(8, 4, 8, 0, table, index);
    EXPECT_FALSE(dib.LoadFromMemory(packed.data(), 40 + 500));
    EXPECT_FALSE(dib.LoadFromMemory(packed.data(), packed.size() - 1));
    EXPECT_TRUE(dib.IsEmpty());
}

TEST(Dib, StripLoadsFromResourceAndDrawSizeClamps) {
    Strip strip;
    ASSERT_NE(strip.data, nullptr);
    CDIB dib;
    ASSERT_TRUE(dib.LoadFromResource(IDB_BUTTONS));
    ASSERT_EQ(::GlobalSize(::GlobalHandle(dib.GetBlock())), strip.size);
    EXPECT_EQ(std::memcmp(dib.GetBlock(), strip.data, strip.size), 0) << "copied byte for byte";
    EXPECT_EQ(BitsOffset(dib), static_cast<ptrdiff_t>(40 + strip.Header().biClrUsed * 4));
    EXPECT_EQ(dib.GetDrawSize().cx, 88);
    EXPECT_EQ(dib.GetDrawSize().cy, 175);

    dib.SetDrawSize(SIZE{1000, 35});
    EXPECT_EQ(dib.GetDrawSize().cx, 88);
    EXPECT_EQ(dib.GetDrawSize().cy, 35);
    dib.SetDrawSize(SIZE{30, 176});
    EXPECT_EQ(dib.GetDrawSize().cx, 30);
    EXPECT_EQ(dib.GetDrawSize().cy, 175);

    // A missing resource leaves the object empty, drawing nothing.
    EXPECT_FALSE(dib.LoadFromResource(9999));
    EXPECT_TRUE(dib.IsEmpty());
    EXPECT_EQ(dib.GetBits(), nullptr);
    dib.SetDrawSize(SIZE{10, 10});
    EXPECT_EQ(dib.GetDrawSize().cx, 30) << "kept by Free, unchanged when empty";
    Canvas canvas(100, 100);
    RECT r{0, 0, 50, 50};
    dib.Draw(canvas.dc(), &r, &r);
    dib.DrawCell(canvas.dc(), 0, 0, 1);
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    for (int mode = 1; mode <= 4; ++mode) dib.DrawInWindow(canvas.dc(), mode, window);
    ::DestroyWindow(window);
    EXPECT_EQ(canvas.Mismatches(RECT{}, nullptr), 0);
}

TEST(Dib, CellsAreCutFromTheStripByDrawSize) {
    Strip strip;
    CDIB dib;
    ASSERT_TRUE(dib.LoadFromResource(IDB_BUTTONS));
    dib.SetDrawSize(SIZE{88, 35});
    // The looks differ, so the comparisons below tell the cells apart.
    ASSERT_NE(strip.Pixel(44, 35 + 17), strip.Pixel(44, 105 + 17));

    // Cell i of the vertical strip is (0, 35 i)-(88, 35 i + 35) on both paths;
    // cell 2 is (0, 70)-(88, 105).
    for (BOOL useDrawDib : {TRUE, FALSE}) {
        for (int cell = 0; cell < 5; ++cell) {
            Canvas canvas(100, 50);
            dib.DrawCell(canvas.dc(), POINT{5, 7}, cell, nullptr, FALSE, useDrawDib);
            EXPECT_EQ(canvas.Mismatches(RECT{5, 7, 93, 42}, [&](int x, int y) { return strip.Pixel(x, 35 * cell + y); }), 0)
                << "cell " << cell << " DrawDib " << useDrawDib;
        }
    }

    // Cells of 44 by 35: two columns, so cell 3 is column 1 of row 1.
    dib.SetDrawSize(SIZE{44, 35});
    Canvas canvas(50, 40);
    dib.DrawCell(canvas.dc(), 0, 0, 3);
    EXPECT_EQ(canvas.Mismatches(RECT{0, 0, 44, 35}, [&](int x, int y) { return strip.Pixel(44 + x, 35 + y); }), 0);
}

TEST(Dib, DrawInWindowLaysCopiesOutByMode) {
    // Tile: 300 by 200 with a 100 by 100 picture gives 4 columns by 3 rows,
    // the last ones outside the client area.
    std::vector<RECT> tiles = CDIB::LayoutCopies(3, RECT{0, 0, 300, 200}, 100, 100);
    ASSERT_EQ(tiles.size(), 12u);
    EXPECT_EQ(tiles[3].left, 300) << "rows of four";
    EXPECT_EQ(tiles[4].top, 100);
    EXPECT_EQ(tiles[11].right, 400);
    EXPECT_EQ(tiles[11].bottom, 300);
    EXPECT_EQ(CDIB::LayoutCopies(3, RECT{0, 0, 100, 100}, 100, 100).size(), 1u) << "not larger: one copy";

    auto rgb = [](int x, int y) { return Rgb(2 * x, 2 * y, 200); };
    std::vector<BYTE> packed = InfoDib(100, 100, 24, 0, {}, rgb);
    CDIB dib;
    ASSERT_TRUE(dib.LoadFromMemory(packed.data(), packed.size()));
    auto drawIn = [&](int width, int height, int mode, Canvas& canvas) {
        HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, width, height, nullptr, nullptr, nullptr, nullptr);
        dib.DrawInWindow(canvas.dc(), mode, window);
        ::DestroyWindow(window);
    };
    Canvas tiled(300, 200);
    drawIn(300, 200, 3, tiled);
    EXPECT_EQ(tiled.Mismatches(RECT{0, 0, 300, 200}, [&](int x, int y) { return rgb(x % 100, y % 100); }), 0);

    Canvas stretched(300, 200);
    drawIn(300, 200, 2, stretched);
    EXPECT_EQ(stretched.At(0, 0), rgb(0, 0));
    EXPECT_EQ(stretched.At(150, 100), rgb(50, 50));
    EXPECT_EQ(stretched.At(299, 199), rgb(99, 99));

    // Centre, halves toward zero: (301 - 100) / 2 = 100, (201 - 100) / 2 = 50.
    Canvas centred(301, 201);
    drawIn(301, 201, 4, centred);
    EXPECT_EQ(centred.Mismatches(RECT{100, 50, 200, 150}, rgb), 0);
    // Not larger in a direction: 0 there.
    Canvas narrow(120, 80);
    drawIn(250, 80, 4, narrow);
    EXPECT_EQ(narrow.Mismatches(RECT{75, 0, 175, 100}, rgb), 0);

    for (int mode : {1, 0, 7}) {
        Canvas canvas(300, 200);
        drawIn(300, 200, mode, canvas);
        EXPECT_EQ(canvas.Mismatches(RECT{0, 0, 100, 100}, rgb), 0) << "mode " << mode;
    }
}
