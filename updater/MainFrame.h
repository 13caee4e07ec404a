#pragma once
#include "PopupFrame.h"
#include "UpdaterView.h"

// The updater's 489 by 253 borderless frame around the view; its text is the
// resource title "Start".
class CMainFrame : public CPopupFrame {
public:
    CMainFrame() : CPopupFrame(489, 253, L"StartMainFrame", nullptr, WS_POPUP | WS_VISIBLE) {}
    ~CMainFrame() override { DestroyWindow(); }


protected:
    HWND CreateView() override;
    bool OnViewCommand(UINT id) override { return m_view.OnCommand(id); }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    CUpdaterView m_view;
};
