// The setup sheet as a player uses it: the edit dialog and user page over a real "User.txt", the program page over
// the prefix's registry and profile, driven by real keys and clicks while this thread runs the modal loops.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "AppBase.h"
#include "ServerListFile.h"
#include "SetupDialog.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

namespace {

HWND CurrentPage(HWND sheet) { return reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }

// Answers the next message box with a real click; returns its text.
std::wstring AnswerBox(int button) {
    HWND box = WaitForDialog(L"Orvane", 5000);
    if (!box) return L"<no box>";
    std::wstring text = DialogText(box);
    ClickDialogButton(box, button);
    PumpUntil([&] { return !::IsWindow(box); }, 3000);
    return text;
}

// Shows the sheet on a page while steps drive it; whatever they leave open is cancelled, so a failure cannot hang.
INT_PTR RunSheet(int page, const std::function<void(HWND)>& steps) {
    CSetupDialog sheet(nullptr);
    sheet.SetActivePage(page);
    std::thread driver = DriveDialog(L"환경설정", [&](HWND dialog) {
        ASSERT_NE(dialog, nullptr) << "no sheet";
        steps(dialog);
        for (int i = 0; i < 20 && ::IsWindow(dialog); ++i, Pump(300)) {
            HWND top = ::GetLastActivePopup(dialog);
            ::PostMessageW(top, WM_COMMAND, top == dialog ? IDCANCEL : IDNO, 0);
            ::PostMessageW(top, WM_COMMAND, IDCANCEL, 0);
        }
    });
    INT_PTR r = sheet.DoModal();
    driver.join();
    return r;
}

// Clicks a page's button that opens the edit dialog and lets steps type into it.
void EditDialog(HWND page, int button, const wchar_t* caption, const std::function<void(HWND)>& steps) {
    ClickDialogButton(page, button);
    HWND dialog = WaitForDialog(caption, 10000);
    ASSERT_NE(dialog, nullptr) << "no dialog titled " << ToUtf8(caption);
    PumpUntil([&] { return ::GetForegroundWindow() == dialog; }, 5000);  // keys must not reach the sheet
    steps(dialog);
    PumpUntil([&] { return !::IsWindow(dialog); }, 5000);
}

// The edit dialog as shown: title, name, and the IP address control's four fields left to right.
std::wstring Shown(HWND dialog) {
    std::vector<std::pair<LONG, std::wstring>> parts;
    for (HWND f = ::GetWindow(::GetDlgItem(dialog, IDC_SERVER_ADDRESS), GW_CHILD); f; f = ::GetWindow(f, GW_HWNDNEXT)) {
        RECT r;
        ::GetWindowRect(f, &r);
        parts.push_back({r.left, WindowText(f)});
    }
    std::sort(parts.begin(), parts.end());
    std::wstring shown = WindowText(dialog) + L"|" + WindowText(::GetDlgItem(dialog, IDC_SERVER_NAME));
    for (size_t i = 0; i < parts.size(); ++i) shown += (i ? L"." : L"|") + parts[i].second;
    return shown;
}

}  // namespace

