#pragma once
// A device-independent bitmap held in one locked block in packed-DIB layout
// (header, colour table, pixel rows), drawn through DrawDib or GDI.
#include <windows.h>
#include <vfw.h>

#include <cstddef>
#include <memory>
#include <vector>

// A palette object: owns one HPALETTE and deletes it.
class CDIBPalette {
public:
    CDIBPalette() = default;
    explicit CDIBPalette(HPALETTE h) : m_hPalette(h) {}
    ~CDIBPalette();
    CDIBPalette(const CDIBPalette&) = delete;
    CDIBPalette& operator=(const CDIBPalette&) = delete;

    HPALETTE GetHandle() const { return m_hPalette; }
    int GetEntryCount() const;

private:
    HPALETTE m_hPalette = nullptr;
};

class CDIB {
public:
    CDIB();  // holds a 16 by 16, 8-bit black picture
    ~CDIB();
    CDIB(const CDIB&) = delete;
    CDIB& operator=(const CDIB&) = delete;

    // A 8-bit picture of grey levels, all pixels 0.
    BOOL Create(int width, int height);
    // An RT_BITMAP resource of module (null: this program's file).
    BOOL LoadFromResource(UINT id, HMODULE module = nullptr);
    // A packed DIB (header, colour table, pixel rows), copied byte for byte.
    BOOL LoadFromMemory(const void* data, size_t size);
    void SetDrawSize(SIZE size);
    CDIBPalette* GetPalette();
    // Releases block and palette; the draw size and the DrawDib handle stay.
    void Free();

    // Rectangles are in picture pixels with a top-left origin; null means the
    // draw size at (0, 0). Palette null: GetPalette().
    void Draw(HDC dc, const RECT* dest, const RECT* src, CDIBPalette* palette = nullptr, BOOL foreground = FALSE,
              BOOL useDrawDib = TRUE);
    void DrawCell(HDC dc, POINT pt, int index, CDIBPalette* palette = nullptr, BOOL foreground = FALSE,
                  BOOL useDrawDib = TRUE);
    void DrawCell(HDC dc, int x, int y, int index, CDIBPalette* palette = nullptr, BOOL foreground = FALSE,
                  BOOL useDrawDib = TRUE);
    // Modes: 2 stretch, 3 tile, 4 centre, anything else at (0, 0).
    void DrawInWindow(HDC dc, int mode, HWND window, CDIBPalette* palette = nullptr, BOOL foreground = FALSE,
                      BOOL useDrawDib = TRUE);

    bool IsEmpty() const { return m_pBlock == nullptr; }
    int GetWidth() const;   // picture width, 0 when empty
    int GetHeight() const;  // picture height, 0 when empty
    int GetNumColors() const;
    const BYTE* GetBlock() const { return static_cast<const BYTE*>(m_pBlock); }

    // Destination rectangles of the copies DrawInWindow draws of a w by h
    // picture into a client rectangle.
    static std::vector<RECT> LayoutCopies(int mode, const RECT& client, int w, int h);

private:
    // Allocates, locks and zeroes a block of size bytes; false on failure.
    bool AllocateBlock(size_t size);
    void SetPointers();
    bool IsCoreHeader() const;
    int GetBitCount() const;
    int GetColorEntrySize() const { return IsCoreHeader() ? 3 : 4; }

    HGLOBAL m_hMemory = nullptr;
    void* m_pBlock = nullptr;
    HDRAWDIB m_hDrawDib = nullptr;
    int m_nDrawWidth = 0;
    int m_nDrawHeight = 0;
    std::unique_ptr<CDIBPalette> m_pPalette;
    BITMAPINFOHEADER* m_pHeader = nullptr;
    BYTE* m_pBits = nullptr;
};
