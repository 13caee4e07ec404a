#pragma once
// What the tests need to use the programs as a person would: message pumping,
// real mouse and keyboard input, dialogs and message boxes, pixels read back,
// processes, files, list files and the registry. Knows no program.
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "UniqueHandle.h"
#include "Window.h"

namespace testing_support {

// Dispatches messages of this thread for about ms milliseconds.
void Pump(DWORD ms);
// Dispatches messages until pred() is true or timeoutMs passed; returns pred().
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs);
// True when no posted message waits in this thread's queue.
bool PostedQueueEmpty();

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
// Types text into the focused control: keys of the keyboard where there are
// some (digits, letters, '.'), the rest (Korean) as characters (VK_PACKET).
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
std::wstring WindowText(HWND window);
// Runs steps on another thread once a dialog with that caption shows (null when
// none did), while this thread runs the modal loop; join after the modal call.
std::thread DriveDialog(const std::wstring& caption, std::function<void(HWND)> steps, DWORD pid = 0);

// Answers every message box of this process with the application's caption, from
// a thread of its own (a box runs its own loop inside the handler that raised it),
// by a real click on `button`. onBox, if given, sees each box first (on that thread;
// it must not send messages to the user-interface thread). A box the click does
// not close is closed anyway, so a test never hangs on it.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(int button = IDOK, std::function<void(HWND)> onBox = {});
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
    std::vector<std::wstring> Texts();

private:
    void Answer(HWND box);
    int m_button;
    std::function<void(HWND)> m_onBox;
    std::wstring m_caption;
    std::atomic<bool> m_stop{false}, m_done{false};
    std::mutex m_mutex;
    std::vector<std::wstring> m_texts;
    std::thread m_thread;
};

// A 32-bit picture in a memory DC, to draw into and read back; or a copy of a
// window's client area as the screen shows it.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(0x12, 0x34, 0x56));
    explicit Canvas(HWND window);
    ~Canvas() { ::SelectObject(m_dc.Get(), m_old); }
    HDC dc() const { return m_dc.Get(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    COLORREF At(int x, int y) const;

private:
    int m_width, m_height;
    DWORD* m_bits = nullptr;
    UniqueMemoryDC m_dc;
    UniqueGdiObject m_bitmap;
    HGDIOBJ m_old = nullptr;
};

// A plain topmost window that records the {wParam, lParam} of each WM_COMMAND it gets.
class CRecordingWindow : public CWindow {
public:
    bool Create(DWORD style, const RECT& r);
    std::vector<std::pair<WPARAM, LPARAM>> commands;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// List views of this or another process (the block the list writes into is
// placed in the list's own process).
std::wstring ListItemText(HWND list, int row, int column);
int ListItemCount(HWND list);
// Screen point in the middle of an item's label.
POINT ListItemPoint(HWND list, int row);
// The first row whose column shows text, or -1.
int FindListItem(HWND list, int column, const std::wstring& text);

// Child processes.
struct Process {
    HANDLE process = nullptr;
    DWORD pid = 0;
    ~Process();
    DWORD Wait(DWORD timeoutMs);  // exit code, or STILL_ACTIVE on time-out
};
bool StartProcess(const std::wstring& exe, const std::wstring& args, const std::wstring& workDir, Process* out);
int OwnThreadCount();  // threads of this process

// Files and folders.
std::wstring MakeTempFolder(const std::wstring& prefix);
void RemoveFolder(const std::wstring& folder);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool ReadFileBytes(const std::wstring& path, std::string* bytes);
// The host path of a Windows path (Wine maps its drives onto it), or empty.
std::wstring UnixPath(const std::wstring& windowsPath);
bool CopyFileTo(const std::wstring& from, const std::wstring& to);
// The folder of the test program, ending in a backslash.
std::wstring TestFolder();
// The build's program folder (dist), ending in a backslash.
std::wstring DistFolder();

// Counts of the process's kernel handles and GDI objects.
DWORD HandleCount();
DWORD GdiObjectCount();

// Sound: the bench's null sink, recorded through PulseAudio's parec (a Linux
// program, which Wine runs when given its path), as mono 16-bit samples.
// Nothing playing records as exact zeros.
// Records for about seconds while during() runs; empty when no recording came.
std::vector<short> RecordSink(double seconds, const std::function<void()>& during = {});
// Root mean square of the samples between two times (seconds), 0 when empty.
double Rms(const std::vector<short>& samples, double from, double to);
// Levels (RMS) of consecutive blocks of blockSeconds.
std::vector<double> Envelope(const std::vector<short>& samples, double blockSeconds);

// Converts UTF-16 to code page 949 bytes.
std::string ToCp949(const std::wstring& text);
std::string ToUtf8(const std::wstring& text);  // for messages

// Server list files: {name, address} as "name,address\r\n" lines in code page 949.
using ServerList = std::vector<std::pair<std::wstring, std::wstring>>;
bool WriteListFile(const std::wstring& path, const ServerList& servers);

// The registry as the 32-bit programs see it (HKLM goes through WOW64).
bool SetRegistryString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value);
// The REG_SZ value, or false; *type and *bytes, when given, report what is stored.
bool RegistryString(HKEY root, const std::wstring& key, const wchar_t* name, std::wstring* value,
                    DWORD* type = nullptr, DWORD* bytes = nullptr, REGSAM view = 0);
bool RegistryKeyExists(HKEY root, const std::wstring& key, REGSAM view = 0);

// Makes a stand-in program (it records its command line in "<exe>.log") the
// handler of http: links while it lives; restores the previous handler.
class UrlHandlerStandIn {
public:
    explicit UrlHandlerStandIn(const std::wstring& exe);
    ~UrlHandlerStandIn();
    UrlHandlerStandIn(const UrlHandlerStandIn&) = delete;
    UrlHandlerStandIn& operator=(const UrlHandlerStandIn&) = delete;
    // The arguments the handler was started with, or empty after waitMs.
    std::wstring Arguments(DWORD waitMs);

private:
    std::wstring m_exe, m_old;
    bool m_had = false;
};
// What a stand-in program recorded of its start ("cwd=...\r\nargs=...\r\n"), or
// empty after waitMs.
std::wstring StandInLog(const std::wstring& exe, DWORD waitMs);

}  // namespace testing_support
