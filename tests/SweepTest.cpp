// The view's server groups and response-time sweep end to end: the real frame
// in this process, list files in the program folder, group choices posted as the
// folder bar posts them, rows read through the list window, and stand-in servers
// on loopback (one that accepts, one that refuses, one that stays silent).
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AppBase.h"
#include "MainFrame.h"
#include "Messages.h"
#include "PingView.h"
#include "ServerEntry.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

namespace {

const wchar_t kConnecting[] = L"접속중...";
const wchar_t kFailed[] = L"접속 실패";

// ---- Stand-in servers on loopback, port 6112 ----

enum class Outcome { Connected, Refused, NoAnswer };

// What a plain non-blocking connect to address:6112 sees within waitMs.
Outcome ConnectOutcome(const char* address, DWORD waitMs) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    u_long on = 1;
    ::ioctlsocket(s, FIONBIO, &on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(PROBE_PORT);
    addr.sin_addr.s_addr = inet_addr(address);
    ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv{static_cast<long>(waitMs / 1000), static_cast<long>(waitMs % 1000) * 1000};
    int n = ::select(0, nullptr, &writable, &failed, &tv);
    Outcome outcome = n <= 0 ? Outcome::NoAnswer : FD_ISSET(s, &writable) ? Outcome::Connected : Outcome::Refused;
    ::closesocket(s);
    return outcome;
}

SOCKET ListenOn(const char* address, int backlog) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(PROBE_PORT);
    addr.sin_addr.s_addr = inet_addr(address);
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(s, backlog) != 0) {
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

struct StandIns {
    std::wstring accepting, refused, silent;  // addresses; empty when none could be set up
    SOCKET acceptListener = INVALID_SOCKET;
    SOCKET silentListener = INVALID_SOCKET;
    std::vector<SOCKET> fillers;  // connects to the silent server that are never accepted
    std::thread acceptor;
    std::atomic<int> accepted{0};  // connections the accepting stand-in took
    std::atomic<bool> stop{false};

    void Start() {
        // Another bench on this host may hold an address; try a few.
        for (const char* a : {"127.0.0.1", "127.0.1.1", "127.0.2.1"}) {
            if ((acceptListener = ListenOn(a, 64)) != INVALID_SOCKET) {
                accepting = Wide(a);
                break;
            }
        }
        if (acceptListener != INVALID_SOCKET) {
            acceptor = std::thread([this] {
                while (!stop) {
                    fd_set r;
                    FD_ZERO(&r);
                    FD_SET(acceptListener, &r);
                    timeval tv{0, 50000};
                    if (::select(0, &r, nullptr, nullptr, &tv) == 1) {
                        SOCKET c = ::accept(acceptListener, nullptr, nullptr);
                        if (c != INVALID_SOCKET) {
                            ++accepted;
                            ::closesocket(c);
                        }
                    }
                }
            });
        }
        for (const char* a : {"127.0.0.2", "127.0.4.2", "127.0.5.2"}) {
            if (ConnectOutcome(a, 2000) == Outcome::Refused) {
                refused = Wide(a);
                break;
            }
        }
        for (const char* a : {"127.0.0.3", "127.0.3.3", "127.0.6.3"}) {
            SOCKET l = ListenOn(a, 0);
            if (l == INVALID_SOCKET) continue;
            for (int i = 0; i < 3; ++i) {
                SOCKET c = ::socket(AF_INET, SOCK_STREAM, 0);
                u_long on = 1;
                ::ioctlsocket(c, FIONBIO, &on);
                sockaddr_in addr{};
                addr.sin_family = AF_INET;
                addr.sin_port = htons(PROBE_PORT);
                addr.sin_addr.s_addr = inet_addr(a);
                ::connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
                fillers.push_back(c);
            }
            ::Sleep(100);
            // Silent means: no answer at all, not even after the probe's wait.
            if (ConnectOutcome(a, 1500) == Outcome::NoAnswer) {
                silentListener = l;
                silent = Wide(a);
                break;
            }
            for (SOCKET c : fillers) ::closesocket(c);
            fillers.clear();
            ::closesocket(l);
        }
        std::printf("stand-ins: accepting %ls, refused %ls, silent %ls\n", accepting.c_str(), refused.c_str(),
                    silent.c_str());
    }

    void Stop() {
        stop = true;
        if (acceptor.joinable()) acceptor.join();
        for (SOCKET c : fillers) ::closesocket(c);
        if (acceptListener != INVALID_SOCKET) ::closesocket(acceptListener);
        if (silentListener != INVALID_SOCKET) ::closesocket(silentListener);
    }
};

StandIns* g_servers = nullptr;

// ---- Message boxes: found, read and pressed by a real click on another thread,
// since the box runs its own loop inside the view's handler on this thread ----

class DialogWatcher {
public:
    DialogWatcher() {
        m_thread = std::thread([this] {
            while (!m_stop) {
                if (HWND box = FindBox()) Answer(box);
                ::Sleep(30);
            }
            m_done = true;
        });
    }
    ~DialogWatcher() {
        m_stop = true;
        // Keep answering this thread's windows while the watcher finishes.
        PumpUntil([this] { return m_done.load(); }, 10000);
        m_thread.join();
    }
    std::vector<std::wstring> Texts() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts;
    }
    bool AllClosedByClick() const { return m_clickFailed == 0; }

private:
    // A visible message box of this process captioned "Orvane", found without
    // sending any message to the windows of the user-interface thread.
    static BOOL CALLBACK IsBox(HWND hwnd, LPARAM lParam) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        wchar_t cls[16] = {}, text[64] = {};
        ::GetClassNameW(hwnd, cls, 16);
        ::InternalGetWindowText(hwnd, text, 64);
        if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd) || std::wstring(cls) != L"#32770" ||
            std::wstring(text) != L"Orvane")
            return TRUE;
        *reinterpret_cast<HWND*>(lParam) = hwnd;
        return FALSE;
    }
    static HWND FindBox() {
        HWND found = nullptr;
        ::EnumWindows(&DialogWatcher::IsBox, reinterpret_cast<LPARAM>(&found));
        return found;
    }

    void Answer(HWND box) {
        std::wstring text = DialogText(box);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_texts.push_back(text);
        }
        ClickDialogButton(box, IDOK);
        DWORD start = ::GetTickCount();
        while (::IsWindow(box) && ::GetTickCount() - start < 3000) ::Sleep(20);
        if (::IsWindow(box)) {
            // The click missed: close it anyway so the program does not hang, and fail.
            ++m_clickFailed;
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            while (::IsWindow(box)) ::Sleep(20);
        }
    }

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::atomic<int> m_clickFailed{0};
    std::mutex m_mutex;
    std::vector<std::wstring> m_texts;
};

