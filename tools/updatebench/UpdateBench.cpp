// Not a test: prints how long the updater takes to install one file, or (with
// "plain" first) how long a bare WinINet loop of 64 KiB reads takes to save it.
//   UpdateBench [plain] <port> <file name> <size>
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <wininet.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "AppBase.h"
#include "RecordingUi.h"
#include "TestSupport.h"
#include "UpdateServer.h"
#include "Updater.h"

using namespace testing_support;

namespace {

// The yardstick: no progress, no checks, the platform's reads straight into a file.
int PlainLoop(const std::wstring& port, const std::wstring& name) {
    std::wstring folder = MakeTempFolder(L"orvn-bench-plain-");
    auto start = std::chrono::steady_clock::now();
    HINTERNET session = ::InternetOpenW(L"bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    std::wstring url = L"http://127.0.0.1:" + port + L"/quilla/" + name;
    HINTERNET request = ::InternetOpenUrlW(session, url.c_str(), nullptr, 0,
                                           INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    HANDLE file = ::CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::vector<char> buffer(64 * 1024);
    size_t bytes = 0;
    DWORD n = 0, written = 0;
    while (request && ::InternetReadFile(request, buffer.data(), static_cast<DWORD>(buffer.size()), &n) && n > 0) {
        ::WriteFile(file, buffer.data(), n, &written, nullptr);
        bytes += n;
    }
    ::CloseHandle(file);
    ::InternetCloseHandle(request);
    ::InternetCloseHandle(session);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    printf("plain WinINet: %zu bytes, %.1f ms (%.1f MB/s)\n", bytes, ms, bytes / 1048576.0 / (ms / 1000.0));
    RemoveFolder(folder);
    return bytes ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 4 && std::wstring(argv[1]) == L"plain") return PlainLoop(argv[2], argv[3]);
    if (argc < 4) return 2;
    CAppBase app(57344, L"start.INI");
    ::InitCommonControls();
    std::wstring program = MakeTempFolder(L"orvn-bench-prog-"), temp = MakeTempFolder(L"orvn-bench-temp-");
    RecordingUi ui;
    CUpdater updater(ui, {program, temp, L"127.0.0.1:" + std::wstring(argv[1]), L"", L"orvn-bench.INI", "", L""});
    auto start = std::chrono::steady_clock::now();
    CManifest::Entry entry;
    entry.name = argv[2];
    entry.size = _wtoi(argv[3]);
    entry.hasSize = true;
    entry.version = L"1";
    bool ok = updater.UpdateFile(entry);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    size_t bytes = ok ? FileBytes(program + argv[2]).size() : 0;
    printf("updater: %s, %zu bytes installed, %.1f ms (%.1f MB/s), %zu progress updates\n", ok ? "ok" : "FAILED", bytes,
           ms, bytes / 1048576.0 / (ms / 1000.0), ui.positions.size());
    RemoveFolder(program);
    RemoveFolder(temp);
    return ok ? 0 : 1;
}
