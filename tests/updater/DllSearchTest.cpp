// A DLL named like a system one that a program imports, dropped beside the real
// start.exe or Orvn.exe with Wine told to prefer such a native copy, is never
// loaded: both programs take system DLLs from the system folder only.
// The planted DLL is msvfw32.dll (the skins are drawn through it). Not version.dll:
// Wine's own user32 imports version.dll, so under Wine a planted one is loaded by
// user32 before any code of the program runs; on Windows user32 does not.
#include <gtest/gtest.h>

#include "AppBase.h"
#include "TestSupport.h"
#include "UpdateServer.h"

using namespace testing_support;

TEST(DllSearchTest, APlantedMsvfw32DllBesideEitherProgramIsNeverLoaded) {
    std::wstring program = MakeTempFolder(L"orvn-dll-prog-"), release = MakeTempFolder(L"orvn-dll-rel-");
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"planted\\msvfw32.dll", program + L"msvfw32.dll"));
    ASSERT_TRUE(CopyFileTo(DistFolder() + L"Orvn.exe", program + L"Orvn.exe"));
    {
        DllOverride native(L"Orvn.exe", L"msvfw32", L"native,builtin");
        Process launcher;
        ASSERT_TRUE(StartProcess(program + L"Orvn.exe", L"", program, &launcher));
        // The launcher draws its skin through msvfw32.dll from its first paint on; once its
        // window answers after that, the load, DllMain included, is over.
        HWND frame = nullptr;
        EXPECT_TRUE(PumpUntil([&] { return ModuleLoaded(launcher.pid, L"msvfw32.dll"); }, 30000));
        EXPECT_TRUE(PumpUntil([&] { return (frame = FindTopLevel(L"Orvane", launcher.pid)) != nullptr; }, 30000));
        DWORD_PTR result = 0;
        EXPECT_TRUE(::SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result));
        ::TerminateProcess(launcher.process, 0);
        launcher.Wait(10000);
    }
    EXPECT_FALSE(CAppBase::FileExists(program + L"msvfw32.dll.loaded")) << "loaded by the launcher";
    ::DeleteFileW((program + L"msvfw32.dll.loaded").c_str());

    // The updater, with a newer launcher to fetch so that the run goes as far as an install.
    ASSERT_TRUE(CopyFileTo(DistFolder() + L"start.exe", program + L"start.exe"));
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"OrvnStandIn3.exe", program + L"Orvn.exe"));
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"OrvnStandIn4.exe", release + L"Orvn.exe"));
    int size = static_cast<int>(FileBytes(release + L"Orvn.exe").size());
    ASSERT_TRUE(WriteManifest(release + L"version.ini", {{L"Orvn.exe", L"1,0,0,4", size}}));
    UpdateServer server;
    ASSERT_TRUE(server.Start(release));
    ProxySetting proxy(server.Port());
    {
        DllOverride native(L"start.exe", L"msvfw32", L"native,builtin");
        Process updater;
        ASSERT_TRUE(StartProcess(program + L"start.exe", L"", program, &updater));
        // The real probe host may take long to give up under Wine.
        EXPECT_TRUE(PumpUntil([&] { return updater.Wait(0) != STILL_ACTIVE; }, 120000));
        if (updater.Wait(0) == STILL_ACTIVE) ::TerminateProcess(updater.process, 1);
    }
    EXPECT_TRUE(FileBytes(release + L"Orvn.exe") == FileBytes(program + L"Orvn.exe"));
    EXPECT_FALSE(CAppBase::FileExists(program + L"msvfw32.dll.loaded")) << "loaded by the updater";
    RemoveFolder(program);
    RemoveFolder(release);
}
