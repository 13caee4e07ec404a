#pragma once
// Message pumping and real input through SendInput, as a person gives it.
#include <windows.h>

#include <functional>
#include <string>

namespace testing_support {

// Dispatches messages of this thread for about ms milliseconds.
void Pump(DWORD ms);
// Dispatches messages until pred() is true or timeoutMs passed; returns pred().
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs);
// True when no posted message waits in this thread's queue.
bool PostedQueueEmpty();
// Waits, answering nothing, until a message another thread sends waits for this
// thread; fresh: only one that came after the previous check.
bool WaitSentMessage(DWORD timeoutMs, bool fresh = false);
// Answers the messages other threads send, but dispatches nothing posted, until
// pred() is true or timeoutMs passed; returns pred().
bool AnswerSentUntil(const std::function<bool()>& pred, DWORD timeoutMs);

// Real input through SendInput, in screen coordinates. Each call lets the
// input arrive (pumps a little) before it returns.
void MouseMoveTo(int x, int y);
void MouseDown();
void MouseUp();
void ClickAt(int x, int y);
void DoubleClickAt(int x, int y);
// A double-click at `at` that the window handles only after the mouse moved on
// to `then`, as a busy window does.
void DoubleClickThenMove(POINT at, POINT then);
void PressKey(WORD vk);
// Types text into the focused control: keys of the keyboard where there are
// some without Shift (digits, small letters, '.'), the rest as characters (VK_PACKET).
void TypeText(const std::wstring& text);
// The screen point of a client point of a window.
POINT ClientToScreenPoint(HWND hwnd, int x, int y);
// To a client point of a window in two steps, as a hand moves: the cursor is
// chosen before a move reaches the control.
void MoveTo(HWND window, int x, int y);
void ClickIn(HWND window, int x, int y);

}  // namespace testing_support
