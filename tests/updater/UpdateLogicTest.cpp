// The update logic in-process, over real files, the real profile and the stand-in
// update server: progress dialog, downloads, version rule, names the updater may write.
#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <tuple>

#include "AppBase.h"
#include "Download.h"
#include "RecordingUi.h"
#include "TestSupport.h"
#include "UpdateServer.h"
#include "Updater.h"
#include "resource.h"

using namespace testing_support;

namespace {

const wchar_t kProfile[] = L"start.INI";

class UpdateLogicTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::WritePrivateProfileStringW(L"Version", nullptr, nullptr, kProfile);
        ProxySetting::TurnOff();
        for (auto* folder : {&m_program, &m_temp, &m_release}) *folder = MakeTempFolder(L"orvn-logic-");
        m_owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 20, 20, 300, 200, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    }
    void TearDown() override {
        ::DestroyWindow(m_owner);
        ::WritePrivateProfileStringW(L"Version", nullptr, nullptr, kProfile);
        for (auto* folder : {&m_program, &m_temp, &m_release}) RemoveFolder(*folder);
    }
    CUpdater::Settings Settings() const {
        return {m_program, m_temp, L"127.0.0.1:" + std::to_wstring(m_server.Port()), L"", kProfile, ""};
    }
    // One run of a manifest, as the updater does once it has fetched it.
    void Run(const std::vector<ManifestEntry>& entries, int total) {
        ASSERT_TRUE(WriteManifest(m_release + L"version.ini", entries, total));
        RecordingUi ui;
        EXPECT_EQ(0, CUpdater(ui, Settings()).ProcessManifest(m_release + L"version.ini"));
    }

    HWND m_owner = nullptr;
    UpdateServer m_server;
    std::wstring m_program, m_temp, m_release;
};

TEST_F(UpdateLogicTest, DownloadDialogPercentLabelCancelAndOwner) {
    {
        CDownloadDlg dialog;
        ASSERT_TRUE(dialog.ShowModeless(m_owner));
        EXPECT_FALSE(::IsWindowEnabled(m_owner));
        HWND label = dialog.GetItem(IDC_DOWNLOAD_PERCENT);
        EXPECT_EQ(L" 0 %", WindowText(label));
        const std::pair<int, const wchar_t*> cases[] = {{0, L"0%"},    {50, L"50%"}, {100, L"100%"}, {101, L"1%"},
                                                        {137, L"37%"}, {200, L"0%"}, {-1, L"-1%"}};
        for (const auto& [position, text] : cases) {
            dialog.SetProgress(position);
            EXPECT_EQ(text, WindowText(label)) << position;
        }
        // Two presses of Cancel between polls are one request; the dialog stays.
        EXPECT_FALSE(dialog.PollCancel());
        ClickDialogButton(dialog, IDCANCEL);
        ClickDialogButton(dialog, IDCANCEL);
        EXPECT_TRUE(::IsWindow(dialog));
        EXPECT_TRUE(dialog.PollCancel());
        EXPECT_FALSE(dialog.PollCancel());
    }
    EXPECT_TRUE(::IsWindowEnabled(m_owner));
}

TEST_F(UpdateLogicTest, DownloadProgressStatusesErrorPageAndCredentials) {
    std::string body;
    for (int i = 0; body.size() < 5000; ++i) body += std::to_string(i * 7919) + ",";
    ASSERT_TRUE(WriteFileBytes(m_release + L"2048.bin", body.substr(0, 2048)));
    ASSERT_TRUE(WriteFileBytes(m_release + L"e404.bin", body));
    ASSERT_TRUE(WriteFileBytes(m_release + L"auth.bin", body));
    ASSERT_TRUE(m_server.Start(m_release, {L"e404.bin=404", L"auth.bin=auth"}));
    RecordingUi ui;
    auto fetch = [&](const std::wstring& name, int expected, BOOL progress = TRUE) {
        ui.statuses.clear();
        ui.positions.clear();
        std::wstring url = L"http://127.0.0.1:" + std::to_wstring(m_server.Port()) + L"/quilla/" + name;
        return DownloadFile(ui, url, m_temp + name, expected, progress);
    };

    // The counter grows by a whole buffer per read, the empty last one included.
    EXPECT_TRUE(fetch(L"2048.bin", 2048));
    EXPECT_EQ((std::vector<int>{50, 100, 150}), ui.positions);
    EXPECT_EQ(FileBytes(m_release + L"2048.bin"), FileBytes(m_temp + L"2048.bin"));
    const std::vector<std::wstring> texts = {L"사이트 찾는 중...", L"웹사이트를 찾았습니다. 응답을 기다리는중...",
                                             L"파일을 받고 있습니다.", L"파일 다운로드 완료."};
    EXPECT_EQ(texts, ui.statuses);
    EXPECT_TRUE(fetch(L"2048.bin", 0));
    EXPECT_EQ((std::vector<int>{-1, -1, -1}), ui.positions);
    // The manifest's fetch shows no progress.
    EXPECT_TRUE(fetch(L"2048.bin", 0, FALSE));
    EXPECT_TRUE(ui.positions.empty());

    // An error page is not saved, and the last text comes all the same.
    EXPECT_FALSE(fetch(L"e404.bin", 5000));
    EXPECT_EQ((std::vector<std::wstring>{texts[0], texts[1], texts[3]}), ui.statuses);
    EXPECT_FALSE(CAppBase::FileExists(m_temp + L"e404.bin"));

    // Credentials refused: one question, no file.
    EXPECT_FALSE(fetch(L"auth.bin", 5000));
    EXPECT_EQ(1, ui.credentialQuestions);
    // The user fills in the platform's dialog: one retry, and the file arrives.
    ui.askCredentials = true;
    ui.owner = m_owner;
    std::thread user = DriveDialog(L"인증 필요", [](HWND dialog) {
        if (!dialog) return;
        TypeText(L"updater");
        PressKey(VK_TAB);
        TypeText(L"secret");
        PressKey(VK_RETURN);
    });
    EXPECT_TRUE(fetch(L"auth.bin", 5000));
    user.join();
    EXPECT_EQ(2, ui.credentialQuestions);
    EXPECT_EQ(body, FileBytes(m_temp + L"auth.bin"));
}

