// The update run of an updater built with a publisher key, against the
// stand-in update server: only what the publisher signed is installed.
#include <gtest/gtest.h>

#include <functional>

#include "AppBase.h"
#include "TestSupport.h"
#include "UpdateServer.h"

using namespace testing_support;

namespace {

const wchar_t kProfile[] = L"start.INI";
const std::string kSigning = ORVN_TEST_SIGNING_FOLDER;

class SignedUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::WritePrivateProfileStringW(L"Version", nullptr, nullptr, kProfile);
        ::WritePrivateProfileStringW(L"Release", nullptr, nullptr, kProfile);
        m_program = MakeTempFolder(L"orvn-signed-prog-");
        m_release = MakeTempFolder(L"orvn-signed-rel-");
        ASSERT_TRUE(CopyFileTo(TestFolder() + L"StartSigned.exe", m_program + L"start.exe"));
        ResetProgram();
        m_oldLauncher = FileHash(m_program + L"Orvn.exe");
        m_oldFree = FileHash(m_program + L"Free.txt");
    }
    void TearDown() override {
        ::WritePrivateProfileStringW(L"Version", nullptr, nullptr, kProfile);
        ::WritePrivateProfileStringW(L"Release", nullptr, nullptr, kProfile);
        RemoveFolder(m_program);
        RemoveFolder(m_release);
    }
    // The old launcher and free list, each case anew.
    void ResetProgram() {
        ::WritePrivateProfileStringW(L"Release", nullptr, nullptr, kProfile);
        ::WritePrivateProfileStringW(L"Version", L"Free.txt", L"1", kProfile);
        ASSERT_TRUE(CopyFileTo(TestFolder() + L"OrvnStandIn3.exe", m_program + L"Orvn.exe"));
        ASSERT_TRUE(WriteFileBytes(m_program + L"Free.txt", "old free list"));
    }
    // A release of a newer launcher and free list, numbered release, signed with key.
    void MakeRelease(const char* release, const char* key = "publisher") {
        ASSERT_TRUE(CopyFileTo(TestFolder() + L"OrvnStandIn4.exe", m_release + L"Orvn.exe"));
        ASSERT_TRUE(WriteFileBytes(m_release + L"Free.txt", "new free list, longer than the old one"));
        ASSERT_TRUE(WriteManifest(m_release + L"version.ini", {{L"Orvn.exe", L"1,0,0,4", 0}, {L"Free.txt", L"2", 0}}));
        ASSERT_TRUE(RunReleaseTool({"release", kSigning + "/" + key + ".pem", UnixPath(m_release), release}, m_release));
    }
    // Runs the signed start.exe once; the number of launcher starts it caused.
    int RunUpdater() {
        ::DeleteFileW((m_program + L"Orvn.exe.log").c_str());
        UpdateServer server;
        if (!server.Start(m_release)) return -1;
        ProxySetting proxy(server.Port());
        Process updater;
        if (!StartProcess(m_program + L"start.exe", L"", m_program, &updater)) return -1;
        // A refused manifest is the failed fetch: its box, then the launcher.
        HWND box = nullptr;
        PumpUntil([&] { return updater.Wait(0) != STILL_ACTIVE || (box = WaitForDialog(L"Start", 0, updater.pid)); }, 60000);
        if (box) {
            EXPECT_EQ(L"업데이트정보를 가져오는데 실패하였습니다.", DialogText(box));
            ClickDialogButton(box, IDOK);
        }
        EXPECT_EQ(0u, updater.Wait(90000));
        return LauncherStarts(m_program);
    }
    void ExpectOldFilesIntact() {
        EXPECT_EQ(m_oldLauncher, FileHash(m_program + L"Orvn.exe"));
        EXPECT_EQ(m_oldFree, FileHash(m_program + L"Free.txt"));
    }

    std::wstring m_program, m_release;
    std::string m_oldLauncher, m_oldFree;
};

TEST_F(SignedUpdateTest, ASignedReleaseInstallsAndNoAttackInstallsAnything) {
    std::string sig;
    struct Attack {
        const char* name;
        std::function<void()> prepare;
    };
    const std::vector<Attack> attacks = {
        {"one byte changed after signing",
         [&] {
             MakeRelease("5");
             std::string text;
             ASSERT_TRUE(ReadFileBytes(m_release + L"version.ini", &text));
             text[text.find("Release=5") + 8] = '6';
             ASSERT_TRUE(WriteFileBytes(m_release + L"version.ini", text));
         }},
        {"another key", [&] { MakeRelease("5", "other"); }},
        {"no signature", [&] { MakeRelease("5"), ::DeleteFileW((m_release + L"version.ini.sig").c_str()); }},
        {"files swapped after signing",
         [&] {
             MakeRelease("5");
             ASSERT_TRUE(WriteFileBytes(m_release + L"Free.txt", "new free list, longer than the old one!"));
             std::string exe;
             ASSERT_TRUE(ReadFileBytes(m_release + L"Orvn.exe", &exe));
             ASSERT_TRUE(WriteFileBytes(m_release + L"Orvn.exe", exe + "x"));
         }},
        {"entries without a hash",
         [&] {
             MakeRelease("5");
             ASSERT_TRUE(WriteManifest(m_release + L"version.ini",
                                       {{L"Orvn.exe", L"1,0,0,4", 0}, {L"Free.txt", L"2", 0}}));
             ::WritePrivateProfileStringW(L"Count", L"Release", L"5", (m_release + L"version.ini").c_str());
             ASSERT_TRUE(RunReleaseTool({"sign", kSigning + "/publisher.pem", UnixPath(m_release)}, m_release));
         }},
        {"older release replayed",
         [&] {
             MakeRelease("5");
             ::WritePrivateProfileStringW(L"Release", L"Accepted", L"6", kProfile);
         }},
        {"empty signature", [&] { MakeRelease("5"), WriteFileBytes(m_release + L"version.ini.sig", ""); }},
        {"truncated signature",
         [&] {
             MakeRelease("5");
             ASSERT_TRUE(ReadFileBytes(m_release + L"version.ini.sig", &sig));
             ASSERT_TRUE(WriteFileBytes(m_release + L"version.ini.sig", sig.substr(0, sig.size() - 1)));
         }},
        {"huge signature",
         [&] {
             MakeRelease("5");
             ASSERT_TRUE(ReadFileBytes(m_release + L"version.ini.sig", &sig));
             ASSERT_TRUE(WriteFileBytes(m_release + L"version.ini.sig", sig + std::string(1 << 20, '\x30')));
         }},
    };
    for (const auto& attack : attacks) {
        SCOPED_TRACE(attack.name);
        ResetProgram();
        attack.prepare();
        EXPECT_EQ(1, RunUpdater());
        ExpectOldFilesIntact();
    }

    // The publisher's own release installs, and its number is the new floor.
    ResetProgram();
    ::WritePrivateProfileStringW(L"Release", L"Accepted", L"4", kProfile);
    MakeRelease("5");
    EXPECT_EQ(1, RunUpdater());
    EXPECT_EQ(FileHash(m_release + L"Orvn.exe"), FileHash(m_program + L"Orvn.exe"));
    EXPECT_EQ(FileHash(m_release + L"Free.txt"), FileHash(m_program + L"Free.txt"));
    wchar_t accepted[32] = {};
    ::GetPrivateProfileStringW(L"Release", L"Accepted", L"", accepted, 32, kProfile);
    EXPECT_STREQ(L"5", accepted);
}

}  // namespace
