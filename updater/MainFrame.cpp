#include "MainFrame.h"

#include "resource.h"

HWND CMainFrame::CreateView() {
    RECT empty{0, 0, 0, 0};
    return m_view.Create(m_hWnd, empty, AFX_IDW_PANE_FIRST) ? m_view.GetHwnd() : nullptr;
}