struct FixedProbeUpdater : CUpdater {
    FixedProbeUpdater(IUpdateUi& ui, Settings settings, DWORD reply)
        : CUpdater(ui, std::move(settings)), m_reply(reply) {}
    DWORD ProbeReplyTime() override { return m_reply; }
    DWORD m_reply;
};

TEST_F(UpdateLogicTest, VersionRule) {
    for (const wchar_t* name : {L"Orvn.exe", L"UPPER.DLL", L"Toolexe", L"Versioned.txt"})
        ASSERT_TRUE(CopyFileTo(TestFolder() + L"OrvnStandIn3.exe", m_program + name));
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"GameStandIn.exe", m_program + L"NoVersion.exe"));
    ASSERT_TRUE(WriteFileBytes(m_program + L"Data.txt", "data"));
    ::WritePrivateProfileStringW(L"Version", L"Data.txt", L"5", kProfile);
    ::WritePrivateProfileStringW(L"Version", L"Versioned.txt", L"7", kProfile);

    // Versions compare as texts, without order; the kind goes by the last three letters in any case.
    const std::tuple<const wchar_t*, const wchar_t*, BOOL> rows[] = {
        {L"Orvn.exe", L"1,0,0,3", FALSE},  {L"Orvn.exe", L"1,0,0,4", TRUE},    {L"Orvn.exe", L"1,0,0,2", TRUE},
        {L"Orvn.exe", L"1.0.0.3", TRUE},   {L"Missing.exe", L"1,0,0,3", TRUE}, {L"NoVersion.exe", L"9,9,9,9", FALSE},
        {L"UPPER.DLL", L"1,0,0,3", FALSE}, {L"Toolexe", L"1,0,0,3", FALSE},    {L"Data.txt", L"5", FALSE},
        {L"Data.txt", L"6", TRUE},         {L"Versioned.txt", L"7", TRUE},     {L"New.txt", L"1", TRUE},
    };
    RecordingUi ui;
    CUpdater updater(ui, Settings());
    for (const auto& [name, version, fetch] : rows)
        EXPECT_EQ(fetch, updater.NeedsUpdate(name, version, 123)) << ToUtf8(name) << " " << ToUtf8(version);
    // Deciding records nothing: a version is recorded once its file is installed.
    EXPECT_EQ(L"5", RecordedVersion(L"Data.txt"));
    EXPECT_EQ(L"", RecordedVersion(L"New.txt"));
    EXPECT_TRUE(ui.statuses.empty());
}

