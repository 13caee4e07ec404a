// The view's server groups and response-time sweep end to end: the real frame
// in this process, list files in the program folder, group choices posted as the
// folder bar posts them, rows read through the list window, and stand-in servers
// on loopback (one that accepts, one that refuses, one that stays silent).
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AppBase.h"
#include "MainFrame.h"
#include "Messages.h"
#include "PingView.h"
#include "ServerEntry.h"
#include "LauncherFixture.h"
#include "StandInServers.h"
#include "resource.h"

using namespace testing_support;

namespace {

StandInServers* g_servers = nullptr;

class SweepTest : public LauncherFixture {
protected:
    static void SetUpTestSuite() { g_servers = new StandInServers; }
    static void TearDownTestSuite() {
        delete g_servers;
        g_servers = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(g_servers->ok()) << "stand-in servers on loopback";
        LauncherFixture::SetUp();
    }

    static void WriteRows(const wchar_t* file, int n, const std::wstring& address) {
        ServerList servers;
        for (int i = 0; i < n; ++i) servers.push_back({L"서버 " + std::to_wstring(i), address});
        WriteList(file, servers);
    }
    int RowCount() { return ListItemCount(List()); }

    const std::wstring& Accepting() { return g_servers->Accepting(); }
    const std::wstring& Refused() { return g_servers->Refused(); }
    const std::wstring& Silent() { return g_servers->Silent(); }
};

}  // namespace

TEST(ServerEntry, OnlyDottedDecimalIsAnAddressAndTimesAreWholeMilliseconds) {
    in_addr a{};
    EXPECT_TRUE(CServerEntry::ParseAddress("127.0.0.1", &a));
    EXPECT_EQ(a.s_addr, inet_addr("127.0.0.1"));
    EXPECT_TRUE(CServerEntry::ParseAddress(" 211.233.0.9 ", &a)) << "blanks around it";
    EXPECT_EQ(a.s_addr, inet_addr("211.233.0.9"));
    for (const char* bad : {"", "abc", "  ", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "0x7f.0.0.1", "1.2.3.4x",
                            "localhost", "1.2.3.-4"})
        EXPECT_FALSE(CServerEntry::ParseAddress(bad, &a)) << bad;

    const LONGLONG f = 10000000;
    EXPECT_EQ(CServerEntry::ResponseFromTicks(0, f), 1) << "never 0, which reads as not measured";
    EXPECT_EQ(CServerEntry::ResponseFromTicks(15000, f), 2) << "1.5 ms rounds up";
    EXPECT_EQ(CServerEntry::ResponseFromTicks(3600LL * f, f), 65533) << "never a marker value";
}

TEST_F(SweepTest, ProbesInFileOrderThenSortsByResponseRefusedAmongTheFailed) {
    WriteList(L"Blizzard.txt", {{L"Silent A", Silent()},
                                {L"로컬 하나", Accepting()},
                                {L"Refused", Refused()},
                                {L"Silent B", Silent()},
                                {L"로컬 둘", Accepting()}});
    const std::vector<std::wstring> fileOrder = {L"Silent A", L"로컬 하나", L"Refused", L"Silent B", L"로컬 둘"};
    Choose(ID_STARCRAFT_BATTLENET, 0);

    // Rows in file order, not measured yet; then the second silent server with
    // the three before it done.
    ASSERT_TRUE(WaitProbing(0)) << Show(Rows());
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(rows[i].name, fileOrder[i]);
    EXPECT_EQ(rows[1].address, Accepting());
    EXPECT_EQ(rows[4].response, L"-");
    ASSERT_TRUE(WaitProbing(3)) << Show(Rows());
    rows = Rows();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(rows[i].name, fileOrder[i]) << Show(rows);
    EXPECT_EQ(rows[0].response, kFailed);
    EXPECT_GE(Millis(rows[1].response), 1) << "an accepting server is timed, never 0: " << Show(rows);
    EXPECT_EQ(rows[2].response, kFailed) << "a refusal is no answer: " << Show(rows);

    ASSERT_TRUE(WaitIdle(5000));
    rows = Rows();
    std::printf("after the sweep: %s\n", Show(rows).c_str());
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_GE(Millis(rows[0].response), 1);
    EXPECT_GE(Millis(rows[1].response), Millis(rows[0].response)) << "ascending: " << Show(rows);
    EXPECT_LT(Millis(rows[1].response), 1000);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(rows[i].address, Accepting()) << Show(rows);
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(rows[i].response, kFailed) << Show(rows);
        EXPECT_NE(rows[i].address, Accepting()) << Show(rows);
    }
    EXPECT_EQ(g_nCurrentGame, 0);
}

