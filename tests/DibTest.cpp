// The bitmap class with the launcher's button strip, drawn into 32-bit off-screen
// pictures whose pixels are compared with the strip's own.
#include <cstring>

#include <gtest/gtest.h>

#include "DIB.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

namespace {

constexpr COLORREF kUntouched = RGB(0x12, 0x34, 0x56);  // a fresh canvas
COLORREF FromQuad(const RGBQUAD& q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }
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
