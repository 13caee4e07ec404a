// Battle.net configuration and game start: the real frame in this process, real
// list files, a real sweep over loopback, real double-clicks on real rows, the
// prefix's registry and profile, and a stand-in game that records how it was started.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <thread>

#include "AppBase.h"
#include "MainFrame.h"
#include "Messages.h"
#include "PingView.h"
#include "StandInServers.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

namespace {

const wchar_t kBattleNet[] = L"Software\\Battle.net\\Configuration";
const wchar_t kStarcraft[] = L"Software\\Blizzard Entertainment\\Starcraft";
const wchar_t kWarcraft[] = L"Software\\Blizzard Entertainment\\Warcraft II BNE";

std::wstring ProfilePath() {
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows) + L"\\Orvn.INI";
}

std::wstring Profile(const wchar_t* key) { return CAppBase::Get()->GetProfileString(L"ProgramPath", key, L"<none>"); }

void SetProfile(const wchar_t* key, const std::wstring& value) {
    CAppBase::Get()->WriteProfileString(L"ProgramPath", key, value);
}

void SetProgramValue(const wchar_t* keyPath, const wchar_t* value) {
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key, L"Program", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                     static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
}

void DeleteKey(const wchar_t* keyPath) { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, keyPath); }

bool KeyExists(const wchar_t* keyPath, REGSAM view) {
    HKEY key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

// "Server List" as the 32-bit games read it; empty when absent.
std::wstring ServerListValue(DWORD* type = nullptr, DWORD* size = nullptr) {
    HKEY key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBattleNet, 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
        return L"";
    wchar_t buffer[256] = {};
    DWORD t = 0, n = sizeof(buffer) - sizeof(wchar_t);
    LONG rc = ::RegQueryValueExW(key, L"Server List", nullptr, &t, reinterpret_cast<BYTE*>(buffer), &n);
    ::RegCloseKey(key);
    if (type) *type = t;
    if (size) *size = n;
    return rc == ERROR_SUCCESS ? buffer : L"";
}

void CreateBattleNetKey() {
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kBattleNet, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegDeleteValueW(key, L"Server List");
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

class LaunchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_listener.ok());
        m_folder = TestFolder();
        ASSERT_TRUE(WriteFileBytes(m_folder + L"Blizzard.txt", "Local,127.0.0.1\r\nRefused,127.0.0.2\r\n"));
        m_gameFolder = MakeTempFolder(L"orvn_game");
        m_game = m_gameFolder + L"StarCraft.exe";
        ASSERT_TRUE(CopyFileTo(m_folder + L"GameStandIn.exe", m_game));
        CreateBattleNetKey();
        SetProfile(L"StarCraft", m_game);
    }
    void TearDown() override {
        m_frame.reset();
        ::DeleteFileW((m_folder + L"Blizzard.txt").c_str());
        RemoveFolder(m_gameFolder);
    }

    CPingView& OpenFrame() {
        m_frame = std::make_unique<CMainFrame>();
        EXPECT_TRUE(m_frame->LoadFrame(IDR_MAINFRAME));
        CAppBase::Get()->SetMainWnd(m_frame->GetHwnd());
        ::SetForegroundWindow(m_frame->GetHwnd());
        Pump(100);
        return m_frame->GetView();
    }

    void ChooseGroup(CPingView& view, WPARAM folder, LPARAM item) {
        ::PostMessageW(view.GetHwnd(), WM_GET_RESPONSE_TIME, folder, item);
        Pump(50);
    }

    bool WaitSweepDone() { return PumpUntil([] { return g_pSweepThread.load() == nullptr; }, 15000); }

    // Double-clicks the row showing that address, as a person would.
    void DoubleClickRow(CPingView& view, const std::wstring& address) {
        HWND list = view.GetServerList().GetHwnd();
        int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[64] = {};
            LVITEMW item{};
            item.iSubItem = 1;
            item.pszText = text;
            item.cchTextMax = 64;
            ::SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
            if (address != text) continue;
            RECT r{};
            r.left = LVIR_BOUNDS;
            ::SendMessageW(list, LVM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
            POINT pt = ClientToScreenPoint(list, r.left + 30, (r.top + r.bottom) / 2);
            DoubleClickAt(pt.x, pt.y);
            Pump(200);
            return;
        }
        ADD_FAILURE() << "no row for " << std::string(address.begin(), address.end());
    }

    // The stand-in's record of its start, or empty.
    std::wstring GameLog(const std::wstring& exe) {
        std::string bytes;
        PumpUntil([&] { return ReadFileBytes(exe + L".log", &bytes) && !bytes.empty(); }, 5000);
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    }

    AcceptingServer m_listener;
    std::wstring m_folder, m_gameFolder, m_game;
    std::unique_ptr<CMainFrame> m_frame;
};

}  // namespace