TEST(SetupTest, UserPageAndEditDialogOverARealUserFile) {
    const std::wstring file = TestFolder() + L"User.txt";
    auto userBytes = [&] {
        std::string bytes = "<missing>";
        return ReadFileBytes(file, &bytes), bytes;
    };
    const std::string tail = "\r\nB,2.2.2.2\r\nC,3.3.3.3";  // never shown, kept byte for byte
    ::RemoveDirectoryW(file.c_str());
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(WriteFileBytes(file, "One,1.1.1.1\r\nTwo,2.2.2.2\r\nThree,3.3.3.3\r\n" + tail));
    const std::string before = userBytes();
    // Cancel after an add and a delete leaves the file byte for byte.
    EXPECT_EQ(RunSheet(0, [&](HWND sheet) {
                  HWND page = CurrentPage(sheet);
                  EditDialog(page, IDC_ADD_SERVER, L"추가", [](HWND) { PressKey(VK_RETURN); });
                  POINT pt = ListItemPoint(::GetDlgItem(page, IDC_USER_SERVERS), 0);
                  ClickAt(pt.x, pt.y);
                  ClickDialogButton(page, IDC_DELETE_SERVER);
                  AnswerBox(IDYES);
                  ClickDialogButton(sheet, IDCANCEL);
              }),
              IDCANCEL);
    EXPECT_EQ(userBytes(), before);
    std::wstring editShown, addShown, question, refusals;
    int rows = -1, selected = -1;
    bool stayedOpen = true;
    EXPECT_EQ(RunSheet(0, [&](HWND sheet) {
                  HWND page = CurrentPage(sheet), list = ::GetDlgItem(page, IDC_USER_SERVERS);
                  rows = ListItemCount(list);
                  // Rows 1 and 2 selected: a click, then Shift+Down.
                  POINT two = ListItemPoint(list, 1);
                  ClickAt(two.x, two.y);
                  KeyDown(VK_SHIFT);
                  PressKey(VK_DOWN);
                  KeyUp(VK_SHIFT);
                  selected = static_cast<int>(::SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));
                  // Edit takes the upper row; Escape after typing changes nothing, a new name keeps the address.
                  EditDialog(page, IDC_EDIT_SERVER, L"편집", [&](HWND d) {
                      editShown = Shown(d);
                      TypeText(L"xyz");
                      PressKey(VK_TAB);
                      TypeText(L"9");
                      PressKey(VK_ESCAPE);
                  });
                  EditDialog(page, IDC_EDIT_SERVER, L"편집", [](HWND) { TypeText(L"Zwei"), PressKey(VK_RETURN); });
                  ClickDialogButton(page, IDC_DELETE_SERVER);
                  question = AnswerBox(IDNO);
                  // Add untouched gives an empty name and 0.0.0.0, at the end whatever is selected.
                  EditDialog(page, IDC_ADD_SERVER, L"추가", [&](HWND d) { addShown = Shown(d), PressKey(VK_RETURN); });
                  // A comma would split the name on reading, Thai is not in code page 949: refused, the dialog
                  // stays; then a Korean name and "010" in the first field.
                  EditDialog(page, IDC_ADD_SERVER, L"추가", [&](HWND d) {
                      for (const wchar_t* bad : {L"a,b", L"\u0e01\u0e02"}) {
                          TypeText(bad);
                          PressKey(VK_RETURN);
                          refusals += AnswerBox(IDOK) + L"|";
                          stayedOpen = stayedOpen && ::IsWindowVisible(d);
                      }
                      TypeText(L"새 서버");
                      PressKey(VK_TAB);
                      TypeText(L"010");
                      PressKey(VK_RETURN);
                  });
                  ClickDialogButton(sheet, IDOK);
              }),
              IDOK);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(selected, 2);
    EXPECT_EQ(editShown, L"편집|Two|2.2.2.2");
    EXPECT_EQ(question, L"서버 이름 : Zwei \n\n위의 서버 이름을 삭제하시겠습니까?");
    EXPECT_EQ(addShown, L"추가||0.0.0.0");
    EXPECT_EQ(refusals.find(L"<no box>"), std::wstring::npos);
    EXPECT_NE(refusals.find(L"서버 이름"), std::wstring::npos) << "a Korean message";
    EXPECT_TRUE(stayedOpen);
    // Code page 949, CR LF, the new servers at the end, then the untouched tail.
    EXPECT_EQ(userBytes(), "One,1.1.1.1\r\nZwei,2.2.2.2\r\nThree,3.3.3.3\r\n,0.0.0.0\r\n" + ToCp949(L"새 서버") +
                               ",10.0.0.0\r\n" + tail);
    std::vector<ServerLine> lines;
    ASSERT_TRUE(CServerListFile::Read(file, lines)) << "the launcher's reader";
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4].name, L"새 서버");
    // A read-only file: OK reports it, the file stays as it was with no temp file left, and the sheet stays
    // usable: writable again, deleting both rows and OK leave a zero-byte file.
    ASSERT_TRUE(WriteFileBytes(file, "Kept,1.1.1.1\r\n"));
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    std::wstring writeMessage, readMessage;
    std::string kept;
    bool stillOpen = false, noTemp = false;
    EXPECT_EQ(RunSheet(0, [&](HWND sheet) {
                  HWND page = CurrentPage(sheet), list = ::GetDlgItem(page, IDC_USER_SERVERS);
                  EditDialog(page, IDC_ADD_SERVER, L"추가", [](HWND) { PressKey(VK_RETURN); });
                  ClickDialogButton(sheet, IDOK);
                  writeMessage = AnswerBox(IDOK);
                  stillOpen = ::IsWindowVisible(sheet) != FALSE;
                  kept = userBytes();
                  noTemp = ::GetFileAttributesW((file + L".new").c_str()) == INVALID_FILE_ATTRIBUTES;
                  ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
                  for (int i = 0; i < 2; ++i) {
                      POINT pt = ListItemPoint(list, 0);
                      ClickAt(pt.x, pt.y);
                      ClickDialogButton(page, IDC_DELETE_SERVER);
                      AnswerBox(IDYES);
                  }
                  ClickDialogButton(sheet, IDOK);
              }),
              IDOK);
    EXPECT_NE(writeMessage.find(file), std::wstring::npos) << "names the file";
    EXPECT_NE(writeMessage.find(L"저장할 수 없습니다"), std::wstring::npos);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(kept, "Kept,1.1.1.1\r\n");
    EXPECT_TRUE(noTemp);
    EXPECT_EQ(userBytes(), "");
    // A folder by that name cannot be read: the page reports it and offers no editing, the other page works.
    ASSERT_TRUE(::DeleteFileW(file.c_str()) && ::CreateDirectoryW(file.c_str(), nullptr));
    BOOL addEnabled = TRUE;
    EXPECT_EQ(RunSheet(0, [&](HWND sheet) {
                  readMessage = AnswerBox(IDOK);
                  addEnabled = ::IsWindowEnabled(::GetDlgItem(CurrentPage(sheet), IDC_ADD_SERVER));
                  ::SendMessageW(sheet, PSM_SETCURSEL, 1, 0);
                  Pump(200);
                  ClickDialogButton(sheet, IDOK);
              }),
              IDOK);
    EXPECT_NE(readMessage.find(file), std::wstring::npos);
    EXPECT_NE(readMessage.find(L"읽을 수 없습니다"), std::wstring::npos);
    EXPECT_FALSE(addEnabled);
    EXPECT_TRUE(::RemoveDirectoryW(file.c_str()));
}

