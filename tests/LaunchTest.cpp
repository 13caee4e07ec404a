// Game start: the real frame in this process, a real sweep over loopback, real
// double-clicks on real rows, the prefix's registry and profile, and a stand-in
// game that records how it was started.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include "AppBase.h"
#include "LauncherFixture.h"
#include "Messages.h"
#include "resource.h"

using namespace testing_support;

namespace {

const wchar_t kBattleNet[] = L"Software\\Battle.net\\Configuration";
const wchar_t kStarcraft[] = L"Software\\Blizzard Entertainment\\Starcraft";
const wchar_t kWarcraft[] = L"Software\\Blizzard Entertainment\\Warcraft II BNE";

std::wstring Profile(const wchar_t* key) { return CAppBase::Get()->GetProfileString(L"ProgramPath", key, L"<none>"); }
void SetProfile(const wchar_t* key, const std::wstring& value) {
    CAppBase::Get()->WriteProfileString(L"ProgramPath", key, value);
}

// "Server List" as the 32-bit games read it; empty when absent.
std::wstring ServerListValue(DWORD* type = nullptr) {
    std::wstring value;
    RegistryString(HKEY_LOCAL_MACHINE, kBattleNet, L"Server List", &value, type, nullptr, KEY_WOW64_32KEY);
    return value;
}

void ResetBattleNetKey() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kBattleNet);
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kBattleNet, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), 0);
    ::RegCloseKey(key);
}

// Records the Setup command, and the flag as it stands when the command is taken
// from the queue, before the view consumes it.
struct SetupRecorder {
    static inline int count = 0;
    static inline BOOL flagAtSetup = FALSE;
    static inline HWND view = nullptr;
    HHOOK hook;
    explicit SetupRecorder(HWND v) {
        view = v;
        count = 0;
        flagAtSetup = FALSE;
        hook = ::SetWindowsHookExW(WH_GETMESSAGE, &Proc, nullptr, ::GetCurrentThreadId());
    }
    ~SetupRecorder() { ::UnhookWindowsHookEx(hook); }
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (code >= 0 && wParam == PM_REMOVE && msg->hwnd == view && msg->message == WM_COMMAND &&
            LOWORD(msg->wParam) == ID_SETUP && msg->lParam == 0) {
            ++count;
            flagAtSetup = g_bShowProgramPage;
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
};

class LaunchTest : public LauncherFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(Servers().ok());
        LauncherFixture::SetUp();
        WriteList(L"Blizzard.txt", {{L"Local", Accepting()}, {L"Refused", Refused()}});
        m_gameFolder = MakeTempFolder(L"orvn_game");
        m_game = m_gameFolder + L"StarCraft.exe";
        ASSERT_TRUE(CopyFileTo(TestFolder() + L"GameStandIn.exe", m_game));
        ResetBattleNetKey();
        SetProfile(L"StarCraft", m_game);
    }
    void TearDown() override {
        LauncherFixture::TearDown();
        RemoveFolder(m_gameFolder);
    }
    std::wstring m_gameFolder, m_game;
};

}  // namespace

TEST_F(LaunchTest, StartFillsTheProfileFromRegistryAndFixedPaths) {
    CloseFrame();
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    std::wstring profile = std::wstring(windows) + L"\\Orvn.INI";
    ::DeleteFileW(profile.c_str());
    SetRegistryString(HKEY_LOCAL_MACHINE, kStarcraft, L"Program", L"C:\\Games\\StarCraft\\StarCraft.exe");
    SetRegistryString(HKEY_LOCAL_MACHINE, kWarcraft, L"Program", L"C:\\Games\\W2\\Warcraft II BNE.exe");
    OpenFrame();
    EXPECT_EQ(Profile(L"StarCraft"), L"C:\\Games\\StarCraft\\StarCraft.exe");
    EXPECT_EQ(Profile(L"WarCraft II BNE"), L"C:\\Games\\W2\\Warcraft II BNE.exe");
    EXPECT_EQ(Profile(L"Diablo"), L"C:\\Diablo\\Diablo.exe");
    EXPECT_EQ(Profile(L"Diablo SW"), L"C:\\Diablo\\Spawn\\Diablo_s.exe");
    std::string ini;
    ASSERT_TRUE(ReadFileBytes(profile, &ini)) << "Orvn.INI in the Windows folder";
    EXPECT_NE(ini.find("[ProgramPath]"), std::string::npos);

    // A stored path is kept; an empty one without a registry value is written as empty...
    CloseFrame();
    SetProfile(L"StarCraft", L"D:\\Mine\\sc.exe");
    SetProfile(L"WarCraft II BNE", L"");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kWarcraft);
    OpenFrame();
    EXPECT_EQ(Profile(L"StarCraft"), L"D:\\Mine\\sc.exe");
    EXPECT_EQ(Profile(L"WarCraft II BNE"), L"");

    // ...and filled at the next start once the game is installed.
    CloseFrame();
    SetRegistryString(HKEY_LOCAL_MACHINE, kWarcraft, L"Program", L"C:\\W2\\war2.exe");
    OpenFrame();
    EXPECT_EQ(Profile(L"WarCraft II BNE"), L"C:\\W2\\war2.exe");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kStarcraft);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kWarcraft);
}