// ---- The list as a user sees it ----

struct Row {
    std::wstring name, address, response;
};

std::wstring ItemText(HWND list, int row, int sub) {
    wchar_t text[260] = {};
    LVITEMW item{};
    item.iSubItem = sub;
    item.pszText = text;
    item.cchTextMax = 260;
    ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::vector<Row> Rows(HWND list) {
    std::vector<Row> rows;
    int n = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) rows.push_back({ItemText(list, i, 0), ItemText(list, i, 1), ItemText(list, i, 2)});
    return rows;
}

std::vector<LPARAM> ItemData(HWND list) {
    std::vector<LPARAM> data;
    int n = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        data.push_back(item.lParam);
    }
    return data;
}

// The milliseconds of a "%dms" text, or -1.
int Millis(const std::wstring& text) {
    unsigned ms = 0;
    wchar_t rest[8] = {};
    if (swscanf(text.c_str(), L"%u%7ls", &ms, rest) != 2 || std::wstring(rest) != L"ms") return -1;
    if (std::to_wstring(ms) + L"ms" != text) return -1;
    return static_cast<int>(ms);
}

// UTF-8 for the log.
std::string Utf8(const std::wstring& text) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::string Show(const std::vector<Row>& rows) {
    std::string s;
    for (const auto& r : rows) {
        s += '[';
        s += Utf8(r.name);
        s += " | ";
        s += Utf8(r.address);
        s += " | ";
        s += Utf8(r.response);
        s += "] ";
    }
    return s;
}

int ThreadCount() {
    int n = 0;
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 te{};
    te.dwSize = sizeof(te);
    for (BOOL ok = ::Thread32First(snap, &te); ok; ok = ::Thread32Next(snap, &te))
        if (te.th32OwnerProcessID == ::GetCurrentProcessId()) ++n;
    ::CloseHandle(snap);
    return n;
}

