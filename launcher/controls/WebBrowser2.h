#pragma once
// The system's web browser control as a child window, driven through its
// dispatch interface. The host window is atl.dll's control-hosting class, which
// every Windows has. A browser whose control cannot be made has no window, and
// Navigate and Refresh on it do nothing.
#include <windows.h>
#include <oaidl.h>

#include "ComPtr.h"
#include "Window.h"

class CWebBrowser2 : public CWindow {
public:
    CWebBrowser2() = default;
    ~CWebBrowser2() override = default;

    // rect is in the parent's client coordinates. False when the control could
    // not be made; no window is left behind then.
    bool Create(LPCWSTR windowName, DWORD style, const RECT& rect, HWND parent, UINT id);

    // The control's Navigate (dispatch method 104); a null argument goes as an
    // empty value. Returns what the control answered.
    HRESULT Navigate(LPCWSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData, VARIANT* headers);
    // The control's Refresh (DISPID_REFRESH).
    HRESULT Refresh();

    // The hosted control's dispatch interface, or empty.
    ComPtr<IDispatch> GetControl() const;

private:
    HRESULT InvokeMethod(DISPID id, DISPPARAMS* params);
};
