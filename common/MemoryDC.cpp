#include "MemoryDC.h"

#include <new>

CMemoryDC::CMemoryDC(HDC reference, int width, int height) {
    m_dc.Reset(::CreateCompatibleDC(reference));
    if (!m_dc) throw std::bad_alloc();
    m_bitmap.Reset(::CreateCompatibleBitmap(reference, width, height));
    if (m_bitmap) m_hPrevBitmap = ::SelectObject(m_dc.Get(), m_bitmap.Get());
}

CMemoryDC::~CMemoryDC() {
    if (m_hPrevBitmap) ::SelectObject(m_dc.Get(), m_hPrevBitmap);
    // The members then delete the off-screen bitmap, no longer selected, and the context.
}