bool NothingPosted() { return HIWORD(::GetQueueStatus(QS_POSTMESSAGE)) == 0; }

// Pumps until the posted choices are handled and no sweep runs.
bool WaitIdle(DWORD timeoutMs) { return PumpUntil([] { return NothingPosted() && !g_pSweepThread; }, timeoutMs); }

// ---- The fixture: stand-ins once per program, a real frame per test ----

class SweepTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        g_servers = new StandIns;
        g_servers->Start();
    }
    static void TearDownTestSuite() {
        g_servers->Stop();
        delete g_servers;
        g_servers = nullptr;
    }

    void SetUp() override {
        ASSERT_FALSE(g_servers->accepting.empty()) << "no accepting stand-in on port 6112";
        ASSERT_FALSE(g_servers->refused.empty()) << "no refusing loopback address";
        ASSERT_FALSE(g_servers->silent.empty()) << "the silent stand-in answers";
        RemoveLists();
        OpenFrame();
    }

    void TearDown() override {
        CloseFrame();
        RemoveLists();
    }

    void OpenFrame() {
        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->LoadFrame(IDR_MAINFRAME));
        CAppBase::Get()->SetMainWnd(m_frame->GetHwnd());
        Pump(50);
    }

    void CloseFrame() {
        m_frame.reset();  // the view's destruction stops a sweep still running
        CAppBase::Get()->SetMainWnd(nullptr);
        Pump(50);  // and takes the frame's quit message off the queue
    }

    static void RemoveLists() {
        for (const wchar_t* f : {L"Blizzard.txt", L"Free.txt", L"User.txt"}) ::DeleteFileW((TestFolder() + f).c_str());
    }

    // A list file in the program folder; each server is {name, address}, lines end in CR LF.
    static void WriteList(const wchar_t* file, const std::vector<std::pair<std::wstring, std::wstring>>& servers) {
        std::string bytes;
        for (const auto& s : servers) bytes += ToCp949(s.first) + "," + ToCp949(s.second) + "\r\n";
        ASSERT_TRUE(WriteFileBytes(TestFolder() + file, bytes));
    }

    CPingView& View() { return m_frame->GetView(); }
    HWND List() { return View().GetServerList().GetHwnd(); }
    void Choose(WPARAM folder, LPARAM item) { ::PostMessageW(View(), WM_GET_RESPONSE_TIME, folder, item); }
    bool WaitProbing(int row, DWORD timeoutMs = 3000) {
        return PumpUntil([&] { return ItemText(List(), row, 2) == kConnecting; }, timeoutMs);
    }

    const std::wstring& Accepting() { return g_servers->accepting; }
    const std::wstring& Refused() { return g_servers->refused; }
    const std::wstring& Silent() { return g_servers->silent; }

    std::unique_ptr<CMainFrame> m_frame;
};

}  // namespace

TEST(ServerEntry, ResponseFromTicksRoundsToWholeMillisecondsAtLeastOne) {
    const LONGLONG f = 10000000;  // 10 MHz, as Wine's performance counter
    EXPECT_EQ(CServerEntry::ResponseFromTicks(0, f), 1);
    EXPECT_EQ(CServerEntry::ResponseFromTicks(4999, f), 1) << "0.4999 ms";
    EXPECT_EQ(CServerEntry::ResponseFromTicks(14999, f), 1);
    EXPECT_EQ(CServerEntry::ResponseFromTicks(15000, f), 2) << "1.5 ms rounds up";
    EXPECT_EQ(CServerEntry::ResponseFromTicks(24999, f), 2);
    EXPECT_EQ(CServerEntry::ResponseFromTicks(470000, f), 47);
    EXPECT_EQ(CServerEntry::ResponseFromTicks(10000000, f), 1000);
    EXPECT_EQ(CServerEntry::ResponseFromTicks(3579, 3579545), 1) << "odd frequency";
    EXPECT_EQ(CServerEntry::ResponseFromTicks(12527, 3579545), 3) << "3.4997 ms";
    EXPECT_EQ(CServerEntry::ResponseFromTicks(12529, 3579545), 4) << "3.5003 ms";
    // Never one of the marker values, never 0.
    EXPECT_EQ(CServerEntry::ResponseFromTicks(65533LL * f / 1000, f), 65533);
    EXPECT_EQ(CServerEntry::ResponseFromTicks(65534LL * f / 1000, f), 65533);
    EXPECT_EQ(CServerEntry::ResponseFromTicks(3600LL * f, f), 65533);
    EXPECT_EQ(CServerEntry::ResponseFromTicks(-5, f), 1);
    EXPECT_EQ(CServerEntry::ResponseFromTicks(1000, 0), 1);
}

