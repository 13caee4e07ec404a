#include "DIB.h"

#include <algorithm>
#include <cstring>

#include "UniqueHandle.h"

namespace {

// Header (40 bytes) and a full 256-entry colour table.
constexpr size_t kCreateOverhead = 40 + 256 * 4;

// Selects a palette into a DC for one scope and realises it; puts the previous
// one back in the background.
class PaletteScope {
public:
    PaletteScope(HDC dc, HPALETTE palette, BOOL foreground) : m_dc(dc) {
        if (!palette) return;
        m_old = ::SelectPalette(dc, palette, !foreground);
        ::RealizePalette(dc);
    }
    ~PaletteScope() {
        if (m_old) ::SelectPalette(m_dc, m_old, TRUE);
    }
    PaletteScope(const PaletteScope&) = delete;
    PaletteScope& operator=(const PaletteScope&) = delete;

private:
    HDC m_dc;
    HPALETTE m_old = nullptr;
};

}  // namespace

CDIBPalette::~CDIBPalette() {
    if (m_hPalette) ::DeleteObject(m_hPalette);
}

int CDIBPalette::GetEntryCount() const {
    WORD count = 0;
    if (m_hPalette) ::GetObjectW(m_hPalette, sizeof(count), &count);
    return count;
}

CDIB::CDIB() { Create(16, 16); }

CDIB::~CDIB() {
    Free();
    if (m_hDrawDib) ::DrawDibClose(m_hDrawDib);
}

bool CDIB::AllocateBlock(size_t size) {
    m_hMemory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!m_hMemory) return false;
    m_pBlock = ::GlobalLock(m_hMemory);
    if (!m_pBlock) {
        ::GlobalFree(m_hMemory);
        m_hMemory = nullptr;
        return false;
    }
    return true;
}

BOOL CDIB::Create(int width, int height) {
    Free();
    if (width <= 0 || height <= 0) return FALSE;
    unsigned long long pixels = ((static_cast<unsigned long long>(width) + 3) & ~3ULL) * height;
    if (pixels > 0x7FFFFFFF - kCreateOverhead) return FALSE;
    if (!AllocateBlock(static_cast<size_t>(pixels) + kCreateOverhead)) return FALSE;

    auto* header = static_cast<BITMAPINFOHEADER*>(m_pBlock);
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = 8;
    auto* table = reinterpret_cast<BYTE*>(header + 1);
    for (int i = 0; i < 256; ++i) {
        table[i * 4 + 0] = table[i * 4 + 1] = table[i * 4 + 2] = static_cast<BYTE>(i);
    }
    SetPointers();
    m_nDrawWidth = width;
    m_nDrawHeight = height;
    return TRUE;
}

BOOL CDIB::LoadFromResource(UINT id, HMODULE module) {
    Free();
    if (!module) module = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(static_cast<WORD>(id)), RT_BITMAP);
    if (!resource) return FALSE;
    DWORD size = ::SizeofResource(module, resource);
    HGLOBAL loaded = ::LoadResource(module, resource);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data || size == 0) return FALSE;
    return LoadFromMemory(data, size);
}

BOOL CDIB::LoadFromMemory(const void* data, size_t size) {
    Free();
    if (!data || size < sizeof(BITMAPCOREHEADER)) return FALSE;
    DWORD headerSize = 0;
    std::memcpy(&headerSize, data, sizeof(headerSize));
    if (headerSize != sizeof(BITMAPCOREHEADER) && headerSize < sizeof(BITMAPINFOHEADER)) return FALSE;
    if (headerSize > size) return FALSE;
    if (!AllocateBlock(size)) return FALSE;
    std::memcpy(m_pBlock, data, size);
    m_pHeader = static_cast<BITMAPINFOHEADER*>(m_pBlock);

    // Refuse blocks too short for their own colour table and pixel rows, so
    // that neither the palette nor a draw reads past the block.
    bool valid = GetWidth() > 0 && GetHeight() > 0 && (IsCoreHeader() || m_pHeader->biClrUsed <= 0xFFFF);
    if (valid) {
        SetPointers();
        size_t offset = static_cast<size_t>(m_pBits - GetBlock());
        valid = offset <= size;
        bool uncompressed = IsCoreHeader() || m_pHeader->biCompression == BI_RGB;
        if (valid && uncompressed) {
            unsigned long long stride = (static_cast<unsigned long long>(GetWidth()) * GetBitCount() + 31) / 32 * 4;
            valid = stride * GetHeight() <= size - offset;
        }
    }
    if (!valid) {
        Free();
        return FALSE;
    }
    m_nDrawWidth = GetWidth();
    m_nDrawHeight = GetHeight();
    return TRUE;
}

