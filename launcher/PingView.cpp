#include "PingView.h"

#include <mmsystem.h>

#include "AppBase.h"
#include "resource.h"

CPingView::CPingView() = default;

CPingView::~CPingView() { DestroyWindow(); }

bool CPingView::Create(HWND parent, const RECT& rect, UINT id) {
    LPCWSTR cls = RegisterClass(L"OrvPingView", CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW,
                                ::LoadCursorW(nullptr, IDC_ARROW),
                                reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)), nullptr);
    // A sunken edge instead of the border the frame asks for.
    DWORD style = (WS_CHILD | WS_VISIBLE | WS_BORDER) & ~WS_BORDER;
    return CreateEx(WS_EX_CLIENTEDGE, cls, nullptr, style, rect, parent, id);
}

LRESULT CPingView::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate();
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam))) return 0;
        break;
    }
    return Default(msg, wParam, lParam);
}

bool CPingView::OnCommand(UINT id) {
    switch (id) {
    case ID_APP_EXIT:
        OnAppExit();
        return true;
    }
    return false;
}

LRESULT CPingView::OnCreate() { return 0; }

void CPingView::OnDestroy() {}

void CPingView::OnAppExit() {
    ::PlaySoundW(nullptr, nullptr, SND_NODEFAULT);
    HWND main = CAppBase::Get() ? CAppBase::Get()->GetMainWnd() : nullptr;
    if (main) ::SendMessageW(main, WM_CLOSE, 0, 0);
}