TEST_F(SweepTest, ProbesInFileOrderThenSortsByResponseFailedLast) {
    WriteList(L"Blizzard.txt", {{L"Silent A", Silent()},
                                {L"로컬 하나", Accepting()},
                                {L"Refused", Refused()},
                                {L"Silent B", Silent()},
                                {L"로컬 둘", Accepting()}});
    const std::vector<std::wstring> fileOrder = {L"Silent A", L"로컬 하나", L"Refused", L"Silent B", L"로컬 둘"};
    Choose(ID_STARCRAFT_BATTLENET, 0);

    ASSERT_TRUE(WaitProbing(0)) << Show(Rows(List()));
    auto rows = Rows(List());
    ASSERT_EQ(rows.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rows[i].name, fileOrder[i]);
        if (i > 0) {
            EXPECT_EQ(rows[i].response, L"-") << "not probed yet: " << Show(rows);
        }
    }
    EXPECT_EQ(rows[1].address, Accepting());
    EXPECT_NE(g_pSweepThread.load(), nullptr);

    // The second silent server: the three before it are done, the rows still in file order.
    ASSERT_TRUE(WaitProbing(3)) << Show(Rows(List()));
    rows = Rows(List());
    ASSERT_EQ(rows.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(rows[i].name, fileOrder[i]) << Show(rows);
    EXPECT_EQ(rows[0].response, kFailed);
    EXPECT_GE(Millis(rows[1].response), 1) << "an accepting server is timed, never 0: " << Show(rows);
    EXPECT_GE(Millis(rows[2].response), 1) << "a refusal is an answer: " << Show(rows);
    EXPECT_EQ(rows[4].response, L"-");

    ASSERT_TRUE(WaitIdle(5000));
    rows = Rows(List());
    std::printf("after the sweep: %s\n", Show(rows).c_str());
    ASSERT_EQ(rows.size(), 5u);
    int previous = 0;
    for (int i = 0; i < 3; ++i) {
        int ms = Millis(rows[i].response);
        EXPECT_GE(ms, std::max(previous, 1)) << "ascending: " << Show(rows);
        EXPECT_LT(ms, 1000);
        previous = ms;
        EXPECT_NE(rows[i].name.rfind(L"Silent", 0), 0u);
    }
    for (int i = 3; i < 5; ++i) {
        EXPECT_EQ(rows[i].response, kFailed);
        EXPECT_EQ(rows[i].name.rfind(L"Silent", 0), 0u) << Show(rows);
        EXPECT_EQ(rows[i].address, Silent());
    }
    EXPECT_EQ(g_nCurrentGame, 0);
}