TEST_F(SweepTest, UnparsableAddressesFailAtOnce) {
    WriteList(L"Blizzard.txt", {{L"Name", L"abc"}, {L"Empty", L""}, {L"Host", L"localhost"}, {L"로컬", Accepting()}});
    DWORD start = ::GetTickCount();
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitIdle(5000));
    DWORD took = ::GetTickCount() - start;
    std::printf("three unparsable addresses and one server measured in %lu ms\n", took);
    // One wait of the probe would be 1000 ms; three of them 3000.
    EXPECT_LT(took, 1000u) << "an unparsable address waited for an answer";
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].name, L"로컬");
    for (int i = 1; i < 4; ++i) EXPECT_EQ(rows[i].response, kFailed) << Show(rows);
}

TEST_F(SweepTest, FreeGroupReadsFreeThenUserAndSkipsMissingUser) {
    // Free.txt with LF alone, User.txt without a final line end.
    ASSERT_TRUE(WriteFileBytes(TestFolder() + L"Free.txt",
                               "Silent F," + ToCp949(Silent()) + "\n" + ToCp949(L"프리 둘,") + ToCp949(Accepting()) + "\n"));
    ASSERT_TRUE(WriteFileBytes(TestFolder() + L"User.txt", ToCp949(L"내 서버,") + ToCp949(Accepting()) +
                                                                "\r\nMine 2," + ToCp949(Refused())));
    WriteList(L"Blizzard.txt", {{L"Battle.net", Accepting()}});
    MessageBoxAnswerer boxes;
    Choose(ID_WARCRAFT_BATTLENET, 1);
    ASSERT_TRUE(WaitProbing(0));
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 4u) << Show(rows);
    EXPECT_EQ(rows[0].name, L"Silent F");
    EXPECT_EQ(rows[1].name, L"프리 둘");
    EXPECT_EQ(rows[2].name, L"내 서버");
    EXPECT_EQ(rows[3].name, L"Mine 2");
    EXPECT_EQ(rows[3].address, Refused());
    EXPECT_EQ(g_nCurrentGame, 1);
    ASSERT_TRUE(WaitIdle(5000));
    rows = Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_GE(Millis(rows[0].response), 1) << Show(rows);
    EXPECT_EQ(rows[3].response, kFailed) << Show(rows);

    // Without User.txt: Free.txt alone, silently, and it is measured.
    ASSERT_TRUE(::DeleteFileW((TestFolder() + L"User.txt").c_str()));
    Choose(ID_DIABLOSW_BATTLENET, 1);
    ASSERT_TRUE(WaitIdle(5000));
    rows = Rows();
    ASSERT_EQ(rows.size(), 2u) << Show(rows);
    EXPECT_EQ(rows[0].name, L"프리 둘");
    EXPECT_GE(Millis(rows[0].response), 1);
    EXPECT_EQ(rows[1].response, kFailed);
    EXPECT_EQ(g_nCurrentGame, 3);
    EXPECT_TRUE(boxes.Texts().empty()) << "a missing User.txt is no error";
}

