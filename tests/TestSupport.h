#pragma once
// What the tests need to use the programs as a person would: message pumping,
// real mouse and keyboard input, dialogs, processes and files.
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

// ---- List views, message boxes and responsiveness seen from outside ----

// The text of a list view cell, as the list shows it (callback texts included).
std::wstring ListItemText(HWND list, int row, int column);
// Every row of a report list: its column texts.
std::vector<std::vector<std::wstring>> ListRows(HWND list, int columns);
// Every row's item data.
std::vector<LPARAM> ListItemData(HWND list);

// UTF-8 for test output.
std::string Utf8(const std::wstring& text);
// Threads of this process.
int ThreadCount();

// Answers every message box of this process captioned caption with a real
// click on button, from its own thread (the box runs its own loop inside a
// handler on the test's thread), and keeps their texts.
class MessageBoxWatcher {
public:
    explicit MessageBoxWatcher(std::wstring caption, int button = IDOK);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    std::vector<std::wstring> Texts();
    // False when a box had to be closed without a click.
    bool AllClosedByClick() const { return m_clickFailed == 0; }
    void SetButton(int button) { m_button = button; }

private:
    void Answer(HWND box);

    std::wstring m_caption;
    std::atomic<int> m_button;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::atomic<int> m_clickFailed{0};
    std::mutex m_mutex;
    std::vector<std::wstring> m_texts;
};

// Sends WM_NULL to a window from its own thread, again and again, and keeps
// the longest time the window took to answer: what a person would feel as a freeze.
class ResponsivenessWatcher {
public:
    explicit ResponsivenessWatcher(HWND window);
    ~ResponsivenessWatcher();
    ResponsivenessWatcher(const ResponsivenessWatcher&) = delete;
    ResponsivenessWatcher& operator=(const ResponsivenessWatcher&) = delete;
    // The longest wait for an answer so far, in milliseconds (one not yet
    // answered counts with its time so far).
    DWORD WorstMs() const;
    int Answers() const { return m_answers; }

private:
    HWND m_window;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<DWORD> m_worst{0};
    std::atomic<DWORD> m_sentAt{0};
    std::atomic<bool> m_waiting{false};
    std::atomic<int> m_answers{0};
};

}  // namespace testing_support
