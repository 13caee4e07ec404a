#include "MemoryDC.h"

#include <new>

CMemoryDC::CMemoryDC(HDC reference, int width, int height) {
    m_hDC = ::CreateCompatibleDC(reference);
    if (!m_hDC) throw std::bad_alloc();
    m_bitmap.Reset(::CreateCompatibleBitmap(reference, width, height));
    if (m_bitmap) m_hPrevBitmap = ::SelectObject(m_hDC, m_bitmap.Get());
}

CMemoryDC::~CMemoryDC() {
    if (m_hPrevBitmap) ::SelectObject(m_hDC, m_hPrevBitmap);
    if (m_hDC) ::DeleteDC(m_hDC);
    // m_bitmap deletes the off-screen bitmap after this, no longer selected.
}