TEST_F(UpdateLogicTest, TotalFailedFetchesAndDeletedFiles) {
    for (const wchar_t* name : {L"Free.txt", L"Retry.txt", L"Third.txt"})
        ASSERT_TRUE(WriteFileBytes(m_release + name, ToUtf8(name)));
    ASSERT_TRUE(m_server.Start(m_release, {L"Retry.txt=404"}));
    const std::vector<ManifestEntry> manifest = {
        {L"Free.txt", L"2", 8}, {L"Retry.txt", L"1", 9}, {L"Third.txt", L"1", 9}};
    // Total = 2: the third section is never read.
    Run(manifest, 2);
    EXPECT_EQ(FileBytes(m_release + L"Free.txt"), FileBytes(m_program + L"Free.txt"));
    EXPECT_EQ(L"2", RecordedVersion(L"Free.txt"));
    EXPECT_EQ(0, m_server.CountRequests(L"Third.txt"));
    // A failed fetch installs and records nothing, so the next run tries it again;
    // a deleted file is fetched again although its version stays recorded.
    EXPECT_FALSE(CAppBase::FileExists(m_program + L"Retry.txt"));
    EXPECT_EQ(L"", RecordedVersion(L"Retry.txt"));
    ASSERT_TRUE(::DeleteFileW((m_program + L"Free.txt").c_str()));
    Run(manifest, 2);
    EXPECT_EQ(2, m_server.CountRequests(L"Retry.txt"));
    EXPECT_EQ(2, m_server.CountRequests(L"Free.txt"));
    EXPECT_EQ(FileBytes(m_release + L"Free.txt"), FileBytes(m_program + L"Free.txt"));
}

TEST_F(UpdateLogicTest, OnlyAnEchoOfZeroMillisecondsSkipsTheRun) {
    // A probe host that does not resolve is no answer, not an echo to 0.0.0.0.
    RecordingUi ui;
    CUpdater::Settings unresolved = Settings();
    unresolved.probeHost = L"no-such-host.invalid";
    EXPECT_EQ(DWORD(-1), CUpdater(ui, unresolved).ProbeReplyTime());

    ASSERT_TRUE(WriteFileBytes(m_release + L"Free.txt", "free"));
    ASSERT_TRUE(WriteManifest(m_release + L"version.ini", {{L"Free.txt", L"1", 4}}));
    ASSERT_TRUE(m_server.Start(m_release));
    EXPECT_EQ(CUpdater::Outcome::Skipped, FixedProbeUpdater(ui, Settings(), 0).CheckProgram());
    EXPECT_EQ(0, m_server.CountRequests(L"version.ini"));
    EXPECT_TRUE(ui.statuses.empty());
    for (DWORD reply : {1ul, 300ul, static_cast<unsigned long>(-1)})
        EXPECT_EQ(CUpdater::Outcome::Updated, FixedProbeUpdater(ui, Settings(), reply).CheckProgram());
    EXPECT_EQ(3, m_server.CountRequests(L"version.ini"));
    EXPECT_EQ(L"완료", ui.statuses[4]);
    // No manifest: the caller shows the failure.
    m_server.Stop();
    EXPECT_EQ(CUpdater::Outcome::ManifestFailed, FixedProbeUpdater(ui, Settings(), 5).CheckProgram());
}

// Any name the updater accepts resolves to a file inside the folder, never a device.
TEST_F(UpdateLogicTest, FolderEscapeRuleHoldsForGeneratedNames) {
    const std::wstring folder = L"C:\\Program Files\\Orvane\\";
    std::vector<std::wstring> pieces = {L"a",       L"Orvn",    L".exe", L".",      L"..",   L"...",      L"\\",
                                        L"/",       L"\\\\",    L":",    L"C:",     L"z:",   L" ",        L"~1",
                                        L"CON",     L"nul",     L"Aux",  L"com1",   L"LPT9", L"CONIN$",   L"prn.txt",
                                        L"\\\\?\\", L"\\\\.\\", L"?",    L"*",      L"한글", L"목록.txt", L"\u00fc",
                                        L"\u00b9",  L"\t",      L"\x7f", L"%2e%2e", L"..\\", L"../",      L".\\"};
    for (size_t length : {120, 255}) pieces.push_back(std::wstring(length, L'x'));
    std::mt19937 random(12345);
    int accepted = 0;
    for (int i = 0; i < 100000; ++i) {
        std::wstring name;
        for (int k = 0, count = 1 + random() % 7; k < count; ++k) {
            if (random() % 4 == 0)
                name += static_cast<wchar_t>(1 + random() % 0x2FF);
            else
                name += pieces[random() % pieces.size()];
        }
        if (!CUpdater::IsSafeFileName(name)) continue;
        ++accepted;
        wchar_t full[4096] = {};
        DWORD n = ::GetFullPathNameW((folder + name).c_str(), 4096, full, nullptr);
        ASSERT_GT(n, 0u) << "name " << i;
        std::wstring target(full, n);
        ASSERT_GT(target.size(), folder.size()) << "name " << i;
        ASSERT_EQ(0, _wcsnicmp(target.c_str(), folder.c_str(), folder.size())) << "name " << i << " -> escapes";
        ASSERT_NE(L"\\\\.\\", target.substr(0, 4)) << "name " << i << " -> a device";
    }
    EXPECT_GT(accepted, 5000);
}

}  // namespace
