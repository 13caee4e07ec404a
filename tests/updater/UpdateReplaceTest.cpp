// start.exe replaced by a new copy: whatever step a kill lands on, start.exe is there and runs.
#include <gtest/gtest.h>

#include <memory>

#include "AppBase.h"
#include "TestSupport.h"
#include "UpdateServer.h"

using namespace testing_support;

namespace {

class UpdateReplaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        // No record of an older updater to take over.
        ::DeleteFileW(CAppBase::ProfileFilePath(L"start.INI").c_str());
        m_program = MakeTempFolder(L"orvn-repl-prog-");
        m_release = MakeTempFolder(L"orvn-repl-rel-");
        // The release's start.exe probes this machine, which answers at once: it hands over without an update.
        ASSERT_TRUE(CopyFileTo(TestFolder() + L"StartLocalProbe.exe", m_release + L"start.exe"));
        ASSERT_TRUE(WriteFileBytes(m_release + L"Free.txt", "new free list"));
        const int size = static_cast<int>(New().size());
        ASSERT_TRUE(WriteManifest(m_release + L"version.ini", {{L"start.exe", L"1,0,0,9", size}, {L"Free.txt", L"2", 13}}));
        ASSERT_TRUE(CopyFileTo(TestFolder() + L"OrvnStandIn4.exe", m_program + L"Orvn.exe"));
    }
    void TearDown() override {
        m_proxy.reset();
        m_server.reset();
        RemoveFolder(m_program);
        RemoveFolder(m_release);
    }
    std::string Old() const { return FileBytes(DistFolder() + L"start.exe"); }
    std::string New() const { return FileBytes(TestFolder() + L"StartLocalProbe.exe"); }
    std::string Installed() const { return FileBytes(m_program + L"start.exe"); }
    bool Waiting() const { return CAppBase::FileExists(m_program + L"start.exe.orvn-new"); }
    void Serve(const std::wstring& fault) {
        m_proxy.reset();
        m_server = std::make_unique<UpdateServer>();
        ASSERT_TRUE(m_server->Start(m_release, {fault}));
        m_proxy = std::make_unique<ProxySetting>(m_server->Port());
    }

    std::wstring m_program, m_release;
    std::unique_ptr<UpdateServer> m_server;
    std::unique_ptr<ProxySetting> m_proxy;
};

TEST_F(UpdateReplaceTest, AKillAtEachStepLeavesAStartExeThatRunsAndTheLauncherFinishes) {
    struct Step {
        const char* name;
        const wchar_t* gated;  // the request the run waits on when it is killed
        bool waits;            // the new copy is whole beside start.exe by then
    };
    const Step steps[] = {{"fetching the new start.exe", L"start.exe", false},
                          {"the new start.exe staged, the next file fetching", L"Free.txt", true}};
    int starts = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        ASSERT_TRUE(CopyFileTo(DistFolder() + L"start.exe", m_program + L"start.exe"));
        // This installation's record: Free.txt 1 is in, whatever the step before installed.
        ::DeleteFileW((m_program + L"start.INI").c_str());
        ::WritePrivateProfileStringW(L"Version", L"Free.txt", L"1", (m_program + L"start.INI").c_str());
        Serve(std::wstring(step.gated) + L"=gate");
        {
            Process updater;
            ASSERT_TRUE(StartProcess(m_program + L"start.exe", L"", m_program, &updater));
            // The real probe host may take long to give up under Wine.
            ASSERT_TRUE(PumpUntil([&] { return m_server->CountRequests(step.gated) == 1; }, 120000));
            EXPECT_EQ(step.waits, Waiting());
            ::TerminateProcess(updater.process, 9);
            EXPECT_EQ(9u, updater.Wait(10000));
        }
        // The shortcut's target is the old program, whole.
        EXPECT_TRUE(Old() == Installed());

        // The launcher started by hand puts a whole new copy in place.
        Process launcher;
        ASSERT_TRUE(StartProcess(m_program + L"Orvn.exe", L"", m_program, &launcher));
        ++starts;
        EXPECT_EQ(starts, LauncherStarts(m_program, starts));
        EXPECT_TRUE((step.waits ? New() : Old()) == Installed());
        EXPECT_FALSE(Waiting());

        // start.exe runs by its path (the gate is open now), updates if it must, and hands over.
        Process updater;
        ASSERT_TRUE(StartProcess(m_program + L"start.exe", L"", m_program, &updater));
        EXPECT_EQ(0u, updater.Wait(120000));
        ++starts;
        EXPECT_EQ(starts, LauncherStarts(m_program, starts));
        ASSERT_TRUE(PumpUntil([&] { return New() == Installed() && !Waiting(); }, 20000));
        EXPECT_FALSE(CAppBase::FileExists(m_program + L"start.exe.orvn-part"));
        EXPECT_FALSE(CAppBase::FileExists(m_program + L"start.exe.orvn-old"));
    }
}

TEST_F(UpdateReplaceTest, TheRealLauncherFinishesAReplacementLeftPartWay) {
    // The launcher with its own files, beside what a killed updater (this one or an older one) left.
    for (const wchar_t* name : {L"Orvn.exe", L"Orvmedia.dll"})
        ASSERT_TRUE(CopyFileTo(DistFolder() + name, m_program + name));
    struct Case {
        const char* name;
        const wchar_t* oldAs;  // where the old start.exe is
        bool waits;            // a whole new copy waits as start.exe.orvn-new
    };
    const Case cases[] = {{"a new copy waits beside start.exe", L"start.exe", true},
                          {"an older updater killed between its renames", L"start.exe.orvn-old", true},
                          {"an older updater killed after moving itself aside", L"start.exe.orvn-old", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const wchar_t* name : {L"start.exe", L"start.exe.orvn-old", L"start.exe.orvn-new"})
            ::DeleteFileW((m_program + name).c_str());
        ASSERT_TRUE(CopyFileTo(DistFolder() + L"start.exe", m_program + c.oldAs));
        if (c.waits) {
            ASSERT_TRUE(CopyFileTo(TestFolder() + L"StartLocalProbe.exe", m_program + L"start.exe.orvn-new"));
        }
        Process launcher;
        ASSERT_TRUE(StartProcess(m_program + L"Orvn.exe", L"", m_program, &launcher));
        EXPECT_TRUE(PumpUntil([&] { return (c.waits ? New() : Old()) == Installed() && !Waiting(); }, 30000));
        EXPECT_EQ(STILL_ACTIVE, launcher.Wait(0)) << "the launcher runs on";
        ::TerminateProcess(launcher.process, 0);
        launcher.Wait(10000);
    }
}

}  // namespace
