#pragma once
// Finding top-level windows and dialogs, reading them, pressing their buttons.
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace testing_support {

// A top-level window of this process (or of pid) whose caption is title, or null.
HWND FindTopLevel(const std::wstring& title, DWORD pid = 0);
// A visible dialog (#32770) of this process (or of pid) with that caption, or
// null; sends no message, so it works while the dialog's thread is busy.
HWND FindDialog(const std::wstring& caption, DWORD pid = 0);
// Pumps until a dialog (#32770) with the given caption appears; returns it or null.
HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs, DWORD pid = 0);
// The text of a dialog's static message (message boxes).
std::wstring DialogText(HWND dialog);
// Presses the dialog's button with that id (IDYES, IDNO, IDOK) by a real click.
void ClickDialogButton(HWND dialog, int id);
// Waits for the next dialog with that caption, presses its button by a real
// click and waits for it to close; returns its text (message boxes).
std::wstring AnswerDialog(const std::wstring& caption, int button);
std::wstring WindowText(HWND window);
// Runs steps on another thread once a dialog with that caption shows (null when
// none did), while this thread runs the modal loop; join after the modal call.
std::thread DriveDialog(const std::wstring& caption, std::function<void(HWND)> steps, DWORD pid = 0);

}  // namespace testing_support
