// The server list benchmark's Windows side: starts the real launcher from a
// program folder, chooses a group by clicking the folder bar with the real
// mouse, reads the list from outside the launcher's process, and compares its
// readings with connects of its own.
//
//   ListBench latency <folder> <address> <servers>   launcher's and native medians
//   ListBench sweep   <folder> <address> <servers>   sweep wall time / sum of native connects
//   ListBench load    <folder> <address> <rows>      list load time and worst window latency
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "ListViews.h"

namespace {

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t.QuadPart * 1000.0 / frequency.QuadPart;
}

double Median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A connect of our own: non-blocking, timed from connect() to the moment select
// sees it accepted; -1 when it is not accepted within a second.
double NativeConnectMs(const char* address) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    u_long on = 1;
    ::ioctlsocket(s, FIONBIO, &on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(6112);
    addr.sin_addr.s_addr = inet_addr(address);
    double t0 = NowMs();
    ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    fd_set done, failed;
    FD_ZERO(&done);
    FD_ZERO(&failed);
    FD_SET(s, &done);
    FD_SET(s, &failed);
    timeval tv{1, 0};
    int n = ::select(0, nullptr, &done, &failed, &tv);
    double t1 = NowMs();
    ::closesocket(s);
    return n > 0 && FD_ISSET(s, &done) ? t1 - t0 : -1;
}

bool WriteList(const std::wstring& path, const std::string& address, int n) {
    std::string bytes;
    for (int i = 0; i < n; ++i) {
        bytes += 'S';
        bytes += std::to_string(i);
        bytes += ',';
        bytes += address;
        bytes += "\r\n";
    }
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(f);
    return written == bytes.size();
}

struct Launcher {
    PROCESS_INFORMATION pi{};
    HWND frame = nullptr, view = nullptr, bar = nullptr, list = nullptr;

    static BOOL CALLBACK FindFrame(HWND hwnd, LPARAM lParam) {
        auto* self = reinterpret_cast<Launcher*>(lParam);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        if (pid != self->pi.dwProcessId || !::IsWindowVisible(hwnd)) return TRUE;
        self->frame = hwnd;
        return FALSE;
    }

