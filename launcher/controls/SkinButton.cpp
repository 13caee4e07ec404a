#include "SkinButton.h"

#include <commctrl.h>
#include <windowsx.h>

#include "UniqueHandle.h"

CSkinButton::~CSkinButton() = default;

BOOL CSkinButton::Create(const std::wstring& caption, const RECT& rect, HWND parent, UINT id) {
    m_nID = id;
    m_strCaption = caption;
    return CreateEx(0, DefaultChildClass(), L"", WS_CHILD | WS_VISIBLE, rect, parent, id);
}

BOOL CSkinButton::LoadSkin(UINT bitmapId, int cellWidth, int cellHeight) {
    BOOL loaded = m_picture.LoadFromResource(bitmapId);
    if (loaded) m_picture.SetDrawSize(SIZE{cellWidth, cellHeight});
    return loaded;
}

void CSkinButton::SetCells(int normalCell, int hoverCell) {
    m_nNormalCell = normalCell;
    m_nHoverCell = hoverCell;
}

LRESULT CSkinButton::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate(wParam, lParam);
    case WM_DESTROY:
        m_toolTip.Reset();
        break;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_MOUSEMOVE:
        return OnMouseMove(wParam, lParam);
    case WM_LBUTTONDOWN:
        return OnLButtonDown(wParam, lParam);
    case WM_CAPTURECHANGED:
        return OnCaptureChanged(wParam, lParam);
    case WM_NOTIFY:
        if (OnToolTipNotify(reinterpret_cast<NMHDR*>(lParam))) return TRUE;
        break;
    // WM_SETCURSOR: the default asks the parent first (the view picks the cursor).
    }
    return Default(msg, wParam, lParam);
}

LRESULT CSkinButton::OnCreate(WPARAM wParam, LPARAM lParam) {
    if (Default(WM_CREATE, wParam, lParam) == -1) return -1;
    // One tool over the whole button; the tip control watches our mouse
    // messages itself (TTF_SUBCLASS) and asks us for the text.
    m_toolTip.Reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                      WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, ::GetModuleHandleW(nullptr),
                                      nullptr));
    if (m_toolTip) {
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = m_hWnd;
        tool.uId = 1;
        ::GetClientRect(m_hWnd, &tool.rect);
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        ::SendMessageW(m_toolTip.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    return 0;
}

bool CSkinButton::OnToolTipNotify(NMHDR* hdr) {
    if (!hdr || hdr->hwndFrom != m_toolTip.Get() || hdr->code != TTN_GETDISPINFOW) return false;
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(hdr);
    info->lpszText = const_cast<wchar_t*>(m_strCaption.c_str());
    return true;
}

void CSkinButton::OnPaint() {
    PaintDC dc(m_hWnd);
    m_picture.DrawCell(dc.Get(), 0, 0, m_nLook == 0 ? m_nNormalCell : m_nHoverCell);
    RECT text;
    ::GetClientRect(m_hWnd, &text);
    ::InflateRect(&text, -10, -10);
    ::SetBkMode(dc.Get(), TRANSPARENT);
    ::SetTextColor(dc.Get(), RGB(255, 255, 255));
    ::DrawTextW(dc.Get(), m_strCaption.c_str(), -1, &text, DT_CENTER);
}

LRESULT CSkinButton::OnMouseMove(WPARAM wParam, LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (!m_bTracking) {
        ::SetCapture(m_hWnd);
        m_bTracking = TRUE;
        m_nLook = 1;
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        return Default(WM_MOUSEMOVE, wParam, lParam);
    }
    // While we hold the capture every move comes here: leave the hover look as
    // soon as another window (even one lying over us) is under the pointer.
    POINT screen = pt;
    ::ClientToScreen(m_hWnd, &screen);
    if (::WindowFromPoint(screen) != m_hWnd) {
        StopTracking();
        return 0;
    }
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (!::PtInRect(&client, pt)) StopTracking();
    return Default(WM_MOUSEMOVE, wParam, lParam);
}

LRESULT CSkinButton::OnLButtonDown(WPARAM wParam, LPARAM lParam) {
    if (m_bTracking) {
        ::SetFocus(m_hWnd);
        StopTracking();
        // On the press, not the release: WM_LBUTTONUP is not ours to handle.
        ::PostMessageW(::GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(m_nID, 0), 0);
    }
    return Default(WM_LBUTTONDOWN, wParam, lParam);
}

LRESULT CSkinButton::OnCaptureChanged(WPARAM wParam, LPARAM lParam) {
    if (reinterpret_cast<HWND>(lParam) != m_hWnd && m_bTracking) StopTracking();
    return Default(WM_CAPTURECHANGED, wParam, lParam);
}

void CSkinButton::StopTracking() {
    // Only our own capture: another window of this thread may just have taken it.
    if (::GetCapture() == m_hWnd) ::ReleaseCapture();
    m_bTracking = FALSE;
    m_nLook = 0;
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}
