// The progress dialog and the HTTP download against the stand-in update
// server on loopback: progress positions, cancel by a real click, status
// texts, redirects, credentials, and every answer that is not the file.
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
const std::wstring kReceiving = L"파일을 받고 있습니다.";
const std::wstring kFinished = L"파일 다운로드 완료.";

std::string Bytes(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 7 + i / 251) & 0xFF);
    return s;
}

HWND MakeOwner() {
    return ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 20, 20, 300, 200, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

// Counts WM_SETTEXT sent to one window of this thread.
struct SetTextCounter {
    static inline HWND target = nullptr;
    static inline int count = 0;
    HHOOK hook;
    explicit SetTextCounter(HWND window) {
        target = window;
        count = 0;
        hook = ::SetWindowsHookExW(WH_CALLWNDPROC, Proc, nullptr, ::GetCurrentThreadId());
    }
    ~SetTextCounter() { ::UnhookWindowsHookEx(hook); }
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
        auto* msg = reinterpret_cast<CWPSTRUCT*>(lParam);
        if (code >= 0 && msg->hwnd == target && msg->message == WM_SETTEXT) ++count;
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
};

std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[64] = {};
    ::GetDlgItemTextW(dialog, id, text, 64);
    return text;
}

TEST(DownloadDialog, PercentLabelCancelAndOwner) {
    HWND owner = MakeOwner();
    ASSERT_TRUE(owner);
    {
        CDownloadDlg dialog;
        ASSERT_TRUE(dialog.ShowModeless(owner));
        Pump(200);
        EXPECT_FALSE(::IsWindowEnabled(owner));
        wchar_t caption[64] = {};
        ::GetWindowTextW(dialog, caption, 64);
        EXPECT_STREQ(L"다운로드", caption);
        EXPECT_EQ(L" 0 %", ItemText(dialog, IDC_DOWNLOAD_PERCENT));

        const std::pair<int, const wchar_t*> cases[] = {{0, L"0%"},   {50, L"50%"},  {100, L"100%"}, {101, L"1%"},
                                                        {137, L"37%"}, {200, L"0%"}, {-1, L"-1%"}};
        for (const auto& [position, text] : cases) {
            dialog.SetProgress(position);
            EXPECT_EQ(text, ItemText(dialog, IDC_DOWNLOAD_PERCENT)) << position;
        }
        // The same position twice: the label is set once.
        {
            SetTextCounter counter(dialog.GetItem(IDC_DOWNLOAD_PERCENT));
            dialog.SetProgress(42);
            dialog.SetProgress(42);
            EXPECT_EQ(1, SetTextCounter::count);
        }
        // Two presses of Cancel between polls are one request.
        EXPECT_FALSE(dialog.PollCancel());
        ClickDialogButton(dialog, IDCANCEL);
        ClickDialogButton(dialog, IDCANCEL);
        EXPECT_TRUE(::IsWindow(dialog)) << "Cancel only asks; the dialog stays";
        EXPECT_TRUE(dialog.PollCancel());
        EXPECT_FALSE(dialog.PollCancel());
    }
    EXPECT_TRUE(::IsWindowEnabled(owner));

    // An owner that was disabled before stays disabled.
    ::EnableWindow(owner, FALSE);
    {
        CDownloadDlg dialog;
        ASSERT_TRUE(dialog.ShowModeless(owner));
        dialog.SetProgress(10);
    }
    EXPECT_FALSE(::IsWindowEnabled(owner));
    ::DestroyWindow(owner);
}

class DownloadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_release = MakeTempFolder(L"orvn-dlrel-");
        WriteFileBytes(s_release + L"2048.bin", Bytes(2048, 1));
        WriteFileBytes(s_release + L"3000.bin", Bytes(3000, 2));
        for (const wchar_t* name : {L"hold.bin", L"e404.bin", L"moved.bin", L"twice.bin", L"lower.bin", L"auth.bin"})
            WriteFileBytes(s_release + name, Bytes(5000, 3));
        s_server = new UpdateServer;
        s_server->Start(s_release, {L"hold.bin=hold", L"e404.bin=404", L"moved.bin=redirect", L"twice.bin=redirect2",
                                    L"lower.bin=lowerlocation", L"auth.bin=auth"});
    }
    static void TearDownTestSuite() {
        delete s_server;
        RemoveFolder(s_release);
    }
    void SetUp() override {
        ASSERT_GT(s_server->Port(), 0);
        ProxySetting::TurnOff();
        m_local = MakeTempFolder(L"orvn-dl-");
    }
    void TearDown() override { RemoveFolder(m_local); }

    BOOL Fetch(const std::wstring& name, int expected, BOOL progress = TRUE) {
        return DownloadFile(m_ui, s_server->Url(name), m_local + name, expected, progress);
    }
    std::string Local(const std::wstring& name) {
        std::string bytes;
        ReadFileBytes(m_local + name, &bytes);
        return bytes;
    }
    std::string Served(const std::wstring& name) {
        std::string bytes;
        ReadFileBytes(s_release + name, &bytes);
        return bytes;
    }

    static inline std::wstring s_release;
    static inline UpdateServer* s_server = nullptr;
    std::wstring m_local;
    RecordingUi m_ui;
};

