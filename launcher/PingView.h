#pragma once
#include "Window.h"

// The launcher's whole user interface: paints the skin and owns every control.
class CPingView : public CWindow {
public:
    CPingView();
    ~CPingView() override;

    bool Create(HWND parent, const RECT& rect, UINT id);
    // Commands offered by the frame first; true when handled.
    bool OnCommand(UINT id);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnCreate();
    void OnDestroy();
    void OnAppExit();
};
