// Game start: the real frame in this process, a sweep over loopback, real double-clicks and clicks, the prefix's
// registry and profile, and a stand-in game that records how it was started.
#include <gtest/gtest.h>

#include <cwchar>

#include "AppBase.h"
#include "Messages.h"
#include "LauncherFixture.h"
#include <commctrl.h>
#include "resource.h"

using namespace testing_support;

namespace {

const wchar_t kBattleNet[] = L"Software\\Battle.net\\Configuration";
const wchar_t kStarcraft[] = L"Software\\Blizzard Entertainment\\Starcraft";

std::wstring Profile(const wchar_t* key) { return CAppBase::Get()->GetProfileString(L"ProgramPath", key, L"<none>"); }
// "Server List" in the 32-bit view the games read (WOW64 on a 64-bit system), when it is a string.
std::wstring ServerListValue() {
    std::wstring value;
    bool sz = RegistryString(HKEY_LOCAL_MACHINE, kBattleNet, L"Server List", &value, nullptr, nullptr, kGamesView);
    return sz ? value : L"<no string>";
}
bool SetServerList(const std::wstring& value) {
    return SetRegistryString(HKEY_LOCAL_MACHINE, kBattleNet, L"Server List", value, REG_SZ, kGamesView);
}

}  // namespace

TEST_F(LauncherFixture, ProfileFilledAtStartDoubleClickSetsTheServerAndStartsTheGame) {
    // At start the profile takes the registry's path, else the fixed one; a stored one stays.
    const TempFolder temp(L"orvn_game");
    const std::wstring& folder = temp.path, game = folder + L"StarCraft.exe";
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"GameStandIn.exe", game));
    CloseFrame();
    ::WritePrivateProfileStringW(L"ProgramPath", nullptr, nullptr, L"Orvn.INI");
    CAppBase::Get()->WriteProfileString(L"ProgramPath", L"Diablo SW", L"D:\\Mine\\d.exe");
    // As an installer may write it, with a variable to expand.
    ::SetEnvironmentVariableW(L"ORVN_GAME_FOLDER", folder.c_str());
    ASSERT_TRUE(SetRegistryString(HKEY_LOCAL_MACHINE, kStarcraft, L"Program", L"%ORVN_GAME_FOLDER%StarCraft.exe",
                                  REG_EXPAND_SZ, kGamesView));
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"Software\\Blizzard Entertainment\\Warcraft II BNE", kGamesView);
    OpenFrame();
    ::SetEnvironmentVariableW(L"ORVN_GAME_FOLDER", nullptr);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kStarcraft, kGamesView);
    EXPECT_EQ(Profile(L"StarCraft") + L"|" + Profile(L"WarCraft II BNE") + L"|" + Profile(L"Diablo") + L"|" +
                  Profile(L"Diablo SW"),
              game + L"||C:\\Diablo\\Diablo.exe|D:\\Mine\\d.exe");
    // During the sweep a double-click does nothing; after it, it sets the server and starts the game.
    ASSERT_TRUE(SetServerList(L""));
    WriteList(L"Blizzard.txt", {{L"Local", Accepting()}, {L"A", Silent()}, {L"B", Silent()}});
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitProbing(1));
    {
        MessageBoxAnswerer unexpected(IDNO);  // a box would fail the test instead of hanging it
        DoubleClickRow(Accepting());
        EXPECT_EQ(ServerListValue(), L"");
        ASSERT_TRUE(WaitIdle());
        EXPECT_FALSE(CAppBase::FileExists(game + L".log"));
        DoubleClickRow(Accepting());
        EXPECT_EQ(ServerListValue(), Accepting());
        EXPECT_EQ(unexpected.Texts(), std::vector<std::wstring>{});
    }
    EXPECT_EQ(StandInLog(game, 5000).find(L"cwd=" + folder.substr(0, folder.size() - 1) + L"\r\nargs=\r\n"), 0u)
        << "started in its own folder without parameters";
}