TEST_F(SweepTest, ListFileLinesShownThroughTheList) {
    // A silent first server holds the sweep, so the rows can be read in file order.
    std::string bytes = "Silent," + ToCp949(Silent()) + "\r\n" +                  //
                        ToCp949(L"서울 서버,") + ToCp949(Accepting()) + "\r\n" +  // Korean in 949
                        "Two," + ToCp949(Refused()) + ",x\n" +                    // LF only, two commas
                        "no comma line\r\n" +                                     // skipped
                        "," + ToCp949(Accepting()) + "\r\n" +                     // empty name
                        ToCp949(L"서울 서버,") + ToCp949(Accepting()) + "\r\n" +  // duplicate
                        "  Blank  ," + ToCp949(Refused()) + "\r\n" +              // blanks kept
                        "\r\n" +                                                  // the end of the list
                        "After," + ToCp949(Accepting()) + "\r\n";
    ASSERT_TRUE(WriteFileBytes(TestFolder() + L"Blizzard.txt", bytes));
    DialogWatcher boxes;
    Choose(ID_DIABLO_BATTLENET, 0);
    ASSERT_TRUE(WaitProbing(0));
    auto rows = Rows(List());
    const std::vector<std::pair<std::wstring, std::wstring>> want = {
        {L"Silent", Silent()},       {L"서울 서버", Accepting()}, {L"Two", Refused() + L",x"},
        {L"", Accepting()},          {L"서울 서버", Accepting()}, {L"  Blank  ", Refused()}};
    ASSERT_EQ(rows.size(), want.size()) << Show(rows);
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(rows[i].name, want[i].first) << i;
        EXPECT_EQ(rows[i].address, want[i].second) << i;
    }
    EXPECT_EQ(g_nCurrentGame, 2);
    ASSERT_TRUE(WaitIdle(10000));
    rows = Rows(List());
    std::printf("after the sweep: %s\n", Show(rows).c_str());
    EXPECT_EQ(rows.size(), want.size());
    EXPECT_EQ(rows.back().response, kFailed);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SweepTest, FreeGroupReadsFreeThenUserAndSkipsMissingUser) {
    // Free.txt with LF alone, User.txt without a final line end.
    ASSERT_TRUE(WriteFileBytes(TestFolder() + L"Free.txt",
                               "Silent F," + ToCp949(Silent()) + "\n" + ToCp949(L"프리 둘,") + ToCp949(Refused()) + "\n"));
    ASSERT_TRUE(WriteFileBytes(TestFolder() + L"User.txt", ToCp949(L"내 서버,") + ToCp949(Accepting()) +
                                                                "\r\nMine 2," + ToCp949(Refused())));
    WriteList(L"Blizzard.txt", {{L"Battle.net", Accepting()}});
    DialogWatcher boxes;
    Choose(ID_WARCRAFT_BATTLENET, 1);
    ASSERT_TRUE(WaitProbing(0));
    auto rows = Rows(List());
    ASSERT_EQ(rows.size(), 4u) << Show(rows);
    EXPECT_EQ(rows[0].name, L"Silent F");
    EXPECT_EQ(rows[1].name, L"프리 둘");
    EXPECT_EQ(rows[2].name, L"내 서버");
    EXPECT_EQ(rows[3].name, L"Mine 2");
    EXPECT_EQ(rows[3].address, Refused());
    EXPECT_EQ(g_nCurrentGame, 1);
    ASSERT_TRUE(WaitIdle(5000));
    rows = Rows(List());
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[3].name, L"Silent F") << "sorted last: " << Show(rows);

    // Without User.txt: Free.txt alone, silently, and it is measured.
    ASSERT_TRUE(::DeleteFileW((TestFolder() + L"User.txt").c_str()));
    Choose(ID_DIABLOSW_BATTLENET, 1);
    ASSERT_TRUE(WaitIdle(5000));
    rows = Rows(List());
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
    ASSERT_EQ(Rows(List()).size(), 3u);

    // No Blizzard.txt: the box names the file; the list is emptied, the game recorded.
    DialogWatcher boxes;
    Choose(ID_DIABLO_BATTLENET, 0);
    bool sweepSeen = false;
    PumpUntil([&] {
        sweepSeen |= g_pSweepThread != nullptr;
        return boxes.Texts().size() == 1 && NothingPosted();
    }, 15000);
    Pump(100);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], L"서버 목록 파일을 열 수 없습니다.\n" + TestFolder() + L"Blizzard.txt");
    EXPECT_TRUE(boxes.AllClosedByClick()) << "OK pressed by a click";
    EXPECT_EQ(::SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(g_nCurrentGame, 2);
    EXPECT_FALSE(sweepSeen);
    EXPECT_EQ(g_pSweepThread.load(), nullptr);

    // No Free.txt: User.txt is not read either.
    ASSERT_TRUE(::DeleteFileW((TestFolder() + L"Free.txt").c_str()));
    Choose(ID_WARCRAFT_BATTLENET, 1);
    PumpUntil([&] { return boxes.Texts().size() == 2 && NothingPosted(); }, 15000);
    Pump(100);
    ASSERT_EQ(boxes.Texts().size(), 2u);
    EXPECT_EQ(boxes.Texts()[1], L"서버 목록 파일을 열 수 없습니다.\n" + TestFolder() + L"Free.txt");
    EXPECT_EQ(::SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(g_nCurrentGame, 1);
    EXPECT_EQ(g_pSweepThread.load(), nullptr);
}

TEST_F(SweepTest, FolderAndItemPickGameAndFiles) {
    WriteList(L"Blizzard.txt", {{L"B", Refused()}});
    WriteList(L"Free.txt", {{L"F", Refused()}});
    struct Choice {
        WPARAM folder;
        LPARAM item;
        int game;
        const wchar_t* row;
    };
    const Choice choices[] = {{ID_DIABLOSW_BATTLENET, 0, 3, L"B"},  {12345, 0, 0, L"B"},
                              {ID_DIABLO_BATTLENET, 1, 2, L"F"},    {ID_WARCRAFT_BATTLENET, 1, 1, L"F"},
                              {ID_DIABLOSW_BATTLENET, 1, 3, L"F"},  {ID_STARCRAFT_BATTLENET, 0, 0, L"B"},
                              {ID_WARCRAFT_BATTLENET, 0, 1, L"B"},  {ID_WARCRAFT_BATTLENET, 2, 1, L"B"},
                              {ID_DIABLO_BATTLENET, 3, 1, L"B"},    {ID_SETUP, 0, 0, L"B"},
                              {ID_DIABLO_BATTLENET, -1, 0, L"B"}};
    for (const auto& c : choices) {
        Choose(c.folder, c.item);
        ASSERT_TRUE(WaitIdle(5000));
        auto rows = Rows(List());
        ASSERT_EQ(rows.size(), 1u) << c.folder << "/" << c.item;
        EXPECT_EQ(rows[0].name, c.row) << c.folder << "/" << c.item;
        EXPECT_GE(Millis(rows[0].response), 1) << c.folder << "/" << c.item;
        EXPECT_EQ(g_nCurrentGame, c.game) << c.folder << "/" << c.item;
    }
}

TEST_F(SweepTest, ItemTwoDoesNothingDuringSweep) {
    WriteList(L"Blizzard.txt", {{L"S1", Silent()}, {L"S2", Silent()}});
    WriteList(L"Free.txt", {{L"F", Refused()}});
    Choose(ID_DIABLO_BATTLENET, 0);
    ASSERT_TRUE(WaitProbing(0));
    CSweepThread* sweep = g_pSweepThread;
    ASSERT_NE(sweep, nullptr);
    auto data = ItemData(List());
    DWORD start = ::GetTickCount();
    Choose(ID_WARCRAFT_BATTLENET, 2);
    Choose(ID_STARCRAFT_BATTLENET, 2);
    PumpUntil(NothingPosted, 1000);
    Pump(100);
    // Still the same sweep on the same entries, still probing the first row.
    if (::GetTickCount() - start < 700) {
        EXPECT_EQ(ItemText(List(), 0, 2), kConnecting);
    }
    EXPECT_EQ(g_pSweepThread.load(), sweep);
    EXPECT_EQ(ItemData(List()), data);
    EXPECT_EQ(g_nCurrentGame, 2);
    ASSERT_TRUE(WaitProbing(1));
    ASSERT_TRUE(WaitIdle(3000));
    auto rows = Rows(List());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].response, kFailed);
    EXPECT_EQ(rows[1].response, kFailed);
    EXPECT_EQ(g_nCurrentGame, 2);
}

