#include "TestSupport.h"

#include <commctrl.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "AppBase.h"
#include "CodePage.h"

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

bool PostedQueueEmpty() { return HIWORD(::GetQueueStatus(QS_POSTMESSAGE)) == 0; }

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

void DoubleClickAt(int x, int y) {
    MouseMoveTo(x, y);
    for (DWORD flags : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP})
        SendMouse(flags);
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

void KeyDown(WORD vk) {
    SendKey(vk, 0, 0);
    Pump(30);
}

void KeyUp(WORD vk) {
    SendKey(vk, 0, KEYEVENTF_KEYUP);
    Pump(30);
}

void PressKey(WORD vk) {
    SendKey(vk, 0, 0);
    SendKey(vk, 0, KEYEVENTF_KEYUP);
    Pump(60);
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

MessageBoxAnswerer::MessageBoxAnswerer(int button, std::function<void(HWND)> onBox)
    : m_button(button), m_onBox(std::move(onBox)), m_caption(CAppBase::Get()->GetAppName()) {
    m_thread = std::thread([this] {
        while (!m_stop) {
            if (HWND box = Find(m_caption, L"#32770", 0)) Answer(box);
            ::Sleep(30);
        }
        m_done = true;
    });
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    m_stop = true;
    // Keep this thread's windows answering while the watcher finishes.
    PumpUntil([this] { return m_done.load(); }, 10000);
    m_thread.join();
}

std::vector<std::wstring> MessageBoxAnswerer::Texts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts;
}

void MessageBoxAnswerer::Answer(HWND box) {
    if (m_onBox) m_onBox(box);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.push_back(DialogText(box));
    }
    ClickDialogButton(box, m_button);
    DWORD start = ::GetTickCount();
    while (::IsWindow(box) && ::GetTickCount() - start < 3000) ::Sleep(20);
    if (::IsWindow(box)) {
        ::PostMessageW(box, WM_COMMAND, m_button, 0);
        while (::IsWindow(box)) ::Sleep(20);
    }
}

Canvas::Canvas(int width, int height, COLORREF fill) : m_width(width), m_height(height) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    m_dc.Reset(::CreateCompatibleDC(nullptr));
    m_bitmap.Reset(::CreateDIBSection(m_dc.Get(), &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0));
    m_old = ::SelectObject(m_dc.Get(), m_bitmap.Get());
    DWORD value = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
    std::fill(m_bits, m_bits + width * height, value);
}

namespace {

SIZE ClientSize(HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    return SIZE{r.right, r.bottom};
}

}  // namespace

Canvas::Canvas(HWND window) : Canvas(ClientSize(window).cx, ClientSize(window).cy) {
    POINT origin = ClientToScreenPoint(window, 0, 0);
    WindowDC screen(nullptr);
    ::BitBlt(m_dc.Get(), 0, 0, m_width, m_height, screen.Get(), origin.x, origin.y, SRCCOPY);
}

COLORREF Canvas::At(int x, int y) const {
    ::GdiFlush();
    DWORD v = m_bits[y * m_width + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

bool CRecordingWindow::Create(DWORD style, const RECT& r) {
    LPCWSTR cls = RegisterClass(L"OrvTestRecordingWnd", 0, ::LoadCursorW(nullptr, IDC_ARROW),
                                reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)), nullptr);
    return CreateEx(WS_EX_TOPMOST, cls, L"Test", style, r, nullptr, 0);
}

LRESULT CRecordingWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) commands.emplace_back(wParam, lParam);
    return Default(msg, wParam, lParam);
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

