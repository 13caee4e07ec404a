// The update logic in-process, over real files, the real profile and the stand-in update server.
#include <gtest/gtest.h>

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

class UpdateLogicTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProxySetting::TurnOff();
        m_owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 20, 20, 300, 200, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    }
    void TearDown() override { ::DestroyWindow(m_owner); }
    CUpdater::Settings Settings() const {
        return {m_program, m_temp.path, L"127.0.0.1:" + std::to_wstring(m_server.Port()), L"", Profile(), "", L""};
    }
    std::wstring Profile() const { return m_program + L"start.INI"; }

    HWND m_owner = nullptr;
    UpdateServer m_server;
    TempFolder m_programFolder{L"orvn-logic-"}, m_temp{L"orvn-logic-"}, m_releaseFolder{L"orvn-logic-"};
    const std::wstring& m_program = m_programFolder.path;
    const std::wstring& m_release = m_releaseFolder.path;
};

TEST_F(UpdateLogicTest, DownloadDialogProgressAndStatuses) {
    {
        CDownloadDlg dialog;
        ASSERT_TRUE(dialog.ShowModeless(m_owner));
        HWND label = dialog.GetItem(IDC_DOWNLOAD_PERCENT);
        EXPECT_EQ(L" 0 %", WindowText(label));
        // The label shows the percent rule (its table is in UpdateRulesTest).
        dialog.SetProgress(137);
        EXPECT_EQ(L"100%", WindowText(label));
        // Two presses of Cancel between polls are one request; the dialog stays.
        EXPECT_FALSE(dialog.PollCancel());
        ClickDialogButton(dialog, IDCANCEL);
        ClickDialogButton(dialog, IDCANCEL);
        EXPECT_TRUE(::IsWindow(dialog));
        EXPECT_TRUE(dialog.PollCancel());
        EXPECT_FALSE(dialog.PollCancel());
    }
    EXPECT_TRUE(::IsWindowEnabled(m_owner));

    std::string body;
    for (int i = 0; body.size() < 2048; ++i) body += std::to_string(i * 7919) + ",";
    body.resize(2048);
    ASSERT_TRUE(WriteFileBytes(m_release + L"2048.bin", body));
    ASSERT_TRUE(m_server.Start(m_release));
    RecordingUi ui;
    CMemorySink sink;
    auto fetch = [&](const std::wstring& name, int expected, BOOL progress = TRUE) {
        ui.statuses.clear();
        ui.positions.clear();
        sink = CMemorySink();
        std::wstring url = L"http://127.0.0.1:" + std::to_wstring(m_server.Port()) + L"/quilla/" + name;
        return DownloadFile(ui, url, sink, expected, progress, FetchLimits{1 << 20, 0, true});
    };

    // The true share, ending on 100 (a whole 2 KiB in one piece: 100 at once, not again).
    EXPECT_TRUE(fetch(L"2048.bin", 2048));
    EXPECT_EQ((std::vector<int>{100}), ui.positions);
    const std::vector<std::wstring> texts = {L"사이트 찾는 중...", L"웹사이트를 찾았습니다. 응답을 기다리는중...",
                                             L"파일을 받고 있습니다.", L"파일 다운로드 완료."};
    EXPECT_EQ(texts, ui.statuses);
    EXPECT_TRUE(fetch(L"2048.bin", 0));
    EXPECT_EQ(body, sink.Bytes());
    // Without a size nothing is known to have arrived until the whole file is in.
    EXPECT_EQ((std::vector<int>{0, 100}), ui.positions);
    // The manifest's fetch shows no progress.
    EXPECT_TRUE(fetch(L"2048.bin", 0, FALSE));
    EXPECT_TRUE(ui.positions.empty());
}

struct FixedProbeUpdater : CUpdater {
    FixedProbeUpdater(IUpdateUi& ui, Settings settings, DWORD reply)
        : CUpdater(ui, std::move(settings)), m_reply(reply) {}
    DWORD ProbeReplyTime() override { return m_reply; }
    DWORD m_reply;
};

TEST_F(UpdateLogicTest, VersionRuleAndTheZeroMillisecondSkip) {
    for (const wchar_t* name : {L"Orvn.exe", L"UPPER.DLL", L"Versioned.txt"})
        ASSERT_TRUE(CopyFileTo(TestFolder() + L"OrvnStandIn3.exe", m_program + name));
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"GameStandIn.exe", m_program + L"NoVersion.exe"));
    ASSERT_TRUE(WriteFileBytes(m_program + L"Data.txt", "data"));
    ::WritePrivateProfileStringW(L"Version", L"Data.txt", L"5", Profile().c_str());
    ::WritePrivateProfileStringW(L"Version", L"Versioned.txt", L"7", Profile().c_str());
    ::WritePrivateProfileStringW(L"Version", L"Deleted.txt", L"5", Profile().c_str());

    // Versions compare as texts, without order; a program file (the kind's table is in UpdateRulesTest) by its
    // file version; a deleted file is fetched again although its version stays recorded.
    const std::tuple<const wchar_t*, const wchar_t*, BOOL> rows[] = {
        {L"Orvn.exe", L"1,0,0,3", FALSE},  {L"Orvn.exe", L"1,0,0,4", TRUE},    {L"Orvn.exe", L"1,0,0,2", TRUE},
        {L"Orvn.exe", L"1.0.0.3", TRUE},   {L"Missing.exe", L"1,0,0,3", TRUE}, {L"NoVersion.exe", L"9,9,9,9", FALSE},
        {L"UPPER.DLL", L"1,0,0,3", FALSE}, {L"Data.txt", L"5", FALSE},         {L"Data.txt", L"6", TRUE},
        {L"Versioned.txt", L"7", TRUE},    {L"New.txt", L"1", TRUE},           {L"Deleted.txt", L"5", TRUE},
    };
    RecordingUi ui;
    CUpdater updater(ui, Settings());
    for (const auto& [name, version, fetch] : rows)
        EXPECT_EQ(fetch, updater.NeedsUpdate(name, version, 123)) << ToUtf8(name) << " " << ToUtf8(version);

    // Only an echo of 0 ms skips the run; a probe host that does not resolve is no answer, not an echo to 0.0.0.0.
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
}

}  // namespace