// The address as the system reads it, a row used wherever it is double-clicked or by Enter, a failed row asked
// about first, and F5 measuring again.
TEST_F(LauncherFixture, RowsMeasureTheHostTheGameUsesAndAreUsedByAnyClickOrEnter) {
    // The stand-ins' hosts named in the legacy forms: each row must reach the host inet_addr names.
    unsigned a = 0, b = 0, c = 0, d = 0;
    ASSERT_EQ(swscanf(Accepting().c_str(), L"127.%u.%u.1", &a, &b), 2);
    ASSERT_EQ(swscanf(Refused().c_str(), L"127.%u.%u.2", &c, &d), 2);
    wchar_t text[64];
    swprintf(text, 64, L"0177.0%o.0%o.01", a, b);  // every part in octal
    const std::wstring octal = text;
    const std::wstring hex = L"0x7f." + std::to_wstring(a) + L"." + std::to_wstring(b) + L".1";
    const std::wstring number = L"127." + std::to_wstring(a * 65536 + b * 256 + 1);
    const std::wstring refused = L"0177." + std::to_wstring(c) + L"." + std::to_wstring(d) + L".2";
    const int accepted = Servers().Accepted();
    const TempFolder temp(L"orvn_rows");
    const std::wstring& folder = temp.path, game = folder + L"StarCraft.exe";
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"GameStandIn.exe", game));
    CAppBase::Get()->WriteProfileString(L"ProgramPath", L"StarCraft", game);
    ASSERT_TRUE(SetServerList(L""));
    WriteList(L"Blizzard.txt", {{L"Octal", octal}, {L"Refused", refused}, {L"Hex", hex}, {L"Number", number},
                                {L"Local", Accepting()}});
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitIdle());
    auto response = [&](const std::wstring& address) {
        int row = FindListItem(List(), 1, address);
        return row < 0 ? L"<no row>" : ListItemText(List(), row, 2);
    };
    for (const std::wstring& address : {octal, hex, number})
        EXPECT_GT(Millis(response(address)), 0) << ToUtf8(address) << "\n" << Show(Rows());
    EXPECT_EQ(response(refused), kFailed);
    EXPECT_EQ(Servers().Accepted() - accepted, 4) << "one probe each";

    // Starts the game by input() and returns the "Server List" written, or why not.
    std::wstring log = game + L".log";
    auto launch = [&](const std::function<void()>& input) {
        ::DeleteFileW(log.c_str());
        SetServerList(L"-");
        input();
        if (StandInLog(game, 8000).empty()) return std::wstring(L"<not started>");
        std::wstring value;
        DWORD bytes = 0;
        RegistryString(HKEY_LOCAL_MACHINE, kBattleNet, L"Server List", &value, nullptr, &bytes, kGamesView);
        EXPECT_EQ(bytes, (value.size() + 1) * sizeof(wchar_t)) << "no bytes after the text";
        return value;
    };
    // A point of a row's cell: column 0 name, 1 address, 2 response text.
    auto cell = [&](const std::wstring& address, int column) {
        RECT r{};
        ListView_GetSubItemRect(List(), FindListItem(List(), 1, address), column, LVIR_BOUNDS, &r);
        return ClientToScreenPoint(List(), column == 0 ? r.left + 8 : r.left + 12, (r.top + r.bottom) / 2);
    };
    const struct {
        std::wstring address;
        int column;
    } clicks[] = {{octal, 0}, {hex, 1}, {number, 2}};
    for (const auto& c : clicks) {
        POINT pt = cell(c.address, c.column);
        EXPECT_EQ(launch([&] { DoubleClickAt(pt.x, pt.y); }), c.address) << "column " << c.column;
    }
    // Handled late, after the mouse moved on to another row: the row clicked counts.
    EXPECT_EQ(launch([&] { DoubleClickThenMove(cell(hex, 2), cell(octal, 2)); }), hex);
    // Below the last row: nothing.
    RECT last{};
    ListView_GetItemRect(List(), ListItemCount(List()) - 1, &last, LVIR_BOUNDS);
    POINT below = ClientToScreenPoint(List(), 40, last.bottom + 8);
    ::DeleteFileW(log.c_str());
    DoubleClickAt(below.x, below.y);
    EXPECT_EQ(StandInLog(game, 1500), L"") << "started by a click below the rows";

    // A failed row asks first, No by default, and No starts and writes nothing.
    ::DeleteFileW(log.c_str());
    SetServerList(L"-");
    bool defaultNo = false;
    EXPECT_EQ(DoubleClickAndAnswer(refused, IDNO, [&](HWND box) {
        defaultNo = (::GetWindowLongW(::GetDlgItem(box, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON) != 0;
    }), std::vector<std::wstring>{L"이 서버는 응답하지 않았습니다.\n그래도 이 서버로 게임을 실행하시겠습니까?"});
    EXPECT_TRUE(defaultNo);
    EXPECT_EQ(ServerListValue(), L"-") << "No writes nothing";
    EXPECT_EQ(StandInLog(game, 1500), L"") << "No starts nothing";

    // Enter uses the selected row, with the focus anywhere in the launcher; F5 measures the group again.
    POINT fifth = cell(number, 0);
    ClickAt(fifth.x, fifth.y);
    ::SetFocus(View());
    EXPECT_EQ(launch([] { PressKey(VK_RETURN); }), number);
    ::SetForegroundWindow(m_frame->GetHwnd());
    ::SetFocus(FolderBar(View()));
    PressKey(VK_F5);
    EXPECT_TRUE(PumpUntil([&] { return Servers().Accepted() - accepted == 8; }, 10000)) << "measured again";
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(ListItemCount(List()), 5);
}

TEST_F(LauncherFixture, AGameThatStartsSilencesTheMusicOneThatDoesNotIsTold) {
    const TempFolder temp(L"orvn_game");
    // A game, and a program the system cannot start.
    const std::wstring game = temp.path + L"Game.exe", broken = temp.path + L"Broken.exe";
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"GameStandIn.exe", game));
    ASSERT_TRUE(WriteFileBytes(broken, std::string(4096, 'x')));
    const std::wstring library = TestFolder() + L"Orvmedia.DLL";  // the music, loaded when it first plays
    ASSERT_TRUE(CAppBase::FileExists(library) || CopyFileTo(DistFolder() + L"Orvmedia.dll", library));
    ASSERT_TRUE(SetServerList(L""));
    WriteList(L"Blizzard.txt", {{L"Local", Accepting()}});
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitIdle());
    CAppBase::Get()->WriteProfileString(L"ProgramPath", L"StarCraft", game);
    ::PostMessageW(View(), WM_SOUNDPLAY_START, 0, 0);
    std::vector<short> rec = RecordSink(3, [&] {
        Pump(1000);
        DoubleClickRow(Accepting());
        EXPECT_FALSE(StandInLog(game, 10000).empty()) << "the game started";
    });
    EXPECT_GT(Rms(rec, 0.2, 0.7), 300) << "playing before the double-click";
    EXPECT_LT(Rms(rec, 2.3, 3.0), 20) << "silent once the game runs";
    // A program the system cannot start is told with its path.
    CAppBase::Get()->WriteProfileString(L"ProgramPath", L"StarCraft", broken);
    std::vector<std::wstring> told = DoubleClickAndAnswer(Accepting(), IDOK);
    const std::wstring expected = L"게임 프로그램을 실행할 수 없습니다.\n" + broken + L"\n\n";
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].substr(0, expected.size()), expected) << ToUtf8(told[0]);
    CloseFrame();
    ::DeleteFileW(library.c_str());
}

