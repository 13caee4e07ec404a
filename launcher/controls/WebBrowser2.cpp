#include "WebBrowser2.h"

#include <olectl.h>

namespace {

// CLSID_WebBrowser: the host window creates the control its text names.
const wchar_t kWebBrowserClsid[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";
const DISPID kDispidNavigate = 104;
// Posted to the host window: the error page is navigated to outside the event.
const UINT WM_SHOW_ERROR_PAGE = WM_APP + 1;

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

struct AtlHost {
    AtlAxGetControlFn getControl = nullptr;
    LPCWSTR windowClass = nullptr;  // our superclass of "AtlAxWin"
};

// atl.dll's hosting, loaded on first use. The library stays loaded for the life
// of the process: the window class it registers runs its code.
const AtlHost& Host() {
    static const AtlHost host = [] {
        AtlHost result;
        HMODULE atl = ::LoadLibraryW(L"atl.dll");
        if (!atl) return result;
        auto init = reinterpret_cast<AtlAxWinInitFn>(reinterpret_cast<void*>(::GetProcAddress(atl, "AtlAxWinInit")));
        auto get = reinterpret_cast<AtlAxGetControlFn>(reinterpret_cast<void*>(::GetProcAddress(atl, "AtlAxGetControl")));
        if (!init || !get || !init()) return result;
        result.getControl = get;
        // Superclassed so that our object sees the window's destruction.
        result.windowClass = CWindow::RegisterSuperclass(L"OrvWebBrowser", L"AtlAxWin", atl);
        return result;
    }();
    return host;
}

}  // namespace

bool CWebBrowser2::Create(LPCWSTR windowName, DWORD style, const RECT& rect, HWND parent, UINT id) {
    const AtlHost& host = Host();
    if (!host.windowClass) return false;
    if (!CreateEx(0, host.windowClass, kWebBrowserClsid, style, rect, parent, id)) return false;
    // Some hosts keep an empty window when the control cannot be made.
    if (!GetControl()) {
        DestroyWindow();
        return false;
    }
    ::SetWindowTextW(m_hWnd, windowName);
    ComPtr<IDispatch> control = GetControl();
    m_sink.Connect(control.Get());
    return true;
}

LRESULT CWebBrowser2::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_DESTROY:
        m_sink.Disconnect();
        break;
    case WM_SHOW_ERROR_PAGE:
        if (!m_strErrorPage.empty()) {
            m_bOnErrorPage = true;
            Navigate(m_strErrorPage.c_str(), nullptr, nullptr, nullptr, nullptr);
        }
        return 0;
    }
    return Default(msg, wParam, lParam);
}

bool CWebBrowser2::ShowsErrorPage(const std::wstring& errorPage, bool onErrorPage, bool topFrame,
                                  const std::wstring& url) {
    // Never again for the error page itself, however the control spells its address: a loop would keep the
    // panel busy for ever. A frame inside the page keeps the control's handling.
    return !errorPage.empty() && !onErrorPage && url != errorPage && topFrame;
}

bool CWebBrowser2::OnNavigateError(IDispatch* frame, const std::wstring& url) {
    ComPtr<IDispatch> control = GetControl();
    ComPtr<IUnknown> top = control.As<IUnknown>(IID_IUnknown), failed;
    if (frame) frame->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(failed.Receive()));
    if (!ShowsErrorPage(m_strErrorPage, m_bOnErrorPage, top && top.Get() == failed.Get(), url)) return false;
    ::PostMessageW(m_hWnd, WM_SHOW_ERROR_PAGE, 0, 0);
    return true;
}

ComPtr<IDispatch> CWebBrowser2::GetControl() const {
    ComPtr<IUnknown> control;
    if (m_hWnd && SUCCEEDED(Host().getControl(m_hWnd, control.Receive())))
        return control.As<IDispatch>(IID_IDispatch);
    return {};
}

HRESULT CWebBrowser2::Navigate(LPCWSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                               VARIANT* headers) {
    if (url && m_strErrorPage != url) {
        m_strPage = url;
        m_bOnErrorPage = false;
    }
    VARIANT empty[4];
    for (VARIANT& v : empty) ::VariantInit(&v);
    VARIANT* optional[4] = {flags ? flags : &empty[0], targetFrameName ? targetFrameName : &empty[1],
                            postData ? postData : &empty[2], headers ? headers : &empty[3]};
    // Arguments go last one first: the URL, then four VARIANT pointers.
    VARIANTARG args[5];
    for (int i = 0; i < 4; ++i) {
        ::VariantInit(&args[3 - i]);
        args[3 - i].vt = VT_BYREF | VT_VARIANT;
        args[3 - i].pvarVal = optional[i];
    }
    ::VariantInit(&args[4]);
    args[4].vt = VT_BSTR;
    args[4].bstrVal = ::SysAllocString(url);
    DISPPARAMS params{args, nullptr, 5, 0};
    HRESULT hr = InvokeMethod(kDispidNavigate, &params);
    ::VariantClear(&args[4]);
    return hr;
}

HRESULT CWebBrowser2::Refresh() {
    if (m_bOnErrorPage && !m_strPage.empty()) return Navigate(m_strPage.c_str(), nullptr, nullptr, nullptr, nullptr);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return InvokeMethod(DISPID_REFRESH, &none);
}

HRESULT CWebBrowser2::InvokeMethod(DISPID id, DISPPARAMS* params) {
    ComPtr<IDispatch> control = GetControl();
    if (!control) return S_FALSE;
    EXCEPINFO info{};
    UINT badArg = 0;
    HRESULT hr = control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, nullptr, &info, &badArg);
    if (hr == DISP_E_EXCEPTION) {
        // The method's own failure, which is what a caller wants to see.
        if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
        hr = info.scode ? info.scode : E_FAIL;
        ::SysFreeString(info.bstrSource);
        ::SysFreeString(info.bstrDescription);
        ::SysFreeString(info.bstrHelpFile);
    }
    return hr;
}