TEST_F(SweepTest, GroupChosenDuringSweepEndsProbeAndMeasuresNewList) {
    WriteList(L"Blizzard.txt", {{L"S1", Silent()}, {L"L2", Accepting()}, {L"L3", Accepting()}});
    WriteList(L"Free.txt", {{L"로컬", Accepting()}, {L"Refused", Refused()}});
    int threadsBefore = ThreadCount();
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitProbing(0));
    EXPECT_EQ(ThreadCount(), threadsBefore + 1) << "one sweep thread";
    int acceptedBefore = g_servers->accepted;

    DWORD start = ::GetTickCount();
    Choose(ID_WARCRAFT_BATTLENET, 1);
    ASSERT_TRUE(PumpUntil([&] { return NothingPosted() && Rows(List()).size() == 2; }, 12000));
    std::printf("group change under a probe took %lu ms\n", ::GetTickCount() - start);
    ASSERT_TRUE(WaitIdle(5000));
    auto rows = Rows(List());
    ASSERT_EQ(rows.size(), 2u) << Show(rows);
    for (const auto& r : rows) {
        EXPECT_TRUE(r.name == L"로컬" || r.name == L"Refused") << "the old list is gone: " << Show(rows);
        EXPECT_GE(Millis(r.response), 1) << Show(rows);
    }
    EXPECT_EQ(g_nCurrentGame, 1);
    // The old sweep stopped after S1: L2 and L3 were never connected to, only the new 로컬.
    Pump(300);
    EXPECT_EQ(g_servers->accepted - acceptedBefore, 1);
    EXPECT_TRUE(PumpUntil([&] { return ThreadCount() == threadsBefore; }, 1000)) << ThreadCount();
}

