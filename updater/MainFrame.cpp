#include "MainFrame.h"

#include "resource.h"

HWND CMainFrame::CreateView() {
    RECT empty{0, 0, 0, 0};
    return m_view.Create(m_hWnd, empty, AFX_IDW_PANE_FIRST) ? m_view.GetHwnd() : nullptr;
}

LRESULT CMainFrame::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CLOSE:
        // The run is on the stack of this thread: it stops at its next look
        // at the messages and hands over, which closes the window.
        if (m_view.IsRunning()) {
            m_view.RequestCancel();
            return 0;
        }
        break;
    }
    return CPopupFrame::HandleMessage(msg, wParam, lParam);
}
