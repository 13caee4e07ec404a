#pragma once
// Thin base for our window classes: one HWND, one message handler per class.
// A derived class handles its messages in HandleMessage (a switch: its message
// map) and passes the rest to Default().
#include <windows.h>

class CWindow {
public:
    CWindow() = default;
    virtual ~CWindow();
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;

    HWND GetHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Creates the window with a registered class name. The object is attached
    // before WM_NCCREATE, so the class's handler sees WM_CREATE.
    bool CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                  HWND parent, UINT_PTR idOrMenu);
    void DestroyWindow();

    // The object behind a window made by this layer, or null.
    static CWindow* FromHandle(HWND hwnd);

    // The framework's default child-window class: no styles beyond double
    // clicks, arrow cursor, no background brush.
    static LPCWSTR DefaultChildClass();

    // Registers (once) a class whose window procedure is ours; returns its name.
    static LPCWSTR RegisterClass(LPCWSTR name, UINT style, HCURSOR cursor, HBRUSH background, HICON icon);

    // Registers a class that wraps a system control class (list view...), so our
    // handler runs before the control's own procedure. baseInstance is the
    // module that registered the base class (null: the system).
    static LPCWSTR RegisterSuperclass(LPCWSTR name, LPCWSTR baseClass, HINSTANCE baseInstance = nullptr);

    // Offers a WM_NOTIFY to the child that sent it (notification reflection).
    // Returns true when the child handled it; *result is its answer.
    static bool ReflectNotify(LPARAM lParam, LRESULT* result);

    // What a window or dialog procedure does with an exception it caught: an
    // exception must never unwind through the system's code.
    static void ReportCallbackException();

protected:
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // Reflected WM_NOTIFY from the parent: return true when handled.
    virtual bool OnReflectedNotify(NMHDR* hdr, LRESULT* result);
    // The processing of the window class (DefWindowProc or the base control).
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);
    // Called after WM_NCDESTROY, when the handle is gone.
    virtual void OnFinalDestroy() {}
    // Attaches the object to a window made elsewhere (a dialog): our procedure
    // takes its messages and passes the rest to the one it had.
    bool Subclass(HWND hwnd);
    // The one window procedure of this layer.
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;

private:
    WNDPROC m_baseProc = nullptr;
    bool m_bSubclassed = false;
};
