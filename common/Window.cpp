#include "Window.h"

#include <exception>
#include <map>
#include <string>

namespace {

// The object whose CreateWindowEx is under way on this thread.
thread_local CWindow* t_creating = nullptr;

const wchar_t kPropName[] = L"OrvCWindow";

// Base procedures of superclassed system controls, by our class name.
std::map<std::wstring, WNDPROC>& SuperclassProcs() {
    static std::map<std::wstring, WNDPROC> procs;
    return procs;
}

WNDPROC BaseProcOf(HWND hwnd) {
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    auto& procs = SuperclassProcs();
    auto it = procs.find(name);
    return it == procs.end() ? nullptr : it->second;
}

}  // namespace

CWindow::~CWindow() {
    if (m_hWnd) {
        ::RemovePropW(m_hWnd, kPropName);
        HWND hwnd = m_hWnd;
        m_hWnd = nullptr;
        // Its own procedure ends a subclassed window, as it would have without us.
        if (m_bSubclassed) ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_baseProc));
        ::DestroyWindow(hwnd);
    }
}

bool CWindow::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                       HWND parent, UINT_PTR idOrMenu) {
    if (!className) return false;
    CWindow* previous = t_creating;
    t_creating = this;
    HWND hwnd = ::CreateWindowExW(exStyle, className, windowName, style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(idOrMenu), ::GetModuleHandleW(nullptr), nullptr);
    t_creating = previous;
    return hwnd != nullptr;
}

bool CWindow::Subclass(HWND hwnd) {
    if (!hwnd || m_hWnd || FromHandle(hwnd)) return false;
    m_hWnd = hwnd;
    ::SetPropW(hwnd, kPropName, this);
    m_bSubclassed = true;
    m_baseProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindow::WindowProc)));
    return true;
}

void CWindow::DestroyWindow() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
}

CWindow* CWindow::FromHandle(HWND hwnd) {
    return hwnd ? static_cast<CWindow*>(::GetPropW(hwnd, kPropName)) : nullptr;
}

LPCWSTR CWindow::DefaultChildClass() {
    return RegisterClass(L"OrvChild", CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW), nullptr, nullptr);
}

LPCWSTR CWindow::RegisterClass(LPCWSTR name, UINT style, HCURSOR cursor, HBRUSH background, HICON icon) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (::GetClassInfoExW(instance, name, &wc)) return name;
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = &CWindow::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = name;
    if (!::RegisterClassExW(&wc)) return nullptr;
    return name;
}

LPCWSTR CWindow::RegisterSuperclass(LPCWSTR name, LPCWSTR baseClass, HINSTANCE baseInstance) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (::GetClassInfoExW(instance, name, &wc)) return name;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    if (!::GetClassInfoExW(baseInstance, baseClass, &wc)) return nullptr;
    SuperclassProcs()[name] = wc.lpfnWndProc;
    wc.lpfnWndProc = &CWindow::WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = name;
    if (!::RegisterClassExW(&wc)) return nullptr;
    return name;
}

void CWindow::ReportCallbackException() {
    const char* what = "unknown";
    try {
        throw;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
    }
    ::OutputDebugStringA("Orvane: exception stopped at a window procedure: ");
    ::OutputDebugStringA(what);
    ::OutputDebugStringA("\n");
}

bool CWindow::ReflectNotify(LPARAM lParam, LRESULT* result) {
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (!hdr) return false;
    CWindow* child = FromHandle(hdr->hwndFrom);
    return child && child->OnReflectedNotify(hdr, result);
}

LRESULT CWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return Default(msg, wParam, lParam);
}

bool CWindow::OnReflectedNotify(NMHDR*, LRESULT*) { return false; }

LRESULT CWindow::Default(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_baseProc) return ::CallWindowProcW(m_baseProc, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK CWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWindow* self = FromHandle(hwnd);
    if (!self && t_creating) {
        // First message of a window we are creating: attach the object.
        self = t_creating;
        t_creating = nullptr;
        self->m_hWnd = hwnd;
        self->m_baseProc = BaseProcOf(hwnd);
        self->m_bSubclassed = false;
        ::SetPropW(hwnd, kPropName, self);
    }
    if (!self) {
        WNDPROC base = BaseProcOf(hwnd);
        return base ? ::CallWindowProcW(base, hwnd, msg, wParam, lParam) : ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    LRESULT result = 0;
    try {
        result = self->HandleMessage(msg, wParam, lParam);
    } catch (...) {
        ReportCallbackException();
        // A window that failed to build itself is not made.
        result = msg == WM_CREATE ? -1 : ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY) {
        ::RemovePropW(hwnd, kPropName);
        self->m_hWnd = nullptr;
        self->OnFinalDestroy();
    }
    return result;
}