int OwnThreadCount() {
    int n = 0;
    UniqueKernelHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 te{};
    te.dwSize = sizeof(te);
    for (BOOL ok = ::Thread32First(snap.Get(), &te); ok; ok = ::Thread32Next(snap.Get(), &te))
        if (te.th32OwnerProcessID == ::GetCurrentProcessId()) ++n;
    return n;
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
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool ReadFileBytes(const std::wstring& path, std::string* bytes) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    DWORD size = ::GetFileSize(file.Get(), nullptr), read = 0;
    bytes->assign(size, '\0');
    return ::ReadFile(file.Get(), bytes->data(), size, &read, nullptr) && read == size;
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

std::wstring UnixPath(const std::wstring& windowsPath) {
    using Fn = char*(CDECL*)(LPCWSTR);
    auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = fn ? fn(windowsPath.c_str()) : nullptr;
    if (!unix) return std::wstring();
    std::wstring result = CodePage::ToWide(unix, CP_UTF8);
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return result;
}

namespace {
constexpr int kRecordRate = 11025;
}  // namespace

std::vector<short> RecordSink(double seconds, const std::function<void()>& during) {
    std::vector<short> samples;
    std::wstring folder = MakeTempFolder(L"orvn_rec"), raw = folder + L"rec.raw", part = raw + L".part";
    std::wstring file = UnixPath(raw);
    // Written under another name and renamed when complete, so the end can be told.
    wchar_t script[1024];
    swprintf(script, 1024,
             L"-c \"/usr/bin/timeout %.2f /usr/bin/parec -d ${PULSE_SINK:-orvn_null}.monitor --raw --format=s16le "
             L"--rate=%d --channels=1 --latency-msec=20 > %ls.part; /bin/mv %ls.part %ls\"",
             seconds, kRecordRate, file.c_str(), file.c_str(), file.c_str());
    // A Unix program gives no process handle; the renamed file is the signal. Starting the
    // recorder can take a second on a busy machine: it runs once its first samples are written.
    auto started = [&] {
        WIN32_FILE_ATTRIBUTE_DATA data;
        return ::GetFileAttributesExW(part.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow > 0;
    };
    std::string bytes;
    Process recorder;
    if (!file.empty() && StartProcess(L"Z:\\bin\\sh", script, L"", &recorder)) {
        if (PumpUntil(started, 20000)) {
            if (during) during();
            if (PumpUntil([&] { return ::GetFileAttributesW(raw.c_str()) != INVALID_FILE_ATTRIBUTES; },
                          static_cast<DWORD>(seconds * 1000) + 20000) && ReadFileBytes(raw, &bytes))
                samples.assign(reinterpret_cast<const short*>(bytes.data()),
                               reinterpret_cast<const short*>(bytes.data()) + bytes.size() / 2);
        }
    }
    RemoveFolder(folder);
    return samples;
}

double Rms(const std::vector<short>& samples, double from, double to) {
    size_t a = static_cast<size_t>(std::max(0.0, from) * kRecordRate);
    size_t b = std::min(samples.size(), static_cast<size_t>(std::max(0.0, to) * kRecordRate));
    if (b <= a) return 0;
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    return std::sqrt(sum / static_cast<double>(b - a));
}

std::vector<double> Envelope(const std::vector<short>& samples, double blockSeconds) {
    std::vector<double> out;
    double total = static_cast<double>(samples.size()) / kRecordRate;
    for (double t = 0; t + blockSeconds <= total; t += blockSeconds) out.push_back(Rms(samples, t, t + blockSeconds));
    return out;
}

std::string ToCp949(const std::wstring& text) { return CodePage::FromWide(text); }

std::string ToUtf8(const std::wstring& text) { return CodePage::FromWide(text, CP_UTF8); }

bool WriteListFile(const std::wstring& path, const ServerList& servers) {
    std::string bytes;
    for (const auto& s : servers) bytes += ToCp949(s.first + L"," + s.second + L"\r\n");
    return WriteFileBytes(path, bytes);
}

bool SetRegistryString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY h;
    if (::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return false;
    UniqueRegKey owner(h);
    return ::RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RegistryString(HKEY root, const std::wstring& key, const wchar_t* name, std::wstring* value, DWORD* type,
                    DWORD* bytes, REGSAM view) {
    HKEY h;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS) return false;
    UniqueRegKey owner(h);
    wchar_t buffer[1024] = {};
    DWORD t = 0, n = sizeof(buffer) - sizeof(wchar_t);
    if (::RegQueryValueExW(h, name, nullptr, &t, reinterpret_cast<BYTE*>(buffer), &n) != ERROR_SUCCESS) return false;
    if (type) *type = t;
    if (bytes) *bytes = n;
    *value = buffer;
    return t == REG_SZ;
}

bool RegistryKeyExists(HKEY root, const std::wstring& key, REGSAM view) {
    HKEY h;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS) return false;
    UniqueRegKey owner(h);
    return true;
}

namespace {
const wchar_t kHttpOpen[] = L"http\\shell\\open\\command";
}

UrlHandlerStandIn::UrlHandlerStandIn(const std::wstring& exe) : m_exe(exe) {
    m_had = RegistryString(HKEY_CLASSES_ROOT, kHttpOpen, nullptr, &m_old);
    SetRegistryString(HKEY_CLASSES_ROOT, kHttpOpen, nullptr, L"\"" + exe + L"\" \"%1\"");
    ::DeleteFileW((exe + L".log").c_str());
}

UrlHandlerStandIn::~UrlHandlerStandIn() {
    if (m_had) SetRegistryString(HKEY_CLASSES_ROOT, kHttpOpen, nullptr, m_old);
    ::DeleteFileW((m_exe + L".log").c_str());
}

std::wstring UrlHandlerStandIn::Arguments(DWORD waitMs) {
    std::wstring log = StandInLog(m_exe, waitMs);
    size_t start = log.find(L"args=");
    if (start == std::wstring::npos) return L"";
    size_t end = log.find(L"\r\n", start);
    return log.substr(start + 5, end - start - 5);
}

std::wstring StandInLog(const std::wstring& exe, DWORD waitMs) {
    std::string bytes;
    PumpUntil([&] { return ReadFileBytes(exe + L".log", &bytes) && !bytes.empty(); }, waitMs);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

}  // namespace testing_support
