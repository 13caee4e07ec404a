#include "PopupFrame.h"

#include "AppBase.h"
#include "UniqueHandle.h"

CPopupFrame::~CPopupFrame() {
    DestroyWindow();
    if (m_hMenu) ::DestroyMenu(m_hMenu);
}

RECT CPopupFrame::CentredRect(int screenWidth, int screenHeight, int width, int height) {
    int x = (screenWidth - width) / 2;
    int y = (screenHeight - height) / 2;
    return RECT{x, y, x + width, y + height};
}

bool CPopupFrame::LoadFrame(UINT frameId) {
    int screenWidth, screenHeight;
    {
        WindowDC screen(nullptr);
        screenWidth = ::GetDeviceCaps(screen.Get(), HORZRES);
        screenHeight = ::GetDeviceCaps(screen.Get(), VERTRES);
    }
    RECT rect = CentredRect(screenWidth, screenHeight, m_nWidth, m_nHeight);

    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    m_hMenu = ::LoadMenuW(instance, MAKEINTRESOURCEW(frameId));
    std::wstring title = CAppBase::LoadString(frameId);

    // No class styles, cursor, brush or icon: the view covers the whole client area.
    LPCWSTR cls = RegisterClass(m_pszClassName, 0, nullptr, nullptr, nullptr);
    return CreateEx(0, cls, title.c_str(), m_dwStyle, rect, nullptr, reinterpret_cast<UINT_PTR>(m_hMenu));
}

LRESULT CPopupFrame::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate();
    case WM_SETFOCUS:
        if (m_hView) ::SetFocus(m_hView);
        return 0;
    case WM_SIZE:
        LayoutView(TRUE);
        return 0;
    case WM_COMMAND:
        if (OnViewCommand(LOWORD(wParam))) return 0;
        break;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return Default(msg, wParam, lParam);
}

LRESULT CPopupFrame::OnCreate() {
    m_hView = CreateView();
    if (!m_hView) return -1;

    // The menu comes with the frame's resources but the skin has no place for it.
    ::SetMenu(m_hWnd, nullptr);
    if (m_hMenu) ::DestroyMenu(m_hMenu);
    m_hMenu = nullptr;

    if (m_pszTitle) ::SetWindowTextW(m_hWnd, m_pszTitle);
    LayoutView(FALSE);
    return 0;
}

void CPopupFrame::LayoutView(BOOL repaint) {
    if (!m_hView) return;
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    ::MoveWindow(m_hView, 0, 0, client.right, client.bottom, repaint);
}
