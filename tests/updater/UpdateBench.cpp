// Not a test: prints how long the updater takes to install one file.  UpdateBench <port> <file name> <size>
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>

#include "AppBase.h"
#include "RecordingUi.h"
#include "TestSupport.h"
#include "UpdateServer.h"
#include "Updater.h"

using namespace testing_support;

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    CAppBase app(57344, L"start.INI");
    ::InitCommonControls();
    std::wstring program = MakeTempFolder(L"orvn-bench-prog-"), temp = MakeTempFolder(L"orvn-bench-temp-");
    RecordingUi ui;
    CUpdater updater(ui, {program, temp, L"127.0.0.1:" + std::wstring(argv[1]), L"", L"orvn-bench.INI", ""});
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
