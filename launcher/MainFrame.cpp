#include "MainFrame.h"

#include "AppBase.h"
#include "UniqueHandle.h"
#include "resource.h"

namespace {
constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;
}

CMainFrame::~CMainFrame() { DestroyWindow(); }

RECT CMainFrame::CentredRect(int screenWidth, int screenHeight, int width, int height) {
    int x = (screenWidth - width) / 2;
    int y = (screenHeight - height) / 2;
    return RECT{x, y, x + width, y + height};
}

bool CMainFrame::LoadFrame(UINT frameId) {
    int screenWidth, screenHeight;
    {
        WindowDC screen(nullptr);
        screenWidth = ::GetDeviceCaps(screen.Get(), HORZRES);
        screenHeight = ::GetDeviceCaps(screen.Get(), VERTRES);
    }
    RECT rect = CentredRect(screenWidth, screenHeight, kFrameWidth, kFrameHeight);

    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    m_hMenu = ::LoadMenuW(instance, MAKEINTRESOURCEW(frameId));
    std::wstring title = CAppBase::LoadString(frameId);

    // No class styles, cursor, brush or icon: the view covers the whole client area.
    LPCWSTR cls = RegisterClass(L"OrvMainFrame", 0, nullptr, nullptr, nullptr);
    DWORD style = WS_POPUP | WS_VISIBLE | WS_BORDER;
    return CreateEx(0, cls, title.c_str(), style, rect, nullptr, reinterpret_cast<UINT_PTR>(m_hMenu));
}

LRESULT CMainFrame::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate();
    case WM_SETFOCUS:
        OnSetFocus();
        return 0;
    case WM_SIZE: {
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        if (m_view.GetHwnd())
            ::MoveWindow(m_view.GetHwnd(), 0, 0, client.right, client.bottom, TRUE);
        return 0;
    }
    case WM_COMMAND:
        if (OnCmdMsg(LOWORD(wParam))) return 0;
        break;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return Default(msg, wParam, lParam);
}

LRESULT CMainFrame::OnCreate() {
    RECT empty{0, 0, 0, 0};
    if (!m_view.Create(m_hWnd, empty, AFX_IDW_PANE_FIRST)) return -1;

    // The menu comes with the frame's resources but the skin has no place for it.
    ::SetMenu(m_hWnd, nullptr);
    if (m_hMenu) ::DestroyMenu(m_hMenu);
    m_hMenu = nullptr;

    ::SetWindowTextW(m_hWnd, L"Orvane");
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    ::MoveWindow(m_view.GetHwnd(), 0, 0, client.right, client.bottom, FALSE);
    return 0;
}

void CMainFrame::OnSetFocus() {
    if (m_view.GetHwnd()) ::SetFocus(m_view.GetHwnd());
}

bool CMainFrame::OnCmdMsg(UINT id) { return m_view.OnCommand(id); }