void CDIB::SetPointers() {
    m_pHeader = static_cast<BITMAPINFOHEADER*>(m_pBlock);
    m_pBits = static_cast<BYTE*>(m_pBlock) + m_pHeader->biSize + GetNumColors() * GetColorEntrySize();
}

bool CDIB::IsCoreHeader() const { return m_pHeader && m_pHeader->biSize == sizeof(BITMAPCOREHEADER); }

int CDIB::GetBitCount() const {
    if (!m_pHeader) return 0;
    if (IsCoreHeader()) return reinterpret_cast<const BITMAPCOREHEADER*>(m_pHeader)->bcBitCount;
    return m_pHeader->biBitCount;
}

int CDIB::GetWidth() const {
    if (!m_pHeader) return 0;
    if (IsCoreHeader()) return reinterpret_cast<const BITMAPCOREHEADER*>(m_pHeader)->bcWidth;
    return m_pHeader->biWidth;
}

int CDIB::GetHeight() const {
    if (!m_pHeader) return 0;
    if (IsCoreHeader()) return reinterpret_cast<const BITMAPCOREHEADER*>(m_pHeader)->bcHeight;
    return m_pHeader->biHeight;
}

int CDIB::GetNumColors() const {
    if (!m_pHeader) return 0;
    if (!IsCoreHeader() && m_pHeader->biClrUsed != 0) return static_cast<int>(m_pHeader->biClrUsed);
    switch (GetBitCount()) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

void CDIB::SetDrawSize(SIZE size) {
    if (IsEmpty()) return;
    m_nDrawWidth = std::min(static_cast<int>(size.cx), GetWidth());
    m_nDrawHeight = std::min(static_cast<int>(size.cy), GetHeight());
}

CDIBPalette* CDIB::GetPalette() {
    if (m_pPalette) return m_pPalette.get();
    int count = GetNumColors();
    if (count > 0) {
        // LOGPALETTE: version, count, then red, green, blue, flags per entry.
        std::vector<BYTE> record(count * 4 + 8);
        WORD version = 0x300, entries = static_cast<WORD>(count);
        std::memcpy(&record[0], &version, 2);
        std::memcpy(&record[2], &entries, 2);
        const BYTE* table = GetBlock() + m_pHeader->biSize;
        int step = GetColorEntrySize();
        for (int i = 0; i < count; ++i) {
            const BYTE* bgr = table + i * step;
            record[4 + i * 4 + 0] = bgr[2];
            record[4 + i * 4 + 1] = bgr[1];
            record[4 + i * 4 + 2] = bgr[0];
        }
        HPALETTE palette = ::CreatePalette(reinterpret_cast<const LOGPALETTE*>(record.data()));
        if (palette) {
            m_pPalette = std::make_unique<CDIBPalette>(palette);
            return m_pPalette.get();
        }
    }
    // No colour table (or no palette from it): the screen's halftone palette.
    WindowDC screen(nullptr);
    m_pPalette = std::make_unique<CDIBPalette>(::CreateHalftonePalette(screen.Get()));
    return m_pPalette.get();
}

void CDIB::Free() {
    if (m_hMemory) {
        ::GlobalUnlock(m_hMemory);
        ::GlobalFree(m_hMemory);
    }
    m_hMemory = nullptr;
    m_pBlock = nullptr;
    m_pHeader = nullptr;
    m_pBits = nullptr;
    m_pPalette.reset();
    // DrawDib keeps the format it last drew by header address; the next block
    // may get the same address with another format.
    if (m_hDrawDib) ::DrawDibEnd(m_hDrawDib);
}

void CDIB::Draw(HDC dc, const RECT* dest, const RECT* src, CDIBPalette* palette, BOOL foreground, BOOL useDrawDib) {
    if (IsEmpty()) return;
    RECT whole{0, 0, m_nDrawWidth, m_nDrawHeight};
    const RECT& d = dest ? *dest : whole;
    const RECT& s = src ? *src : whole;
    if (!palette) palette = GetPalette();
    PaletteScope selected(dc, palette ? palette->GetHandle() : nullptr, foreground);

    // DrawDib understands Windows 3.0 headers only; a core header takes the GDI path.
    if (useDrawDib && !IsCoreHeader()) {
        if (!m_hDrawDib) m_hDrawDib = ::DrawDibOpen();
        ::DrawDibDraw(m_hDrawDib, dc, d.left, d.top, d.right - d.left, d.bottom - d.top, m_pHeader, m_pBits, s.left,
                      s.top, s.right - s.left, s.bottom - s.top, foreground ? 0 : DDF_BACKGROUNDPAL);
        return;
    }
    // StretchDIBits counts source rows of a bottom-up picture from the bottom.
    int srcHeight = s.bottom - s.top;
    int srcY = GetHeight() - s.bottom;
    ::StretchDIBits(dc, d.left, d.top, d.right - d.left, d.bottom - d.top, s.left, srcY, s.right - s.left, srcHeight,
                    m_pBits, reinterpret_cast<const BITMAPINFO*>(m_pHeader), DIB_RGB_COLORS, SRCCOPY);
}

void CDIB::DrawCell(HDC dc, POINT pt, int index, CDIBPalette* palette, BOOL foreground, BOOL useDrawDib) {
    DrawCell(dc, pt.x, pt.y, index, palette, foreground, useDrawDib);
}

void CDIB::DrawCell(HDC dc, int x, int y, int index, CDIBPalette* palette, BOOL foreground, BOOL useDrawDib) {
    if (IsEmpty() || m_nDrawWidth <= 0 || m_nDrawHeight <= 0) return;
    int columns = GetWidth() / m_nDrawWidth;
    int left = index % columns * m_nDrawWidth;
    int top = index / columns * m_nDrawHeight;
    RECT src{left, top, left + m_nDrawWidth, top + m_nDrawHeight};
    RECT dest{x, y, x + m_nDrawWidth, y + m_nDrawHeight};
    Draw(dc, &dest, &src, palette, foreground, useDrawDib);
}

void CDIB::DrawInWindow(HDC dc, int mode, HWND window, CDIBPalette* palette, BOOL foreground, BOOL useDrawDib) {
    if (IsEmpty()) return;
    RECT client{};
    ::GetClientRect(window, &client);
    RECT whole{0, 0, GetWidth(), GetHeight()};
    for (const RECT& dest : LayoutCopies(mode, client, GetWidth(), GetHeight()))
        Draw(dc, &dest, &whole, palette, foreground, useDrawDib);
}

std::vector<RECT> CDIB::LayoutCopies(int mode, const RECT& client, int w, int h) {
    std::vector<RECT> copies;
    if (w <= 0 || h <= 0) return copies;
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    switch (mode) {
    case 2:
        copies.push_back(RECT{0, 0, width, height});
        break;
    case 3: {
        // The last column and row may lie partly or wholly outside the client area.
        int columns = width > w ? width / w + 1 : 1;
        int rows = height > h ? height / h + 1 : 1;
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column)
                copies.push_back(RECT{column * w, row * h, column * w + w, row * h + h});
        break;
    }
    case 4: {
        int x = width > w ? (client.right - w - client.left) / 2 : 0;
        int y = height > h ? (client.bottom - h - client.top) / 2 : 0;
        copies.push_back(RECT{x, y, x + w, y + h});
        break;
    }
    default:
        copies.push_back(RECT{0, 0, w, h});
        break;
    }
    return copies;
}
