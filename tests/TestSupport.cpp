#include "TestSupport.h"

#include "CodePage.h"

#include <commctrl.h>
#include <shellapi.h>

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

void KeyDown(WORD vk) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    ::SendInput(1, &in, sizeof(INPUT));
    Pump(30);
}

void KeyUp(WORD vk) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(1, &in, sizeof(INPUT));
    Pump(30);
}

void TypeText(const std::wstring& text) {
    for (wchar_t c : text) {
        // Keys of the keyboard where there is one (digits, letters, '.'), so
        // that controls watching key presses see them; the rest as characters.
        SHORT scan = c < 0x80 ? ::VkKeyScanW(c) : -1;
        if (scan != -1 && !(HIBYTE(scan) & ~1)) {
            bool shift = HIBYTE(scan) & 1;
            if (shift) KeyDown(VK_SHIFT);
            PressKey(LOBYTE(scan));
            if (shift) KeyUp(VK_SHIFT);
            continue;
        }
        INPUT in[2]{};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wScan = in[1].ki.wScan = c;
        in[0].ki.dwFlags = KEYEVENTF_UNICODE;
        in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        ::SendInput(2, in, sizeof(INPUT));
        Pump(20);
    }
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

void ClickWindow(HWND window) {
    RECT r;
    if (!::GetWindowRect(window, &r)) return;
    ::SetForegroundWindow(::GetAncestor(window, GA_ROOT));
    Pump(50);
    ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
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

namespace {

// A block in the process of a window, for messages whose lParam it must see.
class RemoteBlock {
public:
    RemoteBlock(HWND window, size_t size) : m_size(size) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        m_process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_process)
            m_base = static_cast<BYTE*>(::VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteBlock() {
        if (m_base) ::VirtualFreeEx(m_process, m_base, 0, MEM_RELEASE);
        if (m_process) ::CloseHandle(m_process);
    }
    bool ok() const { return m_base != nullptr; }
    BYTE* at(size_t offset) const { return m_base + offset; }
    bool Write(size_t offset, const void* data, size_t size) {
        return ::WriteProcessMemory(m_process, m_base + offset, data, size, nullptr);
    }
    bool Read(size_t offset, void* data, size_t size) {
        return ::ReadProcessMemory(m_process, m_base + offset, data, size, nullptr);
    }

private:
    HANDLE m_process = nullptr;
    BYTE* m_base = nullptr;
    size_t m_size;
};

}  // namespace

int ListItemCount(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring ListItemText(HWND list, int item, int subItem) {
    constexpr int kChars = 260;
    RemoteBlock block(list, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
    if (!block.ok()) return L"";
    LVITEMW lv{};
    lv.iSubItem = subItem;
    lv.pszText = reinterpret_cast<wchar_t*>(block.at(sizeof(LVITEMW)));
    lv.cchTextMax = kChars;
    block.Write(0, &lv, sizeof(lv));
    ::SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(block.at(0)));
    wchar_t text[kChars] = {};
    block.Read(sizeof(LVITEMW), text, sizeof(text));
    text[kChars - 1] = L'\0';
    return text;
}

POINT ListItemPoint(HWND list, int item) {
    RemoteBlock block(list, sizeof(RECT));
    RECT r{};
    r.left = LVIR_LABEL;
    if (block.ok()) {
        block.Write(0, &r, sizeof(r));
        ::SendMessageW(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(block.at(0)));
        block.Read(0, &r, sizeof(r));
    }
    return ClientToScreenPoint(list, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

int FindListItem(HWND list, int subItem, const std::wstring& text) {
    int count = ListItemCount(list);
    for (int i = 0; i < count; ++i)
        if (ListItemText(list, i, subItem) == text) return i;
    return -1;
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

}  // namespace testing_support