TEST_F(SweepTest, MissingListFileShowsKoreanMessageAndStartsNoSweep) {
    WriteList(L"Free.txt", {{L"F1", Refused()}, {L"F2", Accepting()}});
    WriteList(L"User.txt", {{L"U1", Accepting()}});
    Choose(ID_STARCRAFT_BATTLENET, 1);
    ASSERT_TRUE(WaitIdle(5000));
    ASSERT_EQ(RowCount(), 3);

    // No Blizzard.txt: the box names the file; the list is emptied, the game recorded.
    MessageBoxAnswerer boxes;
    Choose(ID_DIABLO_BATTLENET, 0);
    bool sweepSeen = false;
    PumpUntil([&] {
        sweepSeen |= g_pSweepThread != nullptr;
        return boxes.Texts().size() == 1 && PostedQueueEmpty();
    }, 15000);
    Pump(100);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], L"서버 목록 파일을 열 수 없습니다.\n" + TestFolder() + L"Blizzard.txt");
    EXPECT_TRUE(boxes.AllClosedByClick()) << "OK pressed by a click";
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(g_nCurrentGame, 2);
    EXPECT_FALSE(sweepSeen);

    // No Free.txt: User.txt is not read either.
    ASSERT_TRUE(::DeleteFileW((TestFolder() + L"Free.txt").c_str()));
    Choose(ID_WARCRAFT_BATTLENET, 1);
    PumpUntil([&] { return boxes.Texts().size() == 2 && PostedQueueEmpty(); }, 15000);
    Pump(100);
    ASSERT_EQ(boxes.Texts().size(), 2u);
    EXPECT_EQ(boxes.Texts()[1], L"서버 목록 파일을 열 수 없습니다.\n" + TestFolder() + L"Free.txt");
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(g_nCurrentGame, 1);
    EXPECT_EQ(g_pSweepThread.load(), nullptr);
}

TEST_F(SweepTest, FolderPicksTheGameItemPicksTheFilesOtherItemsDoNothing) {
    WriteList(L"Blizzard.txt", {{L"B", Accepting()}});
    WriteList(L"Free.txt", {{L"F", Accepting()}});
    struct Choice {
        WPARAM folder;
        LPARAM item;
        int game;
        const wchar_t* row;
    };
    const Choice choices[] = {{ID_DIABLOSW_BATTLENET, 0, 3, L"B"}, {12345, 0, 0, L"B"}, {ID_DIABLO_BATTLENET, 1, 2, L"F"},
                              {ID_WARCRAFT_BATTLENET, 0, 1, L"B"}, {ID_DIABLO_BATTLENET, 2, 1, L"B"}};
    for (const auto& c : choices) {
        Choose(c.folder, c.item);
        ASSERT_TRUE(WaitIdle(5000));
        auto rows = Rows();
        ASSERT_EQ(rows.size(), 1u) << c.folder << "/" << c.item;
        EXPECT_EQ(rows[0].name, c.row) << c.folder << "/" << c.item;
        EXPECT_GE(Millis(rows[0].response), 1) << c.folder << "/" << c.item;
        EXPECT_EQ(g_nCurrentGame, c.game) << c.folder << "/" << c.item;
    }

    // Item 2 or more during a sweep: the same sweep goes on over the same rows.
    WriteList(L"Blizzard.txt", {{L"S1", Silent()}, {L"S2", Silent()}});
    Choose(ID_DIABLO_BATTLENET, 0);
    ASSERT_TRUE(WaitProbing(0));
    CSweepThread* sweep = g_pSweepThread;
    auto names = [&] {
        std::wstring all;
        for (const auto& r : Rows()) all += r.name + L";";
        return all;
    };
    std::wstring before = names();
    Choose(ID_WARCRAFT_BATTLENET, 2);
    Choose(ID_STARCRAFT_BATTLENET, -1);
    PumpUntil(PostedQueueEmpty, 1000);
    EXPECT_EQ(g_pSweepThread.load(), sweep);
    EXPECT_EQ(names(), before);
    EXPECT_EQ(g_nCurrentGame, 2);
    ASSERT_TRUE(WaitIdle(4000));
}

