// Entry point of every test program: the launcher's application object, sockets,
// OLE and the common controls, as the launcher has them, then googletest.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include "LauncherApp.h"

int wmain(int argc, wchar_t** argv) {
    CLauncherApp app;
    app.SetAppName(L"Orvane");
    WSADATA data;
    ::WSAStartup(MAKEWORD(1, 1), &data);
    ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

    testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    ::OleUninitialize();
    ::WSACleanup();
    return rc;
}
