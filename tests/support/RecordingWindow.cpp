#include "RecordingWindow.h"

namespace testing_support {

bool CRecordingWindow::Create(DWORD style, const RECT& r) {
    LPCWSTR cls = RegisterClass(L"OrvTestRecordingWnd", 0, ::LoadCursorW(nullptr, IDC_ARROW),
                                reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)), nullptr);
    return CreateEx(WS_EX_TOPMOST, cls, L"Test", style, r, nullptr, 0);
}

LRESULT CRecordingWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) commands.emplace_back(wParam, lParam);
    return Default(msg, wParam, lParam);
}

}  // namespace testing_support
