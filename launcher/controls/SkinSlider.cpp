#include "SkinSlider.h"

#include <windowsx.h>

#include <algorithm>

#include "MemoryDC.h"
#include "Messages.h"
#include "resource.h"

BOOL CSkinSlider::Create(POINT topLeft, HWND parent, UINT id) {
    if (m_track.LoadFromResource(IDB_SLIDER_TRACK)) m_track.SetDrawSize(SIZE{kWidth, kHeight});
    m_thumb.LoadFromResource(IDB_SLIDER_THUMB);
    m_hTrackCursor = ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_TRACK_CURSOR));
    m_nID = id;
    RECT rect{topLeft.x, topLeft.y, topLeft.x + kWidth, topLeft.y + kHeight};
    return CreateEx(0, DefaultChildClass(), L"", WS_CHILD | WS_VISIBLE, rect, parent, id);
}

void CSkinSlider::SetValue(int value) {
    m_nValue = value;
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

int CSkinSlider::ThumbX() const {
    // A range of 0 (no mixer) gives -1 from MulDiv: the thumb rests at 83.
    return kTrack.left + ::MulDiv(kTravel, m_nValue, m_nMaximum - m_nMinimum);
}

int CSkinSlider::ValueFromX(int x) const {
    int t = std::clamp(x - static_cast<int>(kTrack.left), 0, kTravel);
    return ::MulDiv(m_nMaximum - m_nMinimum, t, kTravel);
}

LRESULT CSkinSlider::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate(wParam, lParam);
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(wParam, lParam);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(wParam, lParam);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(wParam, lParam);
        return 0;
    case WM_SETCURSOR:
        ShowCursor();
        return TRUE;
    case WM_CAPTURECHANGED:
        // The mouse was taken from us mid-drag: the release will never come.
        if (reinterpret_cast<HWND>(lParam) != m_hWnd) m_bDragging = FALSE;
        break;
    }
    return Default(msg, wParam, lParam);
}

LRESULT CSkinSlider::OnCreate(WPARAM wParam, LPARAM lParam) {
    if (Default(WM_CREATE, wParam, lParam) == -1) return -1;
    m_mixer.Unmute();
    SetMinimum(static_cast<int>(m_mixer.GetMinimum()));
    SetMaximum(static_cast<int>(m_mixer.GetMaximum()));
    SetValue(static_cast<int>(m_mixer.GetVolume()));
    return 0;
}

void CSkinSlider::OnPaint() {
    PaintDC dc(m_hWnd);
    CMemoryDC memory(dc.Get(), kWidth, kHeight);
    m_track.DrawCell(memory, 0, 0, 0);
    m_thumb.DrawCell(memory, ThumbX(), 0, 0);
    ::BitBlt(dc.Get(), 0, 0, kWidth, kHeight, memory, 0, 0, SRCCOPY);
}

void CSkinSlider::OnMouseMove(WPARAM wParam, LPARAM lParam) {
    m_nPointerX = GET_X_LPARAM(lParam);
    m_nPointerY = GET_Y_LPARAM(lParam);
    if (m_bDragging) {
        SetValue(ValueFromX(m_nPointerX));
        // The captured mouse gets no WM_SETCURSOR: keep the cursor right here.
        ShowCursor();
    }
    Default(WM_MOUSEMOVE, wParam, lParam);
}

void CSkinSlider::OnLButtonDown(WPARAM wParam, LPARAM lParam) {
    // The press is judged by where the pointer last moved, as the cursor shows.
    POINT pt{m_nPointerX, m_nPointerY};
    if (::PtInRect(&kTrack, pt)) {
        m_bDragging = TRUE;
        ::SetCapture(m_hWnd);
    } else {
        m_bDragging = FALSE;
    }
    HWND parent = ::GetParent(m_hWnd);
    if (::PtInRect(&kPlaySpot, pt)) ::PostMessageW(parent, WM_SOUNDPLAY_START, 0, 0);
    if (::PtInRect(&kStopSpot, pt)) ::PostMessageW(parent, WM_SOUNDPLAY_STOP, 0, 0);
    Default(WM_LBUTTONDOWN, wParam, lParam);
}

void CSkinSlider::OnLButtonUp(WPARAM wParam, LPARAM lParam) {
    if (m_bDragging) {
        ::ReleaseCapture();
        m_bDragging = FALSE;
        SetValue(ValueFromX(GET_X_LPARAM(lParam)));
        m_mixer.SetVolume(static_cast<DWORD>(m_nValue));
        ::PostMessageW(::GetParent(m_hWnd), WM_COMMAND, m_nID, 0);
    }
    Default(WM_LBUTTONUP, wParam, lParam);
}

void CSkinSlider::ShowCursor() {
    POINT pt{m_nPointerX, m_nPointerY};
    if (::PtInRect(&kTrack, pt)) {
        if (::GetCursor() != m_hTrackCursor) ::SetCursor(m_hTrackCursor);
    } else {
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    }
}
