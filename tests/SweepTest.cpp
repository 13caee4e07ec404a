// The server groups and the response-time sweep end to end: the real frame in this process, list files in the
// program folder, stand-in servers on loopback.
#include <gtest/gtest.h>

#include "LauncherFixture.h"
#include "Messages.h"
#include "ServerEntry.h"
#include "resource.h"

using namespace testing_support;
using SweepTest = LauncherFixture;

TEST_F(SweepTest, FileOrderWhileProbingThenOnlyAcceptedConnectionsSortFirst) {
    const ServerList servers = {
        {L"Silent A", Silent()},  {L"로컬 하나", Accepting()}, {L"Refused", Refused()}, {L"Name", L"abc"},
        {L"Empty", L""},          {L"Parts", L"1.2.3.4.5"},       {L"Host", L"localhost"}, {L"Silent B", Silent()},
        {L"로컬 둘", Accepting()}};
    WriteList(L"Blizzard.txt", servers);
    DWORD start = ::GetTickCount();
    Choose(ID_STARCRAFT_BATTLENET, 0);
    // While the second silent server is probed: file order, the rows before it done, the last not yet.
    ASSERT_TRUE(WaitProbing(7)) << Show(Rows());
    auto rows = Rows();
    ASSERT_EQ(rows.size(), servers.size());
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].name, servers[i].first) << Show(rows);
    for (int i : {0, 2, 3, 4, 5, 6}) EXPECT_EQ(rows[i].response, kFailed) << "refused, unparsable: " << Show(rows);
    EXPECT_TRUE(Millis(rows[1].response) > 0 && rows[8].response == L"-") << Show(rows);
    ASSERT_TRUE(WaitIdle(15000));
    // The silent ones wait 1000 ms each; unparsable addresses that waited too would add four seconds.
    EXPECT_LT(::GetTickCount() - start, 4500u) << "an unparsable address was probed";
    rows = Rows();
    EXPECT_TRUE(Millis(rows[0].response) >= 1 && Millis(rows[1].response) >= Millis(rows[0].response)) << "ascending";
    for (int i = 2; i < 9; ++i) EXPECT_EQ(rows[i].response, kFailed) << Show(rows);
}

TEST_F(SweepTest, ALateAnswerOfAnAbandonedProbeIsNotTakenForTheNextOne) {
    WriteList(L"Blizzard.txt", {{L"Late", Accepting()}, {L"Silent", Silent()}});
    ::SendMessageW(View(), WM_GET_RESPONSE_TIME, ID_STARCRAFT_BATTLENET, 0);
    // Nothing posted is dispatched: the first server's answer stays queued until its probe has run out,
    // and arrives while the silent server is probed, often on the very same socket value.
    CServerEntry* first = nullptr;
    // The entry under probe once its socket is open, unless it is the first one.
    auto probed = [&] {
        CServerEntry* entry = CServerGroup::ProbedEntry();
        return entry && entry != first && entry->m_socket != INVALID_SOCKET ? entry : nullptr;
    };
    ASSERT_TRUE(AnswerSentUntil([&] { return (first = probed()) != nullptr; }, 5000));
    ASSERT_TRUE(AnswerSentUntil([&] { return probed() != nullptr; }, 5000)) << "the first probe did not run out";
    ASSERT_TRUE(WaitIdle(5000));
    // The first was answered after its wait; the silent one never.
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    for (const auto& row : rows)
        EXPECT_EQ(row.response, kFailed) << ToUtf8(row.name);
}

