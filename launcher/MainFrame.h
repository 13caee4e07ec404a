#pragma once
#include "PingView.h"
#include "PopupFrame.h"

// The launcher's 640 by 480 frame around the view.
class CMainFrame : public CPopupFrame {
public:
    CMainFrame() : CPopupFrame(640, 480, L"OrvMainFrame", L"Orvane") {}
    ~CMainFrame() override { DestroyWindow(); }


protected:
    HWND CreateView() override;
    bool OnViewCommand(UINT id) override { return m_view.OnCommand(id); }

private:
    CPingView m_view;
};
