// The bitmap class with real pictures: packed DIBs built byte by byte and the
// launcher's button strip, drawn into 32-bit off-screen pictures whose pixels
// are compared with the source pixels.
#include <cstring>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "DIB.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

namespace {

constexpr COLORREF kUntouched = RGB(0x12, 0x34, 0x56);  // a fresh canvas
using PixelFn = std::function<COLORREF(int, int)>;      // (x, y from the top) -> colour, or index

COLORREF FromQuad(const RGBQUAD& q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }

template <typename T>
void Append(std::vector<BYTE>& out, const T* data, size_t count) {
    size_t at = out.size();
    out.resize(at + count * sizeof(T));
    if (count) std::memcpy(out.data() + at, data, count * sizeof(T));
}

// Bottom-up rows of colour indices, or of colours for 24 bits.
void AppendRows(std::vector<BYTE>& out, int w, int h, int bits, const PixelFn& pixel) {
    int stride = (w * bits + 31) / 32 * 4;
    for (int y = h - 1; y >= 0; --y) {
        std::vector<BYTE> line(stride, 0);
        for (int x = 0; x < w; ++x) {
            COLORREF v = pixel(x, y);
            if (bits == 24) {
                line[x * 3] = GetBValue(v), line[x * 3 + 1] = GetGValue(v), line[x * 3 + 2] = GetRValue(v);
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

int Mismatches(CDIB& dib, const RECT& at, const PixelFn& expected, BOOL useDrawDib = FALSE) {
    Canvas canvas(at.right + 2, at.bottom + 2);
    dib.Draw(canvas.dc(), &at, nullptr, nullptr, FALSE, useDrawDib);
    return canvas.Mismatches(at, expected, kUntouched);
}

// The button strip as stored in the program file, read without CDIB.
struct Strip {
    const BYTE* data = nullptr;
    DWORD size = 0;
    Strip() {
        HRSRC res = ::FindResourceW(nullptr, MAKEINTRESOURCEW(IDB_BUTTONS), RT_BITMAP);
        size = ::SizeofResource(nullptr, res);
        data = static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, res)));
    }
    COLORREF Pixel(int x, int y) const {
        auto& h = *reinterpret_cast<const BITMAPINFOHEADER*>(data);
        auto* table = reinterpret_cast<const RGBQUAD*>(data + h.biSize);
        const BYTE* rows = data + h.biSize + h.biClrUsed * 4;
        return FromQuad(table[rows[(h.biHeight - 1 - y) * ((h.biWidth + 3) & ~3) + x]]);
    }
};

}  // namespace

TEST(Dib, EveryHeaderKindDrawsItsPixelsOnBothPaths) {
    CDIB dib;
    // A fresh object is a black 16 by 16 picture.
    for (BOOL useDrawDib : {TRUE, FALSE}) {
        Canvas canvas(30, 30);
        dib.DrawCell(canvas.dc(), 10, 12, 0, nullptr, FALSE, useDrawDib);
        EXPECT_EQ(canvas.Mismatches(RECT{10, 12, 26, 28}, [](int, int) { return RGB(0, 0, 0); }, kUntouched), 0);
    }
    auto index = [](int x, int y) { return static_cast<COLORREF>((x + 4 * y) % 16); };

    // 8 bits with a 16-colour table (biClrUsed 16), and with a full one (biClrUsed 0).
    for (int colours : {16, 256}) {
        std::vector<RGBQUAD> table = Colours(colours);
        std::vector<BYTE> packed = InfoDib(8, 4, 8, colours == 256 ? 0 : 16, table, index);
        ASSERT_TRUE(dib.LoadFromMemory(packed.data(), packed.size()));
        EXPECT_EQ(dib.GetBits() - dib.GetBlock(), 40 + 4 * colours);
        for (BOOL useDrawDib : {TRUE, FALSE})
            EXPECT_EQ(Mismatches(dib, RECT{2, 3, 10, 7}, [&](int x, int y) { return FromQuad(table[index(x, y)]); },
                                 useDrawDib), 0) << colours << " colours, DrawDib " << useDrawDib;
    }
    // 24 bits, no colour table.
    auto rgb = [](int x, int y) { return RGB(40 * x + 1, 90 * y + 2, 77); };
    std::vector<BYTE> packed = InfoDib(5, 3, 24, 0, {}, rgb);
    ASSERT_TRUE(dib.LoadFromMemory(packed.data(), packed.size()));
    EXPECT_EQ(Mismatches(dib, RECT{0, 0, 5, 3}, rgb), 0);

    // Blocks too short for their colour table or their rows are refused.
    packed = InfoDib(8, 4, 8, 0, Colours(256), index);
    EXPECT_FALSE(dib.LoadFromMemory(packed.data(), 40 + 500));
    EXPECT_FALSE(dib.LoadFromMemory(packed.data(), packed.size() - 1));
    EXPECT_TRUE(dib.IsEmpty());
}

TEST(Dib, StripCellsAreCutByDrawSizeAndAMissingResourceDrawsNothing) {
    Strip strip;
    ASSERT_NE(strip.data, nullptr);
    CDIB dib;
    ASSERT_TRUE(dib.LoadFromResource(IDB_BUTTONS));
    ASSERT_EQ(::GlobalSize(::GlobalHandle(dib.GetBlock())), strip.size);
    EXPECT_EQ(std::memcmp(dib.GetBlock(), strip.data, strip.size), 0) << "copied byte for byte";
    EXPECT_EQ(dib.GetDrawSize().cy, 175);
    dib.SetDrawSize(SIZE{1000, 35});
    EXPECT_EQ(dib.GetDrawSize().cx, 88) << "clamped to the picture";

    // Cell i of the vertical strip is (0, 35 i)-(88, 35 i + 35) on both paths.
    ASSERT_NE(strip.Pixel(44, 35 + 17), strip.Pixel(44, 105 + 17)) << "the looks differ";
    for (BOOL useDrawDib : {TRUE, FALSE})
        for (int cell = 0; cell < 5; ++cell) {
            Canvas canvas(100, 50);
            dib.DrawCell(canvas.dc(), POINT{5, 7}, cell, nullptr, FALSE, useDrawDib);
            EXPECT_EQ(canvas.Mismatches(RECT{5, 7, 93, 42}, [&](int x, int y) { return strip.Pixel(x, 35 * cell + y); },
                                        kUntouched), 0) << "cell " << cell << " DrawDib " << useDrawDib;
        }
    // Cells of 44 by 35: two columns, so cell 3 is column 1 of row 1.
    dib.SetDrawSize(SIZE{44, 35});
    Canvas canvas(50, 40);
    dib.DrawCell(canvas.dc(), 0, 0, 3);
    EXPECT_EQ(canvas.Mismatches(RECT{0, 0, 44, 35}, [&](int x, int y) { return strip.Pixel(44 + x, 35 + y); }, kUntouched), 0);

    EXPECT_FALSE(dib.LoadFromResource(9999));
    EXPECT_TRUE(dib.IsEmpty());
    Canvas empty(100, 100);
    RECT r{0, 0, 50, 50};
    dib.Draw(empty.dc(), &r, &r);
    dib.DrawCell(empty.dc(), 0, 0, 1);
    EXPECT_EQ(empty.Mismatches(RECT{}, nullptr, kUntouched), 0);
}

TEST(Dib, DrawInWindowTilesOrCentres) {
    auto rgb = [](int x, int y) { return RGB(2 * x, 2 * y, 200); };
    std::vector<BYTE> packed = InfoDib(100, 100, 24, 0, {}, rgb);
    CDIB dib;
    ASSERT_TRUE(dib.LoadFromMemory(packed.data(), packed.size()));
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 301, 201, nullptr, nullptr, nullptr, nullptr);
    Canvas tiled(301, 201), centred(301, 201);
    dib.DrawInWindow(tiled.dc(), 3, window);
    // Centre, halves toward zero: (301 - 100) / 2 = 100, (201 - 100) / 2 = 50.
    dib.DrawInWindow(centred.dc(), 4, window);
    ::DestroyWindow(window);
    EXPECT_EQ(tiled.Mismatches(RECT{0, 0, 301, 201}, [&](int x, int y) { return rgb(x % 100, y % 100); }, 0), 0);
    EXPECT_EQ(centred.Mismatches(RECT{100, 50, 200, 150}, rgb, kUntouched), 0);
}