TEST_F(SweepTest, GroupChangeDuringASilentProbeShowsTheNewListAtOnce) {
    WriteList(L"Blizzard.txt", {{L"S1", Silent()}, {L"L2", Accepting()}, {L"L3", Accepting()}});
    WriteList(L"Free.txt", {{L"새 목록", Accepting()}, {L"Refused", Refused()}});
    int threadsBefore = OwnThreadCount();
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitProbing(0));
    EXPECT_EQ(OwnThreadCount(), threadsBefore + 1) << "one sweep thread";
    int acceptedBefore = g_servers->Accepted();

    // Watched from another thread: when does the new list show?
    HWND list = List();
    std::atomic<DWORD> shownAfter{0};
    std::atomic<bool> stop{false};
    DWORD start = ::GetTickCount();
    Choose(ID_WARCRAFT_BATTLENET, 1);
    std::thread watcher([&] {
        while (!stop) {
            if (ListItemText(list, 0, 0) == L"새 목록") {
                shownAfter = std::max<DWORD>(1, ::GetTickCount() - start);
                return;
            }
            ::Sleep(2);
        }
    });
    PumpUntil([&] { return shownAfter != 0; }, 5000);
    stop = true;
    watcher.join();
    std::printf("the new list showed %lu ms after the choice\n", shownAfter.load());
    ASSERT_NE(shownAfter.load(), 0u) << "the new list never showed";
    EXPECT_LT(shownAfter.load(), 450u) << "the choice waited for the silent server's time-out";

    ASSERT_TRUE(WaitIdle(5000));
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u) << Show(rows);
    EXPECT_EQ(rows[0].name, L"새 목록");
    EXPECT_GE(Millis(rows[0].response), 1) << Show(rows);
    EXPECT_EQ(g_nCurrentGame, 1);
    // The old sweep stopped at S1: L2 and L3 were never connected to, only the new one.
    Pump(300);
    EXPECT_EQ(g_servers->Accepted() - acceptedBefore, 1);
    EXPECT_TRUE(PumpUntil([&] { return OwnThreadCount() == threadsBefore; }, 1000)) << OwnThreadCount();
}

namespace {

// Counts the group choices sent from another thread that reach the view while
// a stop is waiting for the sweep.
struct SentChoiceRecorder {
    static inline HWND view = nullptr;
    static inline int duringStop = 0;
    HHOOK hook;
    explicit SentChoiceRecorder(HWND v) {
        view = v;
        duringStop = 0;
        hook = ::SetWindowsHookExW(WH_CALLWNDPROC, &Proc, nullptr, ::GetCurrentThreadId());
    }
    ~SentChoiceRecorder() { ::UnhookWindowsHookEx(hook); }
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
        auto* msg = reinterpret_cast<CWPSTRUCT*>(lParam);
        if (code >= 0 && !wParam && msg->hwnd == view && msg->message == WM_GET_RESPONSE_TIME && g_bStopSweep)
            ++duringStop;
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
};

}  // namespace

TEST_F(SweepTest, GroupChoiceSentDuringAStopNeitherHangsNorFailsAnsweringServers) {
    WriteList(L"Blizzard.txt", {{L"S1", Silent()}, {L"S2", Silent()}});
    WriteList(L"Free.txt", {{L"L1", Accepting()}, {L"L2", Accepting()}, {L"L3", Accepting()}});
    SentChoiceRecorder recorder(View());
    HWND view = View();
    for (int round = 0; round < 3; ++round) {
        // The sweep starts and at once needs this thread, which does not pump:
        // the stop below will find it still running.
        ::SendMessageW(view, WM_GET_RESPONSE_TIME, ID_STARCRAFT_BATTLENET, 0);
        ::Sleep(100);
        // Another thread sends its choice; it waits in this thread's queue...
        std::atomic<bool> done{false};
        std::thread sender([&] {
            DWORD_PTR result;
            ::SendMessageTimeoutW(view, WM_GET_RESPONSE_TIME, ID_WARCRAFT_BATTLENET, 1, SMTO_NORMAL, 30000, &result);
            done = true;
        });
        ::Sleep(100);
        // ...and is answered inside the stop of this choice.
        ::SendMessageW(view, WM_GET_RESPONSE_TIME, ID_DIABLO_BATTLENET, 0);
        bool finished = PumpUntil([&] { return done.load(); }, 30000);
        sender.join();
        ASSERT_TRUE(finished) << "hang";
        // The sent choice came last, so its list is the one shown, every server measured.
        ASSERT_TRUE(WaitIdle(10000)) << "hang";
        auto rows = Rows();
        ASSERT_EQ(rows.size(), 3u) << Show(rows);
        for (const auto& r : rows) EXPECT_GE(Millis(r.response), 1) << Show(rows);
        EXPECT_EQ(g_nCurrentGame, 1);
    }
    EXPECT_EQ(SentChoiceRecorder::duringStop, 3) << "the choice did not arrive inside the stop";
}