TEST_F(LaunchTest, DoubleClickAfterSweepWritesServerListAndStartsTheGroupsGame) {
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitIdle());
    DoubleClickRow(Accepting());
    DWORD type = 0;
    EXPECT_EQ(ServerListValue(&type), Accepting());
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    // The 32-bit program writes the view the 32-bit games read (WOW64 on a 64-bit system).
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Battle.net\\Configuration",
                                  KEY_WOW64_64KEY));
    std::wstring log = StandInLog(m_game, 5000);
    EXPECT_NE(log.find(L"cwd=" + m_gameFolder.substr(0, m_gameFolder.size() - 1) + L"\r\n"), std::wstring::npos)
        << "started in its own folder";
    EXPECT_NE(log.find(L"args=\r\n"), std::wstring::npos) << "no parameters";

    // The Diablo group starts Diablo. Without the configuration key none is
    // created, and the player is told: No starts nothing, Yes the game.
    ::CreateDirectoryW(L"C:\\Diablo", nullptr);
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"GameStandIn.exe", L"C:\\Diablo\\Diablo.exe"));
    ::DeleteFileW(L"C:\\Diablo\\Diablo.exe.log");
    ::DeleteFileW((m_game + L".log").c_str());
    SetProfile(L"Diablo", L"C:\\Diablo\\Diablo.exe");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kBattleNet);
    Choose(ID_DIABLO_BATTLENET, 0);
    ASSERT_TRUE(WaitIdle());
    for (int button : {IDNO, IDYES}) {
        MessageBoxAnswerer answerer(button);
        DoubleClickRow(Accepting());
        PumpUntil([&] { return !answerer.Texts().empty(); }, 10000);
        Pump(300);
        EXPECT_EQ(answerer.Texts(), std::vector<std::wstring>{L"Battle.net 서버를 설정하지 못했습니다.\n"
                                                               L"그래도 게임을 실행하시겠습니까?"});
        if (button == IDNO) {
            EXPECT_FALSE(CAppBase::FileExists(L"C:\\Diablo\\Diablo.exe.log")) << "No starts nothing";
        }
    }
    EXPECT_NE(StandInLog(L"C:\\Diablo\\Diablo.exe", 5000).find(L"cwd=C:\\Diablo\r\n"), std::wstring::npos);
    EXPECT_FALSE(CAppBase::FileExists(m_game + L".log")) << "StarCraft was not started";
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kBattleNet, KEY_WOW64_32KEY));
    ::DeleteFileW(L"C:\\Diablo\\Diablo.exe.log");
    ::DeleteFileW(L"C:\\Diablo\\Diablo.exe");
}

TEST_F(LaunchTest, DoubleClickDuringSweepDoesNothing) {
    WriteList(L"Blizzard.txt", {{L"Local", Accepting()}, {L"A", Silent()}, {L"B", Silent()}, {L"C", Silent()}});
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitProbing(1));
    DoubleClickRow(Accepting());
    EXPECT_NE(g_pSweepThread.load(), nullptr) << "still measuring when the double-click arrived";
    EXPECT_EQ(ServerListValue(), L"");
    EXPECT_FALSE(CAppBase::FileExists(m_game + L".log"));
    ASSERT_TRUE(WaitIdle());
}

TEST_F(LaunchTest, MissingProgramAsksAndPostsSetup) {
    struct Case {
        std::wstring path;
        const wchar_t* question;
        int button;
    };
    const Case cases[] = {
        {L"", L"프로그램이 설정되지 않았습니다.\n프로그램을 설정하시겠습니까?", IDYES},
        {L"C:\\Nowhere\\StarCraft.exe", L"실행 프로그램을 찾을 수 없습니다.\n프로그램을 설정하시겠습니까?", IDNO},
    };
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitIdle());
    for (const Case& c : cases) {
        SetProfile(L"StarCraft", c.path);
        ResetBattleNetKey();
        g_bShowProgramPage = FALSE;
        SetupRecorder recorder(View());
        std::wstring written;
        bool yesNo = false;
        // The Setup command opens the settings sheet modally: note its page, close it.
        int page = -1;
        std::thread closer = DriveDialog(L"환경설정", [&](HWND sheet) {
            if (!sheet) return;
            HWND tab = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
            page = static_cast<int>(::SendMessageW(tab, TCM_GETCURSEL, 0, 0));
            ClickDialogButton(sheet, IDCANCEL);
        });
        {
            MessageBoxAnswerer answerer(c.button, [&](HWND box) {
                written = ServerListValue();
                yesNo = ::GetDlgItem(box, IDYES) && ::GetDlgItem(box, IDNO);
            });
            DoubleClickRow(Accepting());
            PumpUntil([&] { return !answerer.Texts().empty(); }, 10000);
            Pump(200);
            ASSERT_EQ(answerer.Texts(), std::vector<std::wstring>{c.question});
            EXPECT_TRUE(answerer.AllClosedByClick());
        }
        closer.join();
        EXPECT_EQ(page, c.button == IDYES ? 1 : 0) << "Yes opens the program page, No the first";
        EXPECT_TRUE(yesNo);
        EXPECT_EQ(written, Accepting()) << "written before the question";
        EXPECT_EQ(SetupRecorder::count, 1) << "Setup posted once";
        EXPECT_EQ(SetupRecorder::flagAtSetup, c.button == IDYES ? TRUE : FALSE);
        EXPECT_FALSE(g_bShowProgramPage) << "consumed by the Setup command";
    }
}