TEST_F(DownloadTest, ProgressCountsWholeBuffers) {
    // 2048 bytes: three reads (1024, 1024, 0), the counter ends at 3072.
    EXPECT_TRUE(Fetch(L"2048.bin", 2048));
    EXPECT_EQ((std::vector<int>{50, 100, 150}), m_ui.positions);
    EXPECT_EQ(Served(L"2048.bin"), Local(L"2048.bin"));
    EXPECT_EQ((std::vector<std::wstring>{kFinding, kWaiting, kReceiving, kFinished}), m_ui.statuses);

    m_ui.Clear();
    EXPECT_TRUE(Fetch(L"3000.bin", 3000));
    EXPECT_EQ((std::vector<int>{34, 68, 102}), m_ui.positions);

    m_ui.Clear();
    EXPECT_TRUE(Fetch(L"3000.bin", 0));
    EXPECT_EQ((std::vector<int>{-1, -1, -1}), m_ui.positions);
    EXPECT_EQ(Served(L"3000.bin"), Local(L"3000.bin"));

    // Without progress (the manifest) nothing is shown.
    m_ui.Clear();
    EXPECT_TRUE(Fetch(L"2048.bin", 0, FALSE));
    EXPECT_TRUE(m_ui.positions.empty());
}

TEST_F(DownloadTest, CancelByClickDuringFirstRead) {
    std::thread clicker;
    m_ui.onOpen = [&](CDownloadDlg& dialog) {
        RECT r;
        ::GetWindowRect(dialog.GetItem(IDCANCEL), &r);
        // The server holds the body back for 2 s; the click lands while the first read waits.
        clicker = std::thread([r] { ::Sleep(700), ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2); });
    };
    EXPECT_FALSE(Fetch(L"hold.bin", 5000));
    clicker.join();
    EXPECT_EQ(Served(L"hold.bin").substr(0, 1024), Local(L"hold.bin"));
    EXPECT_EQ((std::vector<int>{20}), m_ui.positions);
    EXPECT_EQ(kFinished, m_ui.statuses.back());
}

// Bad answers end to end are UpdateRunTest's; here the texts and the ports.
TEST_F(DownloadTest, AnswersThatAreNotTheFileAndRedirects) {
    // An error page is not installed: the local file is not even created; the last text comes all the same.
    EXPECT_FALSE(Fetch(L"e404.bin", 5000));
    EXPECT_EQ((std::vector<std::wstring>{kFinding, kWaiting, kFinished}), m_ui.statuses);
    EXPECT_FALSE(CAppBase::FileExists(m_local + L"e404.bin"));
    m_ui.Clear();
    EXPECT_FALSE(DownloadFile(m_ui, L"ftp://127.0.0.1/quilla/x", m_local + L"x", 0, TRUE));
    EXPECT_EQ((std::vector<std::wstring>{kFinding, kFinished}), m_ui.statuses);
    // One redirect, to the server's other port, is followed; a second one and a lower-case "location:" are not.
    EXPECT_TRUE(Fetch(L"moved.bin", 5000));
    EXPECT_EQ(Served(L"moved.bin"), Local(L"moved.bin"));
    EXPECT_FALSE(Fetch(L"twice.bin", 5000));
    EXPECT_FALSE(Fetch(L"lower.bin", 5000));
    std::vector<std::string> seen = s_server->Requests();
    ASSERT_GE(seen.size(), 5u);
    EXPECT_EQ((std::vector<std::string>{"GET main /quilla/moved.bin", "GET second /quilla/moved.bin",
                                        "GET main /quilla/twice.bin", "GET second /quilla/twice.bin",
                                        "GET main /quilla/lower.bin"}),
              std::vector<std::string>(seen.end() - 5, seen.end()));
}

TEST_F(DownloadTest, CredentialsAskedOnceAndRetriedOnce) {
    // Refused credentials: the fetch fails after one question.
    EXPECT_FALSE(Fetch(L"auth.bin", 5000));
    EXPECT_EQ(1, m_ui.credentialQuestions);

    // The user fills in the platform's dialog: one retry, and the file arrives.
    m_ui.Clear();
    m_ui.askCredentials = true;
    m_ui.owner = MakeOwner();
    std::thread user([owner = m_ui.owner] {
        HWND dialog = nullptr;
        for (int i = 0; i < 200 && !dialog; ++i) {
            ::Sleep(50);
            HWND w = ::GetWindow(::GetDesktopWindow(), GW_CHILD);
            for (; w; w = ::GetWindow(w, GW_HWNDNEXT)) {
                wchar_t cls[16] = {};
                ::GetClassNameW(w, cls, 16);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(w, &pid);
                if (pid == ::GetCurrentProcessId() && wcscmp(cls, L"#32770") == 0 && ::IsWindowVisible(w) &&
                    ::GetWindow(w, GW_OWNER) == owner)
                    dialog = w;
            }
        }
        if (!dialog) return;
        ::Sleep(300);
        ::SetForegroundWindow(dialog);
        ::Sleep(200);
        TypeText(L"updater"), PressKey(VK_TAB), TypeText(L"secret"), PressKey(VK_RETURN);
    });
    EXPECT_TRUE(Fetch(L"auth.bin", 5000));
    user.join();
    EXPECT_EQ(1, m_ui.credentialQuestions);
    EXPECT_EQ(Served(L"auth.bin"), Local(L"auth.bin"));
    ::DestroyWindow(m_ui.owner);
}

}  // namespace