TEST_F(SweepTest, LateAnswerOfAnAbandonedProbeIsNotCreditedToTheNextList) {
    // The first server answers while the user-interface thread is already busy
    // with the next group choice, so its notification is handled only after the
    // new sweep has started on a silent server.
    WriteList(L"Blizzard.txt", {{L"로컬", Accepting()}, {L"S", Silent()}});
    WriteList(L"Free.txt", {{L"Silent new", Silent()}, {L"Silent 2", Silent()}});
    ::SendMessageW(View(), WM_GET_RESPONSE_TIME, ID_STARCRAFT_BATTLENET, 0);
    // Answers the sweep's repaint (a sent message) but dispatches nothing posted.
    DWORD start = ::GetTickCount();
    while (!g_pProbedEntry && ::GetTickCount() - start < 3000) {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    ASSERT_NE(g_pProbedEntry.load(), nullptr);
    ::Sleep(200);  // the connect completes; its notification waits in the queue
    ASSERT_FALSE(PostedQueueEmpty()) << "notification queued";
    ::SendMessageW(View(), WM_GET_RESPONSE_TIME, ID_STARCRAFT_BATTLENET, 1);
    ASSERT_TRUE(WaitIdle(4000));
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].response, kFailed) << "a silent server got the old answer: " << Show(rows);
    EXPECT_EQ(rows[1].response, kFailed) << Show(rows);
}

TEST_F(SweepTest, AnotherFolderEmptiesTheListAndKeepsTheGame) {
    WriteList(L"Blizzard.txt", {{L"S1", Silent()}, {L"S2", Silent()}});
    Choose(ID_DIABLO_BATTLENET, 0);
    ASSERT_TRUE(WaitProbing(0));
    ::PostMessageW(View(), WM_FOLDERBAR_CHANGED, 0, 0);
    ASSERT_TRUE(WaitIdle(3000));
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(g_nCurrentGame, 2);
}

TEST_F(SweepTest, HugeListFileGivesItsServersUpToTheEmptyLine) {
    // 300 MB: two servers, the empty line that ends the list, and zeros.
    std::wstring path = TestFolder() + L"Blizzard.txt";
    WriteList(L"Blizzard.txt", {{L"하나", Accepting()}, {L"둘", Accepting()}});
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written;
    ::WriteFile(file, "\r\n", 2, &written, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = 300LL << 20;
    ASSERT_TRUE(::SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(file));
    ::CloseHandle(file);

    DWORD start = ::GetTickCount();
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitIdle(20000));
    std::printf("300 MB list file loaded and measured in %lu ms\n", ::GetTickCount() - start);
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u) << Show(rows);
    EXPECT_GE(Millis(rows[0].response), 1);
    EXPECT_GE(Millis(rows[1].response), 1);
}

TEST_F(SweepTest, ThousandRowsLoadWhileTheWindowKeepsAnswering) {
    WriteRows(L"Blizzard.txt", 1000, Silent());
    ResponsivenessWatcher watcher(m_frame->GetHwnd());
    PumpUntil([&] { return watcher.Answers() > 3; }, 2000);
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(PumpUntil([&] { return RowCount() == 1000 && PostedQueueEmpty(); }, 60000));
    Pump(300);  // the rows painted, the first probe under way
    ::PostMessageW(View(), WM_FOLDERBAR_CHANGED, 0, 0);
    ASSERT_TRUE(WaitIdle(5000));
    std::printf("worst answer of the window while 1000 rows loaded: %lu ms\n", watcher.WorstMs());
    EXPECT_LT(watcher.WorstMs(), 500u) << "the window froze";
    EXPECT_EQ(RowCount(), 0);

    // Another group chosen while a long list is still filling: only the new list shows.
    WriteRows(L"Blizzard.txt", 5000, Silent());
    WriteList(L"Free.txt", {{L"F1", Accepting()}, {L"F2", Accepting()}});
    Choose(ID_STARCRAFT_BATTLENET, 0);
    Choose(ID_STARCRAFT_BATTLENET, 1);
    ASSERT_TRUE(WaitIdle(10000));
    Pump(300);
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u) << "rows of the old list: " << rows.size();
    EXPECT_GE(Millis(rows[0].response), 1);
}

