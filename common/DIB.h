#pragma once
// A device-independent bitmap held in one locked block in packed-DIB layout
// (header, colour table, pixel rows), drawn through DrawDib or GDI.
#include <windows.h>
#include <vfw.h>

// A palette object; CDIB's palettes are plain HPALETTE owners of this kind.
class CDIBPalette {
public:
    CDIBPalette() = default;
    explicit CDIBPalette(HPALETTE h) : m_hPalette(h) {}
    ~CDIBPalette();
    CDIBPalette(const CDIBPalette&) = delete;
    CDIBPalette& operator=(const CDIBPalette&) = delete;

    HPALETTE GetHandle() const { return m_hPalette; }
    void Attach(HPALETTE h);
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

    BOOL Create(int width, int height);
    BOOL LoadFromResource(UINT id, HMODULE module = nullptr);
    void SetDrawSize(SIZE size);
    CDIBPalette* GetPalette();
    void Free();

    // Either rectangle may be null; on the DrawDib path null means the draw size at (0, 0).
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
    SIZE GetDrawSize() const { return SIZE{m_nDrawWidth, m_nDrawHeight}; }
    const BITMAPINFOHEADER* GetHeader() const { return m_pHeader; }
    const BYTE* GetBits() const { return m_pBits; }
    const BYTE* GetBlock() const { return static_cast<const BYTE*>(m_pBlock); }

    // Destination rectangles that DrawInWindow uses for a client rectangle (exposed for tests).
    static int LayoutCopies(int mode, const RECT& client, int w, int h, RECT* out, int maxOut);

private:
    void SetPointers();
    int GetBitCount() const;

    HGLOBAL m_hMemory = nullptr;
    void* m_pBlock = nullptr;
    HDRAWDIB m_hDrawDib = nullptr;
    int m_nDrawWidth = 0;
    int m_nDrawHeight = 0;
    CDIBPalette* m_pPalette = nullptr;
    BITMAPINFOHEADER* m_pHeader = nullptr;
    BYTE* m_pBits = nullptr;
};
