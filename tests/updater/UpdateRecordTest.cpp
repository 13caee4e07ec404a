// The installation's own record under the real start.exe: the signed release floor and its digest, one run
// per installation whatever the path to it, two installations apart, and the old shared record taken once.
#include <gtest/gtest.h>

#include <memory>

#include "AppBase.h"
#include "TestSupport.h"
#include "UpdateServer.h"
#include "Updater.h"

using namespace testing_support;

namespace {

const wchar_t kFailed[] = L"업데이트정보를 가져오는데 실패하였습니다.";
const char kOldFree[] = "old free list";

class UpdateRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_legacy = CAppBase::ProfileFilePath(L"start.INI");
        ::DeleteFileW(m_legacy.c_str());
        m_root = MakeTempFolder(L"orvn-record-");
        // Copies of the test key: each keeps its own record of the numbers the tool signed with it.
        for (const wchar_t* copy : {L"publisher.pem", L"again.pem"})
            ASSERT_TRUE(CopyFileTo(L"Z:" ORVN_TEST_SIGNING_FOLDER L"/publisher.pem", m_root + copy));
    }
    void TearDown() override {
        m_proxy.reset();
        m_server.reset();
        ::DeleteFileW(m_legacy.c_str());
        RemoveFolder(m_root);
    }
    // An installation: the updater (the signed build unless told), the launcher stand-in, an old Free.txt.
    std::wstring Install(const wchar_t* name, bool keyed = true) {
        std::wstring folder = m_root + name + L"\\";
        EXPECT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        EXPECT_TRUE(CopyFileTo(keyed ? TestFolder() + L"StartSigned.exe" : DistFolder() + L"start.exe",
                               folder + L"start.exe"));
        EXPECT_TRUE(CopyFileTo(TestFolder() + L"OrvnStandIn3.exe", folder + L"Orvn.exe"));
        EXPECT_TRUE(WriteFileBytes(folder + L"Free.txt", kOldFree));
        return folder;
    }
    // A release of Free.txt alone, numbered and signed by the publisher's tool with that copy of the key.
    std::wstring Publish(const wchar_t* name, const std::string& text, const std::wstring& version, int number,
                         const wchar_t* key = L"publisher.pem") {
        std::wstring folder = m_root + name + L"\\";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        EXPECT_TRUE(WriteFileBytes(folder + L"Free.txt", text));
        EXPECT_TRUE(WriteManifest(folder + L"version.ini", {{L"Free.txt", version, static_cast<int>(text.size())}}));
        EXPECT_TRUE(RunReleaseTool({L"release", UnixPath(m_root + key), UnixPath(folder), std::to_wstring(number)},
                                   folder));
        return folder;
    }
    // Serves a release through the user's proxy setting until the next call or the test's end.
    bool Serve(const std::wstring& release, const std::vector<std::wstring>& faults = {}) {
        m_proxy.reset();
        m_server = std::make_unique<UpdateServer>();
        if (!m_server->Start(release, faults)) return false;
        m_proxy = std::make_unique<ProxySetting>(m_server->Port());
        return true;
    }
    DWORD Run(const std::wstring& folder, std::wstring* box) {
        Process updater;
        if (!StartProcess(folder + L"start.exe", L"", folder, &updater)) return ~0u;
        return RunUpdaterToEnd(updater, box);
    }

    std::wstring m_legacy, m_root;
    std::unique_ptr<UpdateServer> m_server;
    std::unique_ptr<ProxySetting> m_proxy;
};

TEST_F(UpdateRecordTest, AReleaseNumberMeansOneManifestAndAnUnreadableRecordIsTold) {
    const std::wstring a = Install(L"a");
    const std::wstring release = Publish(L"r", "release 6, mended", L"6", 6);
    ASSERT_TRUE(Serve(release));
    std::wstring box;
    EXPECT_EQ(0u, Run(a, &box));
    EXPECT_EQ(L"", box);
    EXPECT_EQ("release 6, mended", FileBytes(a + L"Free.txt"));
    EXPECT_EQ(L"6", RecordText(a, L"Release", L"Accepted"));
    EXPECT_EQ(64u, RecordText(a, L"Release", L"Digest").size());

    // The withdrawn build, signed again as release 6 with a key copy that remembers no release.
    Publish(L"r", "release 6, withdrawn", L"6w", 6, L"again.pem");
    EXPECT_EQ(0u, Run(a, &box));
    EXPECT_EQ(kFailed, box);
    EXPECT_EQ("release 6, mended", FileBytes(a + L"Free.txt"));
    EXPECT_EQ(1, m_server->CountRequests(L"Free.txt"));

    // A floor that cannot be read is told, and nothing is fetched; without the record the next run starts afresh.
    Publish(L"r", "release 7", L"7", 7);
    ::WritePrivateProfileStringW(L"Release", L"Accepted", L"1e9", (a + L"start.INI").c_str());
    const int manifests = m_server->CountRequests(L"version.ini");
    ::DeleteFileW((a + L"Orvn.exe.log").c_str());
    EXPECT_EQ(0u, Run(a, &box));
    EXPECT_EQ(L"업데이트 기록을 읽을 수 없어 업데이트하지 않았습니다.\n\n" + a + L"start.INI", box);
    EXPECT_EQ(manifests, m_server->CountRequests(L"version.ini"));
    EXPECT_EQ("release 6, mended", FileBytes(a + L"Free.txt"));
    EXPECT_FALSE(StandInLog(a + L"Orvn.exe", 10000).empty()) << "the launcher starts all the same";
    ASSERT_TRUE(::DeleteFileW((a + L"start.INI").c_str()));
    EXPECT_EQ(0u, Run(a, &box));
    EXPECT_EQ(L"", box);
    EXPECT_EQ("release 7", FileBytes(a + L"Free.txt"));
    EXPECT_EQ(L"7", RecordText(a, L"Release", L"Accepted"));
}

