#pragma once
// What the tests need to use the programs as a person would: message pumping,
// real mouse and keyboard input, dialogs, processes and files.
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace testing_support {

// Dispatches messages of this thread for about ms milliseconds.
void Pump(DWORD ms);
// Dispatches messages until pred() is true or timeoutMs passed; returns pred().
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs);

// Real input through SendInput, in screen coordinates. Each call lets the
// input arrive (pumps a little) before it returns.
void MouseMoveTo(int x, int y);
void MouseDown();
void MouseUp();
void ClickAt(int x, int y);
void DoubleClickAt(int x, int y);
void PressKey(WORD vk);
void KeyDown(WORD vk);
void KeyUp(WORD vk);
// Types text as characters (VK_PACKET), Korean included, into the focused control.
void TypeText(const std::wstring& text);
// The screen point of a client point of a window.
POINT ClientToScreenPoint(HWND hwnd, int x, int y);

// A top-level window of this process (or of pid) whose caption is title, or null.
HWND FindTopLevel(const std::wstring& title, DWORD pid = 0);
// Pumps until a dialog (#32770) with the given caption appears; returns it or null.
HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs, DWORD pid = 0);
// The text of a dialog's static message (message boxes).
std::wstring DialogText(HWND dialog);
// Presses the dialog's button with that id (IDYES, IDNO, IDOK) by a real click.
void ClickDialogButton(HWND dialog, int id);
// Clicks the middle of a window (a control) after bringing its top level forward.
void ClickWindow(HWND window);
std::wstring WindowText(HWND window);
// Runs steps on another thread once a dialog with that caption shows (null when
// none did), while this thread runs the modal loop; join after the modal call.
std::thread DriveDialog(const std::wstring& caption, std::function<void(HWND)> steps, DWORD pid = 0);

// List views of this or another process (the block the list writes into is
// placed in the list's own process).
int ListItemCount(HWND list);
std::wstring ListItemText(HWND list, int item, int subItem);
// Screen point in the middle of an item's label.
POINT ListItemPoint(HWND list, int item);
// The index of the first item whose subItem text is text, or -1.
int FindListItem(HWND list, int subItem, const std::wstring& text);

// Child processes.
struct Process {
    HANDLE process = nullptr;
    DWORD pid = 0;
    ~Process();
    DWORD Wait(DWORD timeoutMs);  // exit code, or STILL_ACTIVE on time-out
};
bool StartProcess(const std::wstring& exe, const std::wstring& args, const std::wstring& workDir, Process* out);

// Files and folders.
std::wstring MakeTempFolder(const std::wstring& prefix);
void RemoveFolder(const std::wstring& folder);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool ReadFileBytes(const std::wstring& path, std::string* bytes);
bool CopyFileTo(const std::wstring& from, const std::wstring& to);
// The folder of the test program, ending in a backslash.
std::wstring TestFolder();
// The build's program folder (dist), ending in a backslash.
std::wstring DistFolder();

// Counts of the process's kernel handles and GDI objects.
DWORD HandleCount();
DWORD GdiObjectCount();

// Converts between UTF-16 and code page 949 bytes.
std::string ToCp949(const std::wstring& text);
std::wstring FromCp949(const std::string& bytes);

}  // namespace testing_support
