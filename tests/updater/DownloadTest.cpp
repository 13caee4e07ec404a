// The progress dialog, and single downloads against the stand-in update server
// on loopback; bad answers end to end are UpdateRunTest's.
#include <gtest/gtest.h>

#include <thread>

#include "AppBase.h"
#include "Download.h"
#include "RecordingUi.h"
#include "TestSupport.h"
#include "UpdateServer.h"
#include "resource.h"

using namespace testing_support;

namespace {

const std::wstring kFinding = L"사이트 찾는 중...";
const std::wstring kWaiting = L"웹사이트를 찾았습니다. 응답을 기다리는중...";
const std::wstring kFinished = L"파일 다운로드 완료.";

HWND MakeOwner() {
    return ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 20, 20, 300, 200, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

TEST(DownloadDialog, PercentLabelCancelAndOwner) {
    HWND owner = MakeOwner();
    ASSERT_TRUE(owner);
    {
        CDownloadDlg dialog;
        ASSERT_TRUE(dialog.ShowModeless(owner));
        EXPECT_FALSE(::IsWindowEnabled(owner));
        EXPECT_EQ(L"다운로드", WindowText(dialog));
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
    EXPECT_TRUE(::IsWindowEnabled(owner));
    // An owner that was disabled before stays disabled.
    ::EnableWindow(owner, FALSE);
    {
        CDownloadDlg dialog;
        ASSERT_TRUE(dialog.ShowModeless(owner));
    }
    EXPECT_FALSE(::IsWindowEnabled(owner));
    ::DestroyWindow(owner);
}

TEST(Download, ProgressStatusesErrorPageAndCredentials) {
    const std::wstring release = MakeTempFolder(L"orvn-dlrel-"), local = MakeTempFolder(L"orvn-dl-");
    std::string body;
    for (int i = 0; body.size() < 5000; ++i) body += std::to_string(i * 7919) + ",";
    ASSERT_TRUE(WriteFileBytes(release + L"2048.bin", body.substr(0, 2048)));
    ASSERT_TRUE(WriteFileBytes(release + L"e404.bin", body));
    ASSERT_TRUE(WriteFileBytes(release + L"auth.bin", body));
    UpdateServer server;
    ASSERT_TRUE(server.Start(release, {L"e404.bin=404", L"auth.bin=auth"}));
    ProxySetting::TurnOff();
    RecordingUi ui;
    auto fetch = [&](const std::wstring& name, int expected, BOOL progress = TRUE) {
        ui.Clear();
        return DownloadFile(ui, server.Url(name), local + name, expected, progress);
    };

    // The counter grows by a whole buffer per read, the empty last one included.
    EXPECT_TRUE(fetch(L"2048.bin", 2048));
    EXPECT_EQ((std::vector<int>{50, 100, 150}), ui.positions);
    EXPECT_EQ(FileBytes(release + L"2048.bin"), FileBytes(local + L"2048.bin"));
    EXPECT_EQ((std::vector<std::wstring>{kFinding, kWaiting, L"파일을 받고 있습니다.", kFinished}), ui.statuses);
    EXPECT_TRUE(fetch(L"2048.bin", 0));
    EXPECT_EQ((std::vector<int>{-1, -1, -1}), ui.positions);
    // The manifest's fetch shows no progress.
    EXPECT_TRUE(fetch(L"2048.bin", 0, FALSE));
    EXPECT_TRUE(ui.positions.empty());

    // An error page is not saved, and the last text comes all the same.
    EXPECT_FALSE(fetch(L"e404.bin", 5000));
    EXPECT_EQ((std::vector<std::wstring>{kFinding, kWaiting, kFinished}), ui.statuses);
    EXPECT_FALSE(CAppBase::FileExists(local + L"e404.bin"));

    // Credentials refused: one question, no file.
    EXPECT_FALSE(fetch(L"auth.bin", 5000));
    EXPECT_EQ(1, ui.credentialQuestions);
    // The user fills in the platform's dialog: one retry, and the file arrives.
    ui.askCredentials = true;
    ui.owner = MakeOwner();
    std::thread user([owner = ui.owner] {
        HWND dialog = nullptr;
        for (int i = 0; i < 200 && !dialog; ++i) {
            ::Sleep(50);
            for (HWND w = ::GetWindow(::GetDesktopWindow(), GW_CHILD); w; w = ::GetWindow(w, GW_HWNDNEXT))
                if (::GetWindow(w, GW_OWNER) == owner && ::IsWindowVisible(w)) dialog = w;
        }
        if (!dialog) return;
        ::Sleep(300);
        ::SetForegroundWindow(dialog);
        ::Sleep(200);
        TypeText(L"updater");
        PressKey(VK_TAB);
        TypeText(L"secret");
        PressKey(VK_RETURN);
    });
    EXPECT_TRUE(fetch(L"auth.bin", 5000));
    user.join();
    EXPECT_EQ(1, ui.credentialQuestions);
    EXPECT_EQ(body, FileBytes(local + L"auth.bin"));
    ::DestroyWindow(ui.owner);
    RemoveFolder(local);
    RemoveFolder(release);
}

}  // namespace
