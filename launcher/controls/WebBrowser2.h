#pragma once
// The system's web browser control as a child window, driven through its
// dispatch interface. The host window is atl.dll's control-hosting class, which
// every Windows has. A browser whose control cannot be made has no window, and
// Navigate and Refresh on it do nothing. A page that cannot be fetched shows
// the error page given, if any, instead of the control's own.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "BrowserEventSink.h"
#include "ComPtr.h"
#include "Window.h"

class CWebBrowser2 : public CWindow {
public:
    CWebBrowser2() : m_sink(*this) {}
    ~CWebBrowser2() override = default;

    // rect is in the parent's client coordinates. False when the control could
    // not be made; no window is left behind then.
    bool Create(LPCWSTR windowName, DWORD style, const RECT& rect, HWND parent, UINT id);

    // The control's Navigate (dispatch method 104); a null argument goes as an
    // empty value. Returns what the control answered.
    HRESULT Navigate(LPCWSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData, VARIANT* headers);
    // The control's Refresh (DISPID_REFRESH); on the error page, the page
    // that failed is fetched again instead.
    HRESULT Refresh();
    // The address shown when a page cannot be fetched (a res: page).
    void SetErrorPage(const std::wstring& url) { m_strErrorPage = url; }
    // From the sink: a navigation of frame to url failed. True when the error
    // page will be shown, so the control's own is not wanted.
    bool OnNavigateError(IDispatch* frame, const std::wstring& url);
    // Whether a failed navigation to url shows the error page: the panel's own page (topFrame) failing, not the
    // error page itself.
    static bool ShowsErrorPage(const std::wstring& errorPage, bool onErrorPage, bool topFrame, const std::wstring& url);

    // The hosted control's dispatch interface, or empty.
    ComPtr<IDispatch> GetControl() const;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    HRESULT InvokeMethod(DISPID id, DISPPARAMS* params);

    CBrowserEventSink m_sink;
    std::wstring m_strPage;       // the last page asked for
    std::wstring m_strErrorPage;
    bool m_bOnErrorPage = false;  // the error page stands for m_strPage
};
