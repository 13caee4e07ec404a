#include "TestSupport.h"

#include "CodePage.h"

#include <commctrl.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <vector>

namespace testing_support {

void Pump(DWORD ms) {
    DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= ms) break;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    } while (::GetTickCount() - start < ms);
}

bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start >= timeoutMs) return pred();
        Pump(10);
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
        in.mi.dx = static_cast<LONG>((x * 65536LL + w / 2) / w);
        in.mi.dy = static_cast<LONG>((y * 65536LL + h / 2) / h);
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

void DoubleClickAt(int x, int y) {
    MouseMoveTo(x, y);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
    Pump(100);
}

void PressKey(WORD vk) {
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, in, sizeof(INPUT));
    Pump(60);
}

POINT ClientToScreenPoint(HWND hwnd, int x, int y) {
    POINT pt{x, y};
    ::ClientToScreen(hwnd, &pt);
    return pt;
}

namespace {

struct FindData {
    std::wstring title;
    std::wstring cls;
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM lParam) {
    auto* data = reinterpret_cast<FindData*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != data->pid) return TRUE;
    if (!::IsWindowVisible(hwnd)) return TRUE;
    wchar_t text[256] = {}, cls[64] = {};
    ::GetWindowTextW(hwnd, text, 256);
    ::GetClassNameW(hwnd, cls, 64);
    if (data->title == text && (data->cls.empty() || data->cls == cls)) {
        data->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND Find(const std::wstring& title, const std::wstring& cls, DWORD pid) {
    FindData data{title, cls, pid ? pid : ::GetCurrentProcessId(), nullptr};
    ::EnumWindows(FindProc, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

}  // namespace

HWND FindTopLevel(const std::wstring& title, DWORD pid) { return Find(title, L"", pid); }

HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs, DWORD pid) {
    HWND found = nullptr;
    PumpUntil([&] { return (found = Find(caption, L"#32770", pid)) != nullptr; }, timeoutMs);
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

Process::~Process() {
    if (process) ::CloseHandle(process);
}

DWORD Process::Wait(DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    if (::WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) ::GetExitCodeProcess(process, &code);
    return code;
}

bool StartProcess(const std::wstring& exe, const std::wstring& args, const std::wstring& workDir, Process* out) {
    std::wstring cmd = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          workDir.empty() ? nullptr : workDir.c_str(), &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    out->process = pi.hProcess;
    out->pid = pi.dwProcessId;
    return true;
}

std::wstring MakeTempFolder(const std::wstring& prefix) {
    wchar_t base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    for (unsigned n = ::GetTickCount();; ++n) {
        std::wstring folder = std::wstring(base) + prefix + std::to_wstring(n) + L"\\";
        if (::CreateDirectoryW(folder.c_str(), nullptr)) return folder;
    }
}

void RemoveFolder(const std::wstring& folder) {
    std::wstring from = folder;
    if (!from.empty() && from.back() == L'\\') from.pop_back();
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    ::SHFileOperationW(&op);
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

bool ReadFileBytes(const std::wstring& path, std::string* bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD size = ::GetFileSize(file, nullptr);
    bytes->assign(size, '\0');
    DWORD read = 0;
    BOOL ok = ::ReadFile(file, bytes->data(), size, &read, nullptr);
    ::CloseHandle(file);
    return ok && read == size;
}

bool CopyFileTo(const std::wstring& from, const std::wstring& to) { return ::CopyFileW(from.c_str(), to.c_str(), FALSE); }

std::wstring TestFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s = path;
    return s.substr(0, s.rfind(L'\\') + 1);
}

std::wstring DistFolder() {
    // The build passes a Unix path; Wine maps it through drive Z:.
    std::wstring unix = ORVN_DIST_DIR;
    std::wstring win = L"Z:" + unix;
    for (auto& c : win)
        if (c == L'/') c = L'\\';
    if (win.back() != L'\\') win.push_back(L'\\');
    return win;
}

DWORD HandleCount() {
    DWORD count = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &count) && count > 0) return count;
    // Wine answers 0 here: count the handle values that name an open handle.
    DWORD flags;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4)
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    return count;
}