TEST(SetupTest, ProgramPageRegistryProfileBrowseAndSave) {
    const std::wstring games = L"Software\\Blizzard Entertainment\\";
    auto setProgram = [&](const wchar_t* key, const wchar_t* path) {
        if (!path) return (void)::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (games + key).c_str());
        ASSERT_TRUE(SetRegistryString(HKEY_LOCAL_MACHINE, games + key, L"Program", path));
    };
    auto stored = [](const wchar_t* key) { return CAppBase::Get()->GetProfileString(L"ProgramPath", key, L"-"); };
    for (const wchar_t* key : {L"StarCraft", L"Diablo", L"Diablo SW"})
        CAppBase::Get()->WriteProfileString(L"ProgramPath", key, L"");
    CAppBase::Get()->WriteProfileString(L"ProgramPath", L"WarCraft II BNE", L"D:\\Stored\\war2.exe");
    setProgram(L"Starcraft", L"C:\\Reg\\StarCraft.exe");
    setProgram(L"Warcraft II BNE", L"C:\\Reg\\war2.exe");  // a stored path wins
    setProgram(L"Diablo", L"C:\\Reg\\Diablo.exe");
    setProgram(L"Diablo SW", L"C:\\Reg\\WrongKey.exe");  // a spelling the row does not read
    setProgram(L"Disblo SW", L"C:\\Reg\\Spawn.exe");
    // OK without visiting the page leaves the profile as it was.
    wchar_t windows[MAX_PATH];
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring ini = std::wstring(windows) + L"\\Orvn.INI";
    std::string before, after;
    ASSERT_TRUE(ReadFileBytes(ini, &before));
    RunSheet(0, [](HWND sheet) { ClickDialogButton(sheet, IDOK); });
    ASSERT_TRUE(ReadFileBytes(ini, &after));
    EXPECT_EQ(after, before);
    auto boxes = [](HWND page) {
        std::wstring texts;
        for (int id : {IDC_STARCRAFT_PATH, IDC_WARCRAFT_PATH, IDC_DIABLO_PATH, IDC_DIABLOSW_PATH})
            texts += WindowText(::GetDlgItem(page, id)) + L"|";
        return texts;
    };
    std::wstring shown, afterBrowse;
    const std::wstring game = TestFolder() + L"GameStandIn.exe";
    EXPECT_EQ(RunSheet(1, [&](HWND sheet) {
                  HWND page = CurrentPage(sheet);
                  shown = boxes(page);
                  // Typed into WarCraft's box, then Browse for StarCraft: WarCraft goes back to its stored value.
                  ClickWindow(::GetDlgItem(page, IDC_WARCRAFT_PATH));
                  PressKey(VK_END);
                  TypeText(L"-typed");
                  ClickDialogButton(page, IDC_STARCRAFT_BROWSE);
                  HWND open = nullptr;
                  PumpUntil([&] { return (open = ::GetLastActivePopup(sheet)) != sheet; }, 30000);
                  ASSERT_NE(open, sheet) << "no file dialog";
                  PumpUntil([&] { return ::GetForegroundWindow() == open; }, 10000);
                  Pump(500);
                  TypeText(game);
                  PressKey(VK_RETURN);
                  PumpUntil([&] { return !::IsWindow(open); }, 5000);
                  afterBrowse = boxes(page);
                  // A cleared box stores an empty entry.
                  ClickWindow(::GetDlgItem(page, IDC_DIABLO_PATH));
                  ::SendMessageW(::GetDlgItem(page, IDC_DIABLO_PATH), EM_SETSEL, 0, -1);
                  PressKey(VK_DELETE);
                  ClickDialogButton(sheet, IDOK);
              }),
              IDOK);
    EXPECT_EQ(shown, L"C:\\Reg\\StarCraft.exe|D:\\Stored\\war2.exe|C:\\Reg\\Diablo.exe|C:\\Reg\\Spawn.exe|");
    EXPECT_EQ(afterBrowse, game + L"|D:\\Stored\\war2.exe|C:\\Reg\\Diablo.exe|C:\\Reg\\Spawn.exe|");
    EXPECT_EQ(stored(L"StarCraft"), game);
    EXPECT_EQ(stored(L"WarCraft II BNE"), L"D:\\Stored\\war2.exe");
    EXPECT_EQ(stored(L"Diablo"), L"") << "an empty entry, not a missing one";
    EXPECT_EQ(stored(L"Diablo SW"), L"C:\\Reg\\Spawn.exe");
    for (const wchar_t* key : {L"Starcraft", L"Warcraft II BNE", L"Diablo", L"Diablo SW", L"Disblo SW"})
        setProgram(key, nullptr);
}