TEST_F(SweepTest, TilesPickTheFilesAndAChangeMidSweepShowsTheNewListAtOnce) {
    WriteList(L"Blizzard.txt", {{L"S1", Silent()}, {L"B", Accepting()}});
    WriteList(L"Free.txt", {{L"F", Silent()}, {L"F2", Accepting()}});
    WriteList(L"User.txt", {{L"U", Refused()}});
    MessageBoxAnswerer boxes;
    // Waits for the choice; the row count and the first row (measured).
    auto expect = [&](WPARAM folder, LPARAM item, size_t count, const wchar_t* first) {
        Choose(folder, item);
        ASSERT_TRUE(WaitIdle());
        auto rows = Rows();
        ASSERT_EQ(rows.size(), count) << folder << "/" << item << "\n" << Show(rows);
        EXPECT_TRUE(!count || (rows[0].name == first && Millis(rows[0].response) > 0)) << Show(rows);
    };
    expect(ID_WARCRAFT_BATTLENET, 1, 3, L"F2");  // Free.txt, then User.txt
    ASSERT_TRUE(::DeleteFileW((TestFolder() + L"User.txt").c_str()));
    expect(ID_DIABLOSW_BATTLENET, 1, 2, L"F2");  // no User.txt is no error
    // Another group chosen while a silent server is probed shows at once, not after the probe's time-out; the old
    // sweep ends there.
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitProbing(0));
    int accepted = Servers().Accepted();
    DWORD start = ::GetTickCount();
    Choose(ID_DIABLO_BATTLENET, 1);
    ASSERT_TRUE(PumpUntil([&] { return ListItemText(List(), 0, 0) == L"F"; }, 5000));
    EXPECT_LT(::GetTickCount() - start, 450u) << "the choice waited for the silent server's time-out";
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Servers().Accepted() - accepted, 1) << "only the new list's server was connected to";
    // Another folder opened during a sweep empties the list.
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitProbing(0));
    ::PostMessageW(View(), WM_FOLDERBAR_CHANGED, 0, 0);
    expect(ID_DIABLO_BATTLENET, 2, 0, nullptr);
    // A missing list file is told by name and measures nothing.
    ASSERT_TRUE(::DeleteFileW((TestFolder() + L"Blizzard.txt").c_str()));
    expect(ID_DIABLO_BATTLENET, 0, 0, nullptr);
    EXPECT_EQ(boxes.Texts(),
              std::vector<std::wstring>{L"서버 목록 파일을 열 수 없습니다.\n" + TestFolder() + L"Blizzard.txt"});
}

TEST_F(SweepTest, AChoiceSentDuringAStopAndExitMidSweepEndCleanly) {
    WriteList(L"Blizzard.txt", {{L"B1", Accepting()}, {L"B2", Refused()}, {L"B3", Accepting()}});
    WriteList(L"Free.txt", {{L"F1", Silent()}, {L"F2", Accepting()}});
    WriteList(L"User.txt", {{L"U1", Accepting()}});
    {
        MessageBoxAnswerer boxes;
        // A choice another thread sends while a stop waits is carried out after the stop, not inside it: that
        // choice waits in this thread's queue while a sweep starts (it needs this thread to go on), and another
        // choice stops the sweep.
        std::atomic<bool> done{false};
        std::thread sender([&] {
            DWORD_PTR result;
            ::SendMessageTimeoutW(View(), WM_GET_RESPONSE_TIME, ID_WARCRAFT_BATTLENET, 1, SMTO_NORMAL, 30000, &result);
            done = true;
        });
        bool waiting = WaitSentMessage(5000);
        ::SendMessageW(View(), WM_GET_RESPONSE_TIME, ID_STARCRAFT_BATTLENET, 0);
        ::SendMessageW(View(), WM_GET_RESPONSE_TIME, ID_DIABLO_BATTLENET, 0);
        bool finished = PumpUntil([&] { return done.load(); }, 30000);
        sender.join();
        ASSERT_TRUE(waiting) << "the other thread's choice never came";
        ASSERT_TRUE(finished && WaitIdle(10000)) << "hang";
        auto rows = Rows();
        ASSERT_EQ(rows.size(), 3u) << Show(rows);
        for (const auto& r : rows) EXPECT_TRUE(r.address != Accepting() || Millis(r.response) > 0) << Show(rows);
        // Exit while a sweep is under way ends the frame.
        WriteList(L"Blizzard.txt", {{L"S1", Silent()}, {L"S2", Silent()}, {L"S3", Silent()}});
        Choose(ID_STARCRAFT_BATTLENET, 0);
        ASSERT_TRUE(WaitProbing(0));
        HWND frame = m_frame->GetHwnd();
        ::PostMessageW(View(), WM_COMMAND, ID_APP_EXIT, 0);
        EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(frame); }, 15000)) << "Exit was dropped";
        EXPECT_FALSE(CServerGroup::IsSweeping());
        EXPECT_TRUE(boxes.Texts().empty());
    }
}