DWORD GdiObjectCount() {
    DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    if (count > 0) return count;
    // Wine's GetGuiResources is a stub; its handle table also takes a bare
    // table index as handle, so count the indices that hold an object.
    for (ULONG_PTR index = 1; index < 0x10000; ++index)
        if (::GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++count;
    return count;
}

std::string ToCp949(const std::wstring& text) { return CodePage::FromWide(text); }

std::wstring FromCp949(const std::string& bytes) { return CodePage::ToWide(bytes); }

std::wstring ListItemText(HWND list, int row, int column) {
    wchar_t text[260] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 260;
    ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::vector<std::vector<std::wstring>> ListRows(HWND list, int columns) {
    std::vector<std::vector<std::wstring>> rows;
    int n = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        rows.emplace_back();
        for (int c = 0; c < columns; ++c) rows.back().push_back(ListItemText(list, i, c));
    }
    return rows;
}

std::vector<LPARAM> ListItemData(HWND list) {
    std::vector<LPARAM> data;
    int n = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        data.push_back(item.lParam);
    }
    return data;
}

std::string Utf8(const std::wstring& text) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

int ThreadCount() {
    int n = 0;
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 te{};
    te.dwSize = sizeof(te);
    for (BOOL ok = ::Thread32First(snap, &te); ok; ok = ::Thread32Next(snap, &te))
        if (te.th32OwnerProcessID == ::GetCurrentProcessId()) ++n;
    ::CloseHandle(snap);
    return n;
}

namespace {

struct BoxSearch {
    const std::wstring* caption;
    HWND found;
};

// Found without sending any message to the windows of the busy thread.
BOOL CALLBACK IsBox(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<BoxSearch*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16] = {}, text[128] = {};
    ::GetClassNameW(hwnd, cls, 16);
    ::InternalGetWindowText(hwnd, text, 128);
    if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd) || std::wstring(cls) != L"#32770" ||
        *search->caption != text)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(std::wstring caption, int button) : m_caption(std::move(caption)), m_button(button) {
    m_thread = std::thread([this] {
        while (!m_stop) {
            BoxSearch search{&m_caption, nullptr};
            ::EnumWindows(&IsBox, reinterpret_cast<LPARAM>(&search));
            if (search.found) Answer(search.found);
            ::Sleep(30);
        }
        m_done = true;
    });
}

MessageBoxWatcher::~MessageBoxWatcher() {
    m_stop = true;
    // Keep answering this thread's windows while the watcher finishes.
    PumpUntil([this] { return m_done.load(); }, 10000);
    m_thread.join();
}

std::vector<std::wstring> MessageBoxWatcher::Texts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts;
}

void MessageBoxWatcher::Answer(HWND box) {
    std::wstring text = DialogText(box);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.push_back(text);
    }
    int button = m_button;
    ClickDialogButton(box, button);
    DWORD start = ::GetTickCount();
    while (::IsWindow(box) && ::GetTickCount() - start < 3000) ::Sleep(20);
    if (::IsWindow(box)) {
        // The click missed: close it anyway so the program does not hang, and tell.
        ++m_clickFailed;
        ::PostMessageW(box, WM_COMMAND, button, 0);
        while (::IsWindow(box)) ::Sleep(20);
    }
}

ResponsivenessWatcher::ResponsivenessWatcher(HWND window) : m_window(window) {
    m_thread = std::thread([this] {
        while (!m_stop) {
            m_sentAt = ::GetTickCount();
            m_waiting = true;
            DWORD_PTR result = 0;
            LRESULT ok = ::SendMessageTimeoutW(m_window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
            m_waiting = false;
            DWORD took = ::GetTickCount() - m_sentAt;
            if (!ok && !::IsWindow(m_window)) break;
            if (took > m_worst) m_worst = took;
            ++m_answers;
            ::Sleep(5);
        }
    });
}

ResponsivenessWatcher::~ResponsivenessWatcher() {
    m_stop = true;
    // The last message may wait for this thread to pump.
    PumpUntil([this] { return !m_waiting.load(); }, 65000);
    m_thread.join();
}

DWORD ResponsivenessWatcher::WorstMs() const {
    DWORD worst = m_worst;
    if (m_waiting) worst = std::max<DWORD>(worst, ::GetTickCount() - m_sentAt);
    return worst;
}

}  // namespace testing_support
