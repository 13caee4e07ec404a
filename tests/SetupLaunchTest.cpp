// The setup sheet in the real Orvn.exe, used from outside as a player uses it: the Setup button, the launch
// question for a game without a program, and a server added on the user page that the next "Free" group measures.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "AppBase.h"
#include "FolderBar.h"
#include "FolderItem.h"
#include "StandInServers.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

TEST(SetupLaunch, SetupButtonLaunchQuestionAndUserServerInTheFreeGroup) {
    StandInServers servers;
    ASSERT_TRUE(servers.ok());
    std::wstring folder = MakeTempFolder(L"orvn_setup");
    ASSERT_TRUE(CopyFileTo(DistFolder() + L"Orvn.exe", folder + L"Orvn.exe"));
    ASSERT_TRUE(WriteListFile(folder + L"Free.txt", {{L"Local", servers.Accepting()}}));
    // StarCraft has no program: nothing stored, nothing in the registry.
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Blizzard Entertainment\\Starcraft");
    CAppBase::Get()->WriteProfileString(L"ProgramPath", L"StarCraft", L"");
    // Battle.net is installed, so the launch gets as far as the missing program.
    ASSERT_TRUE(SetRegistryString(HKEY_LOCAL_MACHINE, L"Software\\Battle.net\\Configuration", L"Server List", L""));

    // True once every row of the list shows a measured time.
    auto allMeasured = [](HWND list, int rows) {
        for (int i = 0; i < rows; ++i)
            if (ListItemText(list, i, 2).find(L"ms") == std::wstring::npos) return false;
        return ListItemCount(list) == rows;
    };
    auto sheetTab = [](HWND sheet) {
        HWND tab = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
        return static_cast<int>(::SendMessageW(tab, TCM_GETCURSEL, 0, 0));
    };
    Process launcher;
    ASSERT_TRUE(StartProcess(folder + L"Orvn.exe", L"", folder, &launcher));
    struct Ender {  // a failed step must not leave the launcher running behind the test
        Process& p;
        ~Ender() { if (p.Wait(0) == STILL_ACTIVE) ::TerminateProcess(p.process, 1); }
    } ender{launcher};
    HWND frame = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (frame = FindTopLevel(L"Orvane", launcher.pid)) != nullptr; }, 20000));
    HWND view = ::GetDlgItem(frame, AFX_IDW_PANE_FIRST), list = ::GetDlgItem(view, IDC_SERVER_LIST);
    ASSERT_NE(list, nullptr);
    ::SetForegroundWindow(frame);
    Pump(300);
    auto clickView = [&](POINT at) {
        POINT pt = ClientToScreenPoint(view, at.x, at.y);
        ClickAt(pt.x, pt.y);
    };
    const POINT setupButton{445 + 44, 435 + 17}, exitButton{537 + 44, 435 + 17};
    // StarCraft's "Free" tile, the second of the open first folder.
    const POINT freeTile{49, 147 + CFolderBar::kHeaderHeight + CFolderItem::kTileHeight * 3 / 2};
    auto closeSheet = [&](HWND sheet, int button) {
        for (int i = 0; i < 3 && ::IsWindow(sheet); ++i) {
            ClickDialogButton(sheet, button);
            PumpUntil([&] { return !::IsWindow(sheet); }, 3000);
        }
        return !::IsWindow(sheet);
    };
    auto openSheet = [&](const std::function<void()>& action) {
        action();
        HWND sheet = WaitForDialog(L"환경설정", 10000, launcher.pid);
        if (sheet) ::SetForegroundWindow(sheet), Pump(200);
        return sheet;
    };
    // A measured server of a game without a program: Yes opens the program page.
    clickView(freeTile);
    ASSERT_TRUE(PumpUntil([&] { return allMeasured(list, 1); }, 15000)) << "Free.txt measured";
    POINT row = ListItemPoint(list, 0);
    DoubleClickAt(row.x, row.y);
    HWND box = WaitForDialog(L"Orvane", 10000, launcher.pid);
    EXPECT_EQ(DialogText(box), L"프로그램이 설정되지 않았습니다.\n프로그램을 설정하시겠습니까?");
    HWND sheet = openSheet([&] { ClickDialogButton(box, IDYES); });
    EXPECT_EQ(sheetTab(sheet), 1) << "the program page";
    ASSERT_TRUE(closeSheet(sheet, IDCANCEL));

    // "Setup" opens the sheet on the user page, also after the question; a server added there is saved...
    sheet = openSheet([&] { clickView(setupButton); });
    EXPECT_EQ(sheetTab(sheet), 0) << "the flag was consumed";
    HWND page = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    ClickDialogButton(page, IDC_ADD_SERVER);
    HWND add = WaitForDialog(L"추가", 10000, launcher.pid);
    TypeText(L"내 서버");
    PressKey(VK_TAB);
    // A full field moves on by itself; Delete then clears the "0" shown there (selected on Windows, behind the
    // caret in Wine's control).
    std::wstring address = servers.Accepting();
    for (size_t start = 0, end; start < address.size(); start = end + 1) {
        end = std::min(address.find(L'.', start), address.size());
        TypeText(address.substr(start, end - start));
        if (end < address.size()) end - start == 3 ? PressKey(VK_DELETE) : TypeText(L".");
    }
    PressKey(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(add); }, 5000));
    ASSERT_TRUE(closeSheet(sheet, IDOK));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(folder + L"User.txt", &bytes));
    EXPECT_EQ(bytes, ToCp949(L"내 서버," + servers.Accepting() + L"\r\n"));
    EXPECT_EQ(ListItemCount(list), 1) << "the view does not reload after the sheet";

    // ...and measured the next time the player opens a "Free" group.
    clickView(freeTile);
    EXPECT_TRUE(PumpUntil([&] { return allMeasured(list, 2); }, 15000));
    EXPECT_NE(FindListItem(list, 0, L"내 서버"), -1);

    clickView(exitButton);
    EXPECT_EQ(launcher.Wait(15000), 0u);
    RemoveFolder(folder);
}