TEST_F(SweepTest, OnlyARealAnswerOfTheProbedSocketEndsTheProbe) {
    WriteList(L"Blizzard.txt", {{L"S1", Silent()}, {L"S2", Silent()}, {L"S3", Silent()}, {L"로컬", Accepting()}});
    Choose(ID_STARCRAFT_BATTLENET, 0);
    SOCKET foreign = ::socket(AF_INET, SOCK_STREAM, 0);
    auto probedSocket = [] {
        SOCKET s = INVALID_SOCKET;
        PumpUntil([&] {
            CServerEntry* e = g_pProbedEntry;
            return e && (s = e->m_socket) != INVALID_SOCKET;
        }, 3000);
        return s;
    };
    auto failsAfterWait = [&](int row) {
        DWORD start = ::GetTickCount();
        EXPECT_TRUE(PumpUntil([&] { return ItemText(List(), row, 2) != kConnecting; }, 3000));
        std::printf("row %d ended after %lu ms\n", row, ::GetTickCount() - start);
        EXPECT_EQ(ItemText(List(), row, 2), kFailed) << "row " << row;
    };

    // Connect notifications of other sockets.
    ASSERT_TRUE(WaitProbing(0));
    SOCKET s = probedSocket();
    ASSERT_NE(s, INVALID_SOCKET);
    ::PostMessageW(View(), WM_SOCKET_NOTIFY, foreign, WSAMAKESELECTREPLY(FD_CONNECT, 0));
    ::PostMessageW(View(), WM_SOCKET_NOTIFY, s + 4, WSAMAKESELECTREPLY(FD_CONNECT, WSAECONNREFUSED));
    failsAfterWait(0);

    // Another event of the probed socket.
    ASSERT_TRUE(WaitProbing(1));
    s = probedSocket();
    ::PostMessageW(View(), WM_SOCKET_NOTIFY, s, WSAMAKESELECTREPLY(FD_READ, 0));
    failsAfterWait(1);

    // The probed socket's value, but its connect has no answer: what a notification
    // still queued for an earlier socket of the same value looks like.
    ASSERT_TRUE(WaitProbing(2));
    s = probedSocket();
    ::PostMessageW(View(), WM_SOCKET_NOTIFY, s, WSAMAKESELECTREPLY(FD_CONNECT, 0));
    failsAfterWait(2);
    ::closesocket(foreign);

    // A real answer still ends its probe at once.
    ASSERT_TRUE(WaitIdle(3000));
    auto rows = Rows(List());
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].name, L"로컬") << Show(rows);
    int ms = Millis(rows[0].response);
    EXPECT_GE(ms, 1) << Show(rows);
    EXPECT_LT(ms, 900);
}