TEST_F(SweepTest, ResponseColumnStaysVisibleWithAScrollBar) {
    WriteRows(L"Blizzard.txt", 30, Accepting());
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitIdle(10000));
    Pump(200);
    LONG style = ::GetWindowLongW(List(), GWL_STYLE);
    EXPECT_TRUE(style & WS_VSCROLL) << "30 rows overflow the list";
    EXPECT_FALSE(style & WS_HSCROLL) << "no horizontal scroll bar";
    RECT client;
    ::GetClientRect(List(), &client);
    int right = 0;
    for (int i = 0; i < 3; ++i) right += static_cast<int>(::SendMessageW(List(), LVM_GETCOLUMNWIDTH, i, 0));
    EXPECT_LE(right, client.right) << "every column inside the list";
    int response = static_cast<int>(::SendMessageW(List(), LVM_GETCOLUMNWIDTH, 2, 0));
    for (const wchar_t* text : {L"응답 시간", kFailed, kConnecting}) {
        int need = static_cast<int>(::SendMessageW(List(), LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text)));
        EXPECT_GE(response, need + 8) << ToUtf8(text) << " cut off";
    }
    // Back to a short list: the columns as they were.
    WriteRows(L"Blizzard.txt", 3, Accepting());
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitIdle(10000));
    EXPECT_EQ(::SendMessageW(List(), LVM_GETCOLUMNWIDTH, 0, 0), 150);
    EXPECT_EQ(::SendMessageW(List(), LVM_GETCOLUMNWIDTH, 2, 0), 69);
}

TEST_F(SweepTest, HundredQuickChoicesAndExitMidSweepLeaveNoHandlesBehind) {
    WriteList(L"Blizzard.txt", {{L"B1", Accepting()}, {L"B2", Refused()}, {L"B3", Accepting()}});
    WriteList(L"Free.txt", {{L"F1", Silent()}, {L"F2", Accepting()}});
    WriteList(L"User.txt", {{L"U1", Accepting()}});
    // Sweeps and a stop first (the wait cursor), so lazily made objects are not counted as leaks.
    Choose(ID_STARCRAFT_BATTLENET, 1);
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitIdle(5000));
    CloseFrame();
    DWORD handles0 = HandleCount(), gdi0 = GdiObjectCount();
    int threads0 = OwnThreadCount();

    OpenFrame();
    {
        MessageBoxAnswerer boxes;
        const WPARAM folders[] = {ID_WARCRAFT_BATTLENET, ID_STARCRAFT_BATTLENET, ID_DIABLO_BATTLENET,
                                  ID_DIABLOSW_BATTLENET, 4242};
        DWORD start = ::GetTickCount();
        unsigned seed = 12345;
        for (int i = 0; i < 100; ++i) {
            seed = seed * 1103515245u + 12345u;
            Choose(folders[(seed >> 8) % 5], (seed >> 16) % 3);
            if (i % 5 != 4) Pump((seed >> 20) % 25);  // every fifth choice comes right on the one before
        }
        ASSERT_TRUE(WaitIdle(120000)) << "hang";
        std::printf("100 group choices done after %lu ms\n", ::GetTickCount() - start);
        auto rows = Rows();
        EXPECT_FALSE(rows.empty());
        for (const auto& r : rows) {
            if (r.address == Accepting()) {
                EXPECT_GE(Millis(r.response), 1) << ToUtf8(r.name);
            }
        }
        EXPECT_TRUE(boxes.Texts().empty());

        // Exit while a sweep is under way ends the frame.
        WriteList(L"Blizzard.txt", {{L"S1", Silent()}, {L"S2", Silent()}, {L"S3", Silent()}});
        Choose(ID_STARCRAFT_BATTLENET, 0);
        ASSERT_TRUE(WaitProbing(0));
        HWND frame = m_frame->GetHwnd();
        ::PostMessageW(View(), WM_COMMAND, ID_APP_EXIT, 0);
        EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(frame); }, 15000)) << "Exit was dropped";
        EXPECT_EQ(g_pSweepThread.load(), nullptr);
        EXPECT_TRUE(boxes.Texts().empty());
    }
    CloseFrame();
    PumpUntil([&] { return OwnThreadCount() <= threads0; }, 3000);
    Pump(200);

    DWORD handles1 = HandleCount(), gdi1 = GdiObjectCount();
    int threads1 = OwnThreadCount();
    std::printf("handles %lu -> %lu, GDI objects %lu -> %lu, threads %d -> %d\n", handles0, handles1, gdi0, gdi1,
                threads0, threads1);
    EXPECT_LE(handles1, handles0 + 8);
    EXPECT_LE(gdi1, gdi0 + 4);
    EXPECT_LE(threads1, threads0);
}