    bool Start(const std::wstring& folder) {
        std::wstring exe = folder + L"Orvn.exe";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        std::wstring cmd = L"\"" + exe + L"\"";
        if (!::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
            return false;
        for (int i = 0; i < 300 && !list; ++i) {
            ::Sleep(50);
            frame = nullptr;
            ::EnumWindows(&Launcher::FindFrame, reinterpret_cast<LPARAM>(this));
            if (!frame) continue;
            view = ::FindWindowExW(frame, nullptr, L"OrvPingView", nullptr);
            if (!view) continue;
            bar = ::FindWindowExW(view, nullptr, nullptr, L"Folder");
            list = ::FindWindowExW(view, nullptr, L"OrvServerList", nullptr);
        }
        if (!list || !bar) return false;
        ::Sleep(1500);  // let the start-up settle
        return true;
    }

    void Stop() {
        ::TerminateProcess(pi.hProcess, 0);
        ::WaitForSingleObject(pi.hProcess, 5000);
        ::CloseHandle(pi.hProcess);
        ::CloseHandle(pi.hThread);
    }

    int Rows() const { return testing_support::ListItemCount(list); }

    std::wstring Text(int row, int column) const { return testing_support::ListItemText(list, row, column); }

    // Clicks a tile of the open StarCraft folder with the real mouse: 0 Battle.net, 1 Free.
    void ClickTile(int tile) const {
        POINT pt{42, 35 + 55 * tile + 27};
        ::ClientToScreen(bar, &pt);
        ::SetForegroundWindow(frame);
        int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
        INPUT in[3]{};
        for (auto& i : in) i.type = INPUT_MOUSE;
        in[0].mi.dx = static_cast<LONG>((pt.x * 65536LL + w / 2) / w);
        in[0].mi.dy = static_cast<LONG>((pt.y * 65536LL + h / 2) / h);
        in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        ::SendInput(3, in, sizeof(INPUT));
    }
};

int Millis(const std::wstring& text) {
    unsigned ms = 0;
    if (swscanf(text.c_str(), L"%u", &ms) != 1 || std::to_wstring(ms) + L"ms" != text) return -1;
    return static_cast<int>(ms);
}

bool Finished(const std::wstring& text) { return text != L"-" && text != L"접속중..." && !text.empty(); }

// Clicks a tile and waits until the list has n rows and its last row has a result.
bool RunSweep(Launcher& l, int tile, int n, double* clickAt, double* doneAt) {
    *clickAt = NowMs();
    l.ClickTile(tile);
    double deadline = *clickAt + 120000;
    while (NowMs() < deadline) {
        if (l.Rows() == n && Finished(l.Text(n - 1, 2))) {
            *doneAt = NowMs();
            ::Sleep(300);  // the sort
            return true;
        }
        ::Sleep(5);
    }
    return false;
}

// Two list files of the same servers, so that every choice loads a fresh list.
bool WriteLists(const std::wstring& folder, const std::string& address, int n) {
    return WriteList(folder + L"Blizzard.txt", address, n) && WriteList(folder + L"Free.txt", address, n) &&
           (::DeleteFileW((folder + L"User.txt").c_str()) || true);
}

int Latency(Launcher& l, const std::wstring& folder, const std::string& address, int n, int rounds) {
    WriteLists(folder, address, n);
    std::vector<double> launcher, native;
    for (int r = 0; r < rounds; ++r) {
        double t0, t1;
        if (!RunSweep(l, r % 2, n, &t0, &t1)) {
            std::printf("latency: the sweep did not finish\n");
            return 1;
        }
        for (int i = 0; i < n; ++i) {
            int ms = Millis(l.Text(i, 2));
            if (ms >= 0) launcher.push_back(ms);
        }
        for (int i = 0; i < n; ++i) {
            double ms = NativeConnectMs(address.c_str());
            if (ms >= 0) native.push_back(ms);
        }
    }
    std::printf("latency launcher_median=%.2f native_median=%.2f samples=%zu/%zu\n", Median(launcher), Median(native),
                launcher.size(), native.size());
    return 0;
}

int Sweep(Launcher& l, const std::wstring& folder, const std::string& address, int n) {
    WriteLists(folder, address, n);
    double t0, t1;
    if (!RunSweep(l, 0, n, &t0, &t1)) {
        std::printf("sweep: did not finish\n");
        return 1;
    }
    double sum = 0;
    int answered = 0;
    for (int i = 0; i < n; ++i) {
        double ms = NativeConnectMs(address.c_str());
        if (ms >= 0) {
            sum += ms;
            ++answered;
        }
    }
    std::printf("sweep servers=%d wall_ms=%.1f native_sum_ms=%.1f ratio=%.2f\n", n, t1 - t0, sum,
                sum > 0 ? (t1 - t0) / sum : -1);
    return 0;
}

int Load(Launcher& l, const std::wstring& folder, const std::string& address, int n) {
    WriteLists(folder, address, n);
    // Watches the window from another thread while the list fills.
    std::atomic<bool> stop{false};
    std::atomic<double> worst{0};
    std::thread watcher([&] {
        while (!stop) {
            double t0 = NowMs();
            DWORD_PTR r;
            ::SendMessageTimeoutW(l.frame, WM_NULL, 0, 0, SMTO_NORMAL, 900000, &r);
            double took = NowMs() - t0;
            if (took > worst) worst = took;
            ::Sleep(5);
        }
    });
    ::Sleep(200);
    double t0 = NowMs();
    l.ClickTile(0);
    double loaded = -1;
    while (NowMs() - t0 < 900000) {
        if (l.Rows() == n) {
            loaded = NowMs() - t0;
            break;
        }
        ::Sleep(2);
    }
    ::Sleep(1000);  // the first rows measured meanwhile
    stop = true;
    watcher.join();
    std::printf("load rows=%d load_ms=%.0f worst_latency_ms=%.0f\n", n, loaded, worst.load());
    return loaded < 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) {
        std::printf("usage: ListBench latency|sweep|load <folder> <address> <count> [rounds]\n");
        return 2;
    }
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    std::wstring mode = argv[1], folder = argv[2];
    if (folder.back() != L'\\') folder += L'\\';
    std::string address;
    for (wchar_t* p = argv[3]; *p; ++p) address += static_cast<char>(*p);
    int count = _wtoi(argv[4]);
    int rounds = argc > 5 ? _wtoi(argv[5]) : 4;

    Launcher l;
    // Files first: the launcher reads them at the click, not at its start.
    WriteLists(folder, address, 1);
    if (!l.Start(folder)) {
        std::printf("could not start the launcher from %ls\n", folder.c_str());
        return 1;
    }
    int rc = mode == L"latency" ? Latency(l, folder, address, count, rounds)
             : mode == L"sweep" ? Sweep(l, folder, address, count)
                                : Load(l, folder, address, count);
    std::fflush(stdout);
    l.Stop();
    return rc;
}
