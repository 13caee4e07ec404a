#include "BrowserEventSink.h"

#include <exdisp.h>
#include <exdispid.h>

#include "WebBrowser2.h"

namespace {

// An argument as the control passes it: by value, or by reference to a VARIANT.
const VARIANT& Value(const VARIANT& arg) {
    return arg.vt == (VT_BYREF | VT_VARIANT) && arg.pvarVal ? *arg.pvarVal : arg;
}

}  // namespace

bool CBrowserEventSink::Connect(IUnknown* control) {
    Disconnect();
    ComPtr<IConnectionPointContainer> container;
    if (!control ||
        FAILED(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Receive()))))
        return false;
    if (FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, m_point.Receive()))) return false;
    if (FAILED(m_point->Advise(this, &m_cookie))) {
        m_point.Reset();
        return false;
    }
    return true;
}

void CBrowserEventSink::Disconnect() {
    if (m_point) m_point->Unadvise(m_cookie);
    m_point.Reset();
    m_cookie = 0;
}

HRESULT CBrowserEventSink::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, DIID_DWebBrowserEvents2)) {
        *out = static_cast<IDispatch*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT CBrowserEventSink::GetTypeInfoCount(UINT* count) {
    if (count) *count = 0;
    return S_OK;
}

HRESULT CBrowserEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    // NavigateError(frame, URL, target frame name, status code, cancel), last argument first.
    if (id != DISPID_NAVIGATEERROR || !params || params->cArgs != 5) return S_OK;
    const VARIANT& frame = Value(params->rgvarg[4]);
    const VARIANT& url = Value(params->rgvarg[3]);
    VARIANT& cancel = params->rgvarg[0];
    IDispatch* frameDispatch = frame.vt == VT_DISPATCH ? frame.pdispVal : nullptr;
    const wchar_t* urlText = url.vt == VT_BSTR && url.bstrVal ? url.bstrVal : L"";
    // Cancelled, the control does not show its own error page.
    if (m_owner.OnNavigateError(frameDispatch, urlText) && cancel.vt == (VT_BYREF | VT_BOOL) && cancel.pboolVal)
        *cancel.pboolVal = VARIANT_TRUE;
    return S_OK;
}