// The games' gateway list: whatever the player's list holds, the game starts with our server selected and every
// other gateway byte for byte; a damaged list is kept under a copy's name; an unwritable one starts no game.
TEST_F(LauncherFixture, ALaunchSelectsTheServerInTheGatewayListAndKeepsThePlayersGateways) {
    const wchar_t kKey[] = L"Software\\Battle.net\\Configuration", kValue[] = L"Battle.net Gateways";
    const TempFolder folder(L"orvn_gateway");
    const std::wstring game = folder.path + L"StarCraft.exe";
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"GameStandIn.exe", game));
    CAppBase::Get()->WriteProfileString(L"ProgramPath", L"StarCraft", game);
    WriteList(L"Blizzard.txt", {{L"Orvane", Accepting()}});
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitIdle());
    const std::wstring three = L"|useast.battle.net|6|Global USEast|uswest.battle.net|8|US|asia.battle.net|-9|아시아";
    const std::wstring ours = L"|" + Accepting() + L"|-9|Orvane";
    // Our server as one number, as a player's tool may have spelled it.
    const std::wstring number = std::to_wstring(ntohl(inet_addr(ToUtf8(Accepting()).c_str())));
    const struct {
        DWORD type;  // 0: no list
        bool damaged;
        std::wstring before, after, selected;
    } cases[] = {
        {0, false, L"", L"1001|01" + ours, Accepting()},
        {REG_MULTI_SZ, false, L"1001|02" + three, L"1001|04" + three + ours, Accepting()},
        {REG_MULTI_SZ, false, L"1001|02" + three + L"|" + number + L"|8|Old", L"1001|04" + three + L"|" + number +
         L"|8|Orvane", number},
        {REG_BINARY, false, L"1001|02" + three, L"1001|04" + three + ours, Accepting()},
        {REG_MULTI_SZ, true, L"1001|02" + three.substr(0, three.size() - 4), L"1001|01" + ours, Accepting()},
    };
    for (const auto& c : cases) {
        DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
        std::string before = MultiString(c.before), after, copy;
        if (c.type)
            ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValue, c.type, before.data(),
                              static_cast<DWORD>(before.size()));
        ::DeleteFileW((game + L".log").c_str());
        DoubleClickRow(Accepting());
        EXPECT_NE(StandInLog(game, 8000).find(L"\r\ngateway=" + c.selected + L"\r\n"), std::wstring::npos) << c.type;
        DWORD type = 0, copyType = 0;
        EXPECT_TRUE(RegistryBytes(HKEY_CURRENT_USER, kKey, kValue, &after, &type) && type == REG_MULTI_SZ);
        EXPECT_EQ(after, MultiString(c.after));
        EXPECT_EQ(RegistryBytes(HKEY_CURRENT_USER, kKey, L"Battle.net Gateways (Orvane copy)", &copy, &copyType) &&
                      copy == before && copyType == REG_MULTI_SZ,
                  c.damaged);
    }
    // A key the launcher may not write: told, no game started, the list as it was.
    const std::string listed = MultiString(L"1001|02" + three);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValue, REG_MULTI_SZ, listed.data(), static_cast<DWORD>(listed.size()));
    ::DeleteFileW((game + L".log").c_str());
    {
        KeyWriteDenied denied(HKEY_CURRENT_USER, kKey);
        ASSERT_TRUE(denied.ok());
        EXPECT_EQ(DoubleClickAndAnswer(Accepting(), IDOK),
                  std::vector<std::wstring>{L"Battle.net 게이트웨이 목록에 서버를 설정하지 못했습니다.\n"
                                            L"게임을 실행하지 않았습니다."});
    }
    EXPECT_EQ(StandInLog(game, 1500), L"") << "started without its gateway";
    std::string after;
    DWORD type = 0;
    EXPECT_TRUE(RegistryBytes(HKEY_CURRENT_USER, kKey, kValue, &after, &type) && after == listed);
    DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
}
