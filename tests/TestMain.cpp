// Entry point of every test program: an application object with the program's
// name and profile, sockets, OLE and the common controls as the programs have
// them, then googletest.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "AppBase.h"

namespace {
// A crash in any thread must fail the run; under Wine such a process can end with code 0.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    std::printf("[  FAILED  ] crashed: exception 0x%08lX\n", info->ExceptionRecord->ExceptionCode);
    std::fflush(stdout);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    // 57344 is the application title string of both programs.
    CAppBase app(57344, ORVN_TEST_PROFILE);
    app.SetAppName(ORVN_TEST_APP_NAME);
    WSADATA data;
    ::WSAStartup(MAKEWORD(1, 1), &data);
    ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(ReportCrash);

    testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    ::OleUninitialize();
    ::WSACleanup();
    return rc;
}
