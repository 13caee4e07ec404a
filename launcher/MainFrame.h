#pragma once
#include "PingView.h"
#include "Window.h"

// The borderless 640 by 480 popup that holds the view.
class CMainFrame : public CWindow {
public:
    CMainFrame() = default;
    ~CMainFrame() override;

    // Creates the frame from the resources of frameId (menu and title).
    bool LoadFrame(UINT frameId);
    CPingView& GetView() { return m_view; }

    // Centred position of a width x height window on a screen (halves toward zero).
    static RECT CentredRect(int screenWidth, int screenHeight, int width, int height);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnCreate();
    void OnSetFocus();
    bool OnCmdMsg(UINT id);

    CPingView m_view;
    HMENU m_hMenu = nullptr;
};
