#include "Dialogs.h"

#include "Input.h"

namespace testing_support {

namespace {

// A visible top-level window of pid with that caption (and class, unless null),
// found without sending a message to its thread, which may be busy.
HWND Find(const std::wstring& title, const wchar_t* cls, DWORD pid) {
    HWND hwnd = nullptr;
    while ((hwnd = ::FindWindowExW(nullptr, hwnd, cls, nullptr)) != nullptr) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(hwnd, &owner);
        wchar_t text[256] = {};
        ::InternalGetWindowText(hwnd, text, 256);
        if (owner == (pid ? pid : ::GetCurrentProcessId()) && ::IsWindowVisible(hwnd) && title == text) return hwnd;
    }
    return nullptr;
}

}  // namespace

HWND FindTopLevel(const std::wstring& title, DWORD pid) { return Find(title, nullptr, pid); }

HWND FindDialog(const std::wstring& caption, DWORD pid) { return Find(caption, L"#32770", pid); }

HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs, DWORD pid) {
    HWND found = nullptr;
    PumpUntil([&] { return (found = FindDialog(caption, pid)) != nullptr; }, timeoutMs);
    return found;
}

std::wstring DialogText(HWND dialog) {
    // Message boxes keep their text in the static control 0xFFFF.
    wchar_t text[1024] = {};
    ::GetDlgItemTextW(dialog, 0xFFFF, text, 1024);
    return text;
}

void ClickDialogButton(HWND dialog, int id) {
    HWND button = ::GetDlgItem(dialog, id);
    if (!button) return;
    RECT r;
    ::GetWindowRect(button, &r);
    ::SetForegroundWindow(dialog);
    Pump(50);
    ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

std::wstring AnswerDialog(const std::wstring& caption, int button) {
    HWND dialog = WaitForDialog(caption, 5000);
    std::wstring text = DialogText(dialog);
    ClickDialogButton(dialog, button);
    PumpUntil([&] { return !::IsWindow(dialog); }, 3000);
    return text;
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

std::thread DriveDialog(const std::wstring& caption, std::function<void(HWND)> steps, DWORD pid) {
    return std::thread([caption, steps, pid] {
        HWND dialog = WaitForDialog(caption, 15000, pid);
        if (dialog) {
            ::SetForegroundWindow(dialog);
            Pump(200);
        }
        steps(dialog);
    });
}

}  // namespace testing_support