TEST_F(UpdateRecordTest, TwoSpellingsOfOneFolderRunOneUpdate) {
    const std::wstring a = Install(L"a", false);
    // The first run's Free.txt waits until the second updater is up.
    ASSERT_TRUE(Serve(Publish(L"r", "new free list", L"2", 2), {L"Free.txt=gate"}));
    DriveLetter drive(m_root);
    ASSERT_NE(0, drive.Letter());
    const std::wstring other = drive.Path(L"a\\");
    ASSERT_TRUE(CAppBase::FileExists(other + L"start.exe"));
    // Its run folders too are one installation's.
    EXPECT_EQ(CUpdater::InstallationId(a), CUpdater::InstallationId(other));
    Process first, second;
    ASSERT_TRUE(StartProcess(a + L"start.exe", L"", a, &first));
    ASSERT_TRUE(PumpUntil([&] { return m_server->CountRequests(L"Free.txt") == 1; }, 60000));
    ASSERT_TRUE(StartProcess(other + L"start.exe", L"", other, &second));
    ASSERT_TRUE(PumpUntil([&] { return FindTopLevel(L"Start", second.pid) != nullptr; }, 20000));
    // Were it to run, the second would ask for the manifest within its probe's time.
    EXPECT_FALSE(PumpUntil([&] { return m_server->CountRequests(L"version.ini") > 1; }, 6000));
    ASSERT_TRUE(WriteFileBytes(m_root + L"r\\Free.txt.go", ""));
    std::wstring box;
    EXPECT_EQ(0u, RunUpdaterToEnd(first, &box));
    EXPECT_EQ(0u, RunUpdaterToEnd(second, &box));
    EXPECT_EQ(1, m_server->CountRequests(L"version.ini"));
    EXPECT_EQ(1, m_server->CountRequests(L"Free.txt"));
    EXPECT_EQ("new free list", FileBytes(a + L"Free.txt"));
    EXPECT_FALSE(CAppBase::FileExists(a + L"update.orvn-lock"));
}

TEST_F(UpdateRecordTest, TwoInstallationsKeepTheirOwnRecords) {
    const std::wstring a = Install(L"a"), b = Install(L"b");
    std::wstring box;
    ASSERT_TRUE(Serve(Publish(L"r5", "release 5", L"5", 5)));
    EXPECT_EQ(0u, Run(a, &box));
    EXPECT_EQ("release 5", FileBytes(a + L"Free.txt"));
    // Release 3 is news to B, and older than what A has.
    ASSERT_TRUE(Serve(Publish(L"r3", "release 3", L"3", 3)));
    EXPECT_EQ(0u, Run(b, &box));
    EXPECT_EQ(L"", box);
    EXPECT_EQ("release 3", FileBytes(b + L"Free.txt"));
    EXPECT_EQ(0u, Run(a, &box));
    EXPECT_EQ(kFailed, box);
    EXPECT_EQ("release 5", FileBytes(a + L"Free.txt"));
    EXPECT_EQ(L"5", RecordText(a, L"Release", L"Accepted"));
    EXPECT_EQ(L"3", RecordText(b, L"Release", L"Accepted"));
    EXPECT_EQ(L"3", RecordedVersion(b, L"Free.txt"));
}

TEST_F(UpdateRecordTest, TheOldSharedRecordIsTakenOverOnce) {
    // What an older updater kept in the Windows folder: release 4 accepted (no digest yet), Free.txt 4 installed.
    ::WritePrivateProfileStringW(L"Version", L"Free.txt", L"4", m_legacy.c_str());
    ::WritePrivateProfileStringW(L"Release", L"Accepted", L"4", m_legacy.c_str());
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, m_legacy.c_str());
    const std::wstring a = Install(L"a"), b = Install(L"b");
    ASSERT_TRUE(Serve(Publish(L"r", "release 4", L"4", 4)));
    std::wstring box;
    EXPECT_EQ(0u, Run(a, &box));
    EXPECT_EQ(L"", box);
    // A's record is the old one: Free.txt is not fetched again, and release 4 is now held with its digest.
    EXPECT_EQ(0, m_server->CountRequests(L"Free.txt"));
    EXPECT_EQ(kOldFree, FileBytes(a + L"Free.txt"));
    EXPECT_EQ(L"4", RecordedVersion(a, L"Free.txt"));
    EXPECT_EQ(64u, RecordText(a, L"Release", L"Digest").size());
    EXPECT_FALSE(CAppBase::FileExists(m_legacy));
    // B inherits nothing: it fetches what it lacks.
    EXPECT_EQ(0u, Run(b, &box));
    EXPECT_EQ(L"", box);
    EXPECT_EQ("release 4", FileBytes(b + L"Free.txt"));
    EXPECT_EQ(1, m_server->CountRequests(L"Free.txt"));
}

}  // namespace
