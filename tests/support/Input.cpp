#include "Input.h"

#include <algorithm>

namespace testing_support {

void Pump(DWORD ms) {
    DWORD start = ::GetTickCount();
    for (;;) {
        // A window that posts to itself without end must not keep the test here: the time is checked per message.
        MSG msg;
        while (::GetTickCount() - start < ms && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= ms) break;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start >= timeoutMs) return pred();
        Pump(10);
    }
    return true;
}

bool PostedQueueEmpty() { return HIWORD(::GetQueueStatus(QS_POSTMESSAGE)) == 0; }

bool WaitSentMessage(DWORD timeoutMs, bool fresh) {
    DWORD start = ::GetTickCount();
    for (;;) {
        // The low word: kinds that arrived since the previous call; the high word: kinds waiting.
        DWORD status = ::GetQueueStatus(QS_SENDMESSAGE);
        if ((fresh ? LOWORD(status) : HIWORD(status)) & QS_SENDMESSAGE) return true;
        DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(timeoutMs - elapsed, 10), QS_SENDMESSAGE);
    }
}

bool AnswerSentUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start >= timeoutMs) return pred();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return true;
}

namespace {

void SendMouse(DWORD flags, int x = 0, int y = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
        // Rounded up: the system maps back by truncating, so this lands on the pixel itself.
        in.mi.dx = static_cast<LONG>((x * 65536LL + w - 1) / w);
        in.mi.dy = static_cast<LONG>((y * 65536LL + h - 1) / h);
    }
    ::SendInput(1, &in, sizeof(in));
}

}  // namespace

void MouseMoveTo(int x, int y) {
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
    Pump(60);
}

void MouseDown() {
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    Pump(60);
}

void MouseUp() {
    SendMouse(MOUSEEVENTF_LEFTUP);
    Pump(60);
}

void ClickAt(int x, int y) {
    MouseMoveTo(x, y);
    MouseDown();
    MouseUp();
}

void DoubleClickAt(int x, int y) { DoubleClickThenMove(POINT{x, y}, POINT{x, y}); }

void DoubleClickThenMove(POINT at, POINT then) {
    MouseMoveTo(at.x, at.y);
    for (DWORD flags : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP})
        SendMouse(flags);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, then.x, then.y);
    Pump(100);
}

namespace {
void SendKey(WORD vk, WORD scan, DWORD flags) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = scan;
    in.ki.dwFlags = flags;
    ::SendInput(1, &in, sizeof(INPUT));
}
}  // namespace

void PressKey(WORD vk) {
    SendKey(vk, 0, 0);
    SendKey(vk, 0, KEYEVENTF_KEYUP);
    Pump(60);
}

void TypeText(const std::wstring& text) {
    for (wchar_t c : text) {
        // Keys of the keyboard where there is one without Shift (digits, small letters, '.'), so that controls
        // watching key presses see them; the rest as characters: on a busy bench a Shift sent through SendInput
        // was seen lost, and the capital arrived small.
        SHORT scan = c < 0x80 ? ::VkKeyScanW(c) : -1;
        if (scan != -1 && HIBYTE(scan) == 0) {
            PressKey(LOBYTE(scan));
            continue;
        }
        SendKey(0, c, KEYEVENTF_UNICODE);
        SendKey(0, c, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP);
        Pump(20);
    }
    Pump(60);
}

POINT ClientToScreenPoint(HWND hwnd, int x, int y) {
    POINT pt{x, y};
    ::ClientToScreen(hwnd, &pt);
    return pt;
}

void MoveTo(HWND window, int x, int y) {
    POINT p = ClientToScreenPoint(window, x, y);
    MouseMoveTo(p.x + 1, p.y);
    MouseMoveTo(p.x, p.y);
}

void ClickIn(HWND window, int x, int y) {
    MoveTo(window, x, y);
    MouseDown();
    MouseUp();
}

}  // namespace testing_support