TEST_F(LaunchTest, FirstStartFillsTheProfileFromRegistryAndFixedPaths) {
    m_frame.reset();
    ::DeleteFileW(ProfilePath().c_str());
    SetProgramValue(kStarcraft, L"C:\\Games\\StarCraft\\StarCraft.exe");
    SetProgramValue(kWarcraft, L"C:\\Games\\Warcraft II BNE\\Warcraft II BNE.exe");

    OpenFrame();
    EXPECT_EQ(Profile(L"StarCraft"), L"C:\\Games\\StarCraft\\StarCraft.exe");
    EXPECT_EQ(Profile(L"WarCraft II BNE"), L"C:\\Games\\Warcraft II BNE\\Warcraft II BNE.exe");
    EXPECT_EQ(Profile(L"Diablo"), L"C:\\Diablo\\Diablo.exe");
    EXPECT_EQ(Profile(L"Diablo SW"), L"C:\\Diablo\\Spawn\\Diablo_s.exe");
    std::string ini;
    ASSERT_TRUE(ReadFileBytes(ProfilePath(), &ini)) << "Orvn.INI in the Windows folder";
    EXPECT_NE(ini.find("[ProgramPath]"), std::string::npos);

    // A stored path is kept; an empty one with no registry value stays empty, written as empty...
    m_frame.reset();
    SetProfile(L"StarCraft", L"D:\\Mine\\sc.exe");
    SetProfile(L"WarCraft II BNE", L"");
    DeleteKey(kWarcraft);
    OpenFrame();
    EXPECT_EQ(Profile(L"StarCraft"), L"D:\\Mine\\sc.exe");
    EXPECT_EQ(Profile(L"WarCraft II BNE"), L"") << "written as empty, not left absent";

    // ...and filled again at the next start once the game is installed.
    m_frame.reset();
    SetProgramValue(kWarcraft, L"C:\\W2\\war2.exe");
    OpenFrame();
    EXPECT_EQ(Profile(L"WarCraft II BNE"), L"C:\\W2\\war2.exe");
    DeleteKey(kStarcraft);
    DeleteKey(kWarcraft);
}

TEST_F(LaunchTest, DoubleClickAfterSweepWritesServerListAndStartsTheGame) {
    CPingView& view = OpenFrame();
    ChooseGroup(view, ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitSweepDone());

    DoubleClickRow(view, L"127.0.0.2");
    DWORD type = 0, size = 0;
    EXPECT_EQ(ServerListValue(&type, &size), L"127.0.0.2");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, (wcslen(L"127.0.0.2") + 1) * sizeof(wchar_t)) << "with its terminating null";
    // The 32-bit program writes the view the 32-bit games read (WOW64 on a 64-bit system).
    EXPECT_TRUE(KeyExists(L"Software\\Wow6432Node\\Battle.net\\Configuration", KEY_WOW64_64KEY));

    std::wstring log = GameLog(m_game);
    std::wstring folder = m_gameFolder.substr(0, m_gameFolder.size() - 1);
    EXPECT_NE(log.find(L"cwd=" + folder + L"\r\n"), std::wstring::npos) << "started in its own folder";
    EXPECT_NE(log.find(L"args=\r\n"), std::wstring::npos) << "no parameters";
}

TEST_F(LaunchTest, DiabloGroupStartsDiablo) {
    ::CreateDirectoryW(L"C:\\Diablo", nullptr);
    ASSERT_TRUE(CopyFileTo(m_folder + L"GameStandIn.exe", L"C:\\Diablo\\Diablo.exe"));
    ::DeleteFileW(L"C:\\Diablo\\Diablo.exe.log");
    SetProfile(L"Diablo", L"C:\\Diablo\\Diablo.exe");

    CPingView& view = OpenFrame();
    ChooseGroup(view, ID_DIABLO_BATTLENET, 0);
    ASSERT_TRUE(WaitSweepDone());
    EXPECT_EQ(g_nCurrentGame, 2);
    DoubleClickRow(view, L"127.0.0.1");
    EXPECT_NE(GameLog(L"C:\\Diablo\\Diablo.exe").find(L"cwd=C:\\Diablo\r\n"), std::wstring::npos);
    std::string none;
    EXPECT_FALSE(ReadFileBytes(m_game + L".log", &none)) << "StarCraft was not started";
    ::DeleteFileW(L"C:\\Diablo\\Diablo.exe.log");
    ::DeleteFileW(L"C:\\Diablo\\Diablo.exe");
}

