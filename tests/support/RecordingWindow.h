#pragma once
#include <windows.h>

#include <utility>
#include <vector>

#include "Window.h"

namespace testing_support {

// A plain topmost window that records the {wParam, lParam} of each WM_COMMAND it gets.
class CRecordingWindow : public CWindow {
public:
    bool Create(DWORD style, const RECT& r);
    std::vector<std::pair<WPARAM, LPARAM>> commands;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace testing_support