TEST_F(SweepTest, LateAnswerOfAnAbandonedProbeIsNotCreditedToTheNextList) {
    // The first server answers while the user-interface thread is already busy
    // with the next group choice, so its notification is handled only after the
    // new sweep has started on a silent server.
    WriteList(L"Blizzard.txt", {{L"로컬", Accepting()}, {L"S", Silent()}});
    WriteList(L"Free.txt", {{L"Silent new", Silent()}, {L"Silent 2", Silent()}});
    ::SendMessageW(View(), WM_GET_RESPONSE_TIME, ID_STARCRAFT_BATTLENET, 0);
    ::Sleep(200);  // the connect completes; its notification waits in the queue
    CServerEntry* old = g_pProbedEntry;
    ASSERT_NE(old, nullptr);
    SOCKET oldSocket = old->m_socket;
    ASSERT_NE(oldSocket, INVALID_SOCKET);
    ASSERT_NE(HIWORD(::GetQueueStatus(QS_POSTMESSAGE)), 0) << "notification queued";
    ::SendMessageW(View(), WM_GET_RESPONSE_TIME, ID_STARCRAFT_BATTLENET, 1);
    SOCKET newSocket = INVALID_SOCKET;
    for (int i = 0; i < 100 && newSocket == INVALID_SOCKET; ++i) {
        CServerEntry* e = g_pProbedEntry;
        if (e && e != old) newSocket = e->m_socket;
        if (newSocket == INVALID_SOCKET) ::Sleep(2);
    }
    std::printf("abandoned probe's socket %u, new probe's socket %u\n", static_cast<unsigned>(oldSocket),
                static_cast<unsigned>(newSocket));
    ASSERT_TRUE(WaitIdle(4000));
    auto rows = Rows(List());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].response, kFailed) << "a silent server got the old answer: " << Show(rows);
    EXPECT_EQ(rows[1].response, kFailed) << Show(rows);
}

TEST_F(SweepTest, ListEmptiedUnderRunningSweepKeepsTheProbedEntryAlive) {
    WriteList(L"Blizzard.txt", {{L"S1", Silent()}, {L"S2", Silent()}});
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitProbing(0));
    CServerEntry* probed = g_pProbedEntry;
    ASSERT_NE(probed, nullptr);
    View().GetServerGroup().ClearServerList();
    EXPECT_EQ(::SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(probed->m_strName, L"S1");
    EXPECT_EQ(probed->m_strAddress, Silent());
    EXPECT_EQ(probed->m_wResponse.load(), RESPONSE_MEASURING);
    // The sweep finishes its own entries and sorts the empty list.
    ASSERT_TRUE(WaitIdle(4000));
    EXPECT_EQ(::SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0), 0);

    // Opening another folder empties the list and keeps the game.
    Choose(ID_DIABLO_BATTLENET, 0);
    ASSERT_TRUE(WaitProbing(0));
    ::PostMessageW(View(), WM_FOLDERBAR_CHANGED, 0, 0);
    ASSERT_TRUE(WaitIdle(3000));
    EXPECT_EQ(::SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(g_nCurrentGame, 2);
}

TEST_F(SweepTest, HundredQuickChoicesAndExitMidSweepLeaveNoHandlesBehind) {
    WriteList(L"Blizzard.txt", {{L"B1", Accepting()}, {L"B2", Refused()}, {L"B3", Accepting()}});
    WriteList(L"Free.txt", {{L"F1", Refused()}, {L"F2", Accepting()}});
    WriteList(L"User.txt", {{L"U1", Accepting()}});
    // Sweeps and a stop first (the wait cursor), so lazily made objects are not counted as leaks.
    Choose(ID_STARCRAFT_BATTLENET, 1);
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitIdle(5000));
    CloseFrame();
    DWORD handles0 = HandleCount(), gdi0 = GdiObjectCount();
    int threads0 = ThreadCount();
    // The counts see one more handle or GDI object.
    ASSERT_GT(handles0, 0u);
    ASSERT_GT(gdi0, 0u);
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(HandleCount(), handles0 + 1);
    EXPECT_EQ(GdiObjectCount(), gdi0 + 1);
    ::CloseHandle(event);
    ::DeleteObject(brush);

    OpenFrame();
    {
    DialogWatcher boxes;
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
    for (const auto& r : Rows(List())) EXPECT_TRUE(Millis(r.response) >= 1) << Utf8(r.name);
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
    PumpUntil([&] { return ThreadCount() <= threads0; }, 3000);
    Pump(200);

    DWORD handles1 = HandleCount(), gdi1 = GdiObjectCount();
    int threads1 = ThreadCount();
    std::printf("handles %lu -> %lu, GDI objects %lu -> %lu, threads %d -> %d\n", handles0, handles1, gdi0, gdi1,
                threads0, threads1);
    EXPECT_LE(handles1, handles0 + 8);
    EXPECT_LE(gdi1, gdi0 + 4);
    EXPECT_LE(threads1, threads0);
}