TEST_F(LaunchTest, MissingConfigurationKeyIsNotCreated) {
    DeleteKey(kBattleNet);
    CPingView& view = OpenFrame();
    ChooseGroup(view, ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitSweepDone());
    DoubleClickRow(view, L"127.0.0.1");
    EXPECT_FALSE(KeyExists(kBattleNet, KEY_WOW64_32KEY));
    EXPECT_FALSE(GameLog(m_game).empty()) << "the game still starts";
}

TEST_F(LaunchTest, DoubleClickDuringSweepDoesNothing) {
    // A silent server keeps the sweep busy for about a second per row.
    SilentServer silent;
    ASSERT_TRUE(silent.ok());
    ASSERT_TRUE(WriteFileBytes(m_folder + L"Blizzard.txt",
                               "Local,127.0.0.1\r\nA,127.0.0.3\r\nB,127.0.0.3\r\nC,127.0.0.3\r\n"));
    CPingView& view = OpenFrame();
    ChooseGroup(view, ID_STARCRAFT_BATTLENET, 0);
    ASSERT_NE(g_pSweepThread.load(), nullptr);
    DoubleClickRow(view, L"127.0.0.1");
    EXPECT_NE(g_pSweepThread.load(), nullptr) << "still measuring when the double-click arrived";
    EXPECT_EQ(ServerListValue(), L"");
    std::string none;
    EXPECT_FALSE(ReadFileBytes(m_game + L".log", &none));
    ASSERT_TRUE(WaitSweepDone());
}

TEST_F(LaunchTest, MissingProgramAsksAndPostsSetup) {
    struct Case {
        std::wstring path;
        const wchar_t* question;
        int button;
    };
    Case cases[] = {
        {L"", L"프로그램이 설정되지 않았습니다.\n프로그램을 설정하시겠습니까?", IDYES},
        {L"", L"프로그램이 설정되지 않았습니다.\n프로그램을 설정하시겠습니까?", IDNO},
        {L"C:\\Nowhere\\StarCraft.exe", L"실행 프로그램을 찾을 수 없습니다.\n프로그램을 설정하시겠습니까?", IDYES},
        {L"C:\\Nowhere\\StarCraft.exe", L"실행 프로그램을 찾을 수 없습니다.\n프로그램을 설정하시겠습니까?", IDNO},
    };
    CPingView& view = OpenFrame();
    ChooseGroup(view, ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitSweepDone());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button == IDYES ? "Yes" : "No");
        SetProfile(L"StarCraft", c.path);
        CreateBattleNetKey();
        g_bShowProgramPage = FALSE;
        SetupRecorder recorder(view.GetHwnd());

        // The question and the sheet are modal: answer and close them from
        // another thread as a person would.
        std::wstring text, written;
        int page = -1;
        std::thread answer([&] {
            HWND box = WaitForDialog(L"Orvane", 10000);
            if (!box) return;
            text = DialogText(box);
            written = ServerListValue();
            EXPECT_NE(::GetDlgItem(box, IDYES), nullptr);
            EXPECT_NE(::GetDlgItem(box, IDNO), nullptr);
            ClickDialogButton(box, c.button);
            HWND sheet = WaitForDialog(L"환경설정", 10000);
            if (!sheet) return;
            HWND tab = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
            page = static_cast<int>(::SendMessageW(tab, TCM_GETCURSEL, 0, 0));
            ClickDialogButton(sheet, IDCANCEL);
        });
        DoubleClickRow(view, L"127.0.0.1");
        answer.join();
        Pump(200);

        EXPECT_EQ(text, c.question);
        EXPECT_EQ(written, L"127.0.0.1") << "written before the question";
        EXPECT_EQ(SetupRecorder::count, 1) << "Setup posted once";
        EXPECT_EQ(SetupRecorder::flagAtSetup, c.button == IDYES ? TRUE : FALSE);
        EXPECT_FALSE(g_bShowProgramPage) << "consumed by the Setup command";
        EXPECT_EQ(page, c.button == IDYES ? 1 : 0) << "Yes opens the program page, No the first";
    }
}
