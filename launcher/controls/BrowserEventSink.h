#pragma once
// The receiver of a web browser control's events (DWebBrowserEvents2). It
// lives inside its CWebBrowser2, which it tells of a failed navigation; the
// reference count does not govern its life.
#include <windows.h>
#include <ocidl.h>

#include "ComPtr.h"

class CWebBrowser2;

class CBrowserEventSink : public IDispatch {
public:
    explicit CBrowserEventSink(CWebBrowser2& owner) : m_owner(owner) {}
    virtual ~CBrowserEventSink() { Disconnect(); }
    CBrowserEventSink(const CBrowserEventSink&) = delete;
    CBrowserEventSink& operator=(const CBrowserEventSink&) = delete;

    // Starts and ends the control's calls to this sink.
    bool Connect(IUnknown* control);
    void Disconnect();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, UINT* badArg) override;

private:
    CWebBrowser2& m_owner;
    ComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
};
