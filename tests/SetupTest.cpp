// The setup sheet as a player uses it: the server edit dialog, the user server page over a real "User.txt"
// beside this program, and the program page over the prefix's registry and profile, driven by real keys and
// clicks from another thread while this one runs the modal loops.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "AppBase.h"
#include "ServerEditDlg.h"
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
        for (int i = 0; i < 20 && ::IsWindow(dialog); ++i) {
            HWND top = ::GetLastActivePopup(dialog);
            ::PostMessageW(top, WM_COMMAND, top == dialog ? IDCANCEL : IDNO, 0);
            ::PostMessageW(top, WM_COMMAND, IDCANCEL, 0);
            Pump(300);
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
    steps(dialog);
    PumpUntil([&] { return !::IsWindow(dialog); }, 5000);
}

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        ::SetFileAttributesW(m_file.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(m_file.c_str());
        ::RemoveDirectoryW(m_file.c_str());
    }
    std::string UserBytes() {
        std::string bytes = "<missing>";
        ReadFileBytes(m_file, &bytes);
        return bytes;
    }
    const std::wstring m_file = TestFolder() + L"User.txt";
};

}  // namespace

TEST(ServerEditDlgTest, ShowsReturnsAndRefusesNamesTheFileCannotHold) {
    std::wstring shown, refusals;
    bool stayedOpen = true;
    struct Case {
        const wchar_t *caption, *name, *address, *wantShown;
        std::function<void(HWND)> steps;
        INT_PTR result;
        const wchar_t *wantName, *wantAddress;
    } cases[] = {
        {L"추가", L"", L"", L"추가||0.0.0.0", [](HWND) { PressKey(VK_RETURN); }, IDOK, L"", L"0.0.0.0"},
        {L"", L"서버", L"211.36.1.5", L"편집|서버|211.36.1.5", [](HWND) { PressKey(VK_RETURN); }, IDOK, L"서버",
         L"211.36.1.5"},
        {L"추가", L"", L"", nullptr, [](HWND) { PressKey(VK_TAB); TypeText(L"010"); PressKey(VK_RETURN); }, IDOK,
         L"", L"10.0.0.0"},
        {L"", L"A", L"1.2.3.4", nullptr, [](HWND) { TypeText(L"xyz"); PressKey(VK_TAB); TypeText(L"9");
                                                   PressKey(VK_ESCAPE); }, IDCANCEL, L"A", L"1.2.3.4"},
        // A comma would split the name on reading, Thai is not in code page 949: refused, the dialog stays, the
        // name is selected again; then a Korean name and a whole address ('.' moves on) are typed.
        {L"추가", L"", L"", nullptr, [&](HWND d) {
             for (const wchar_t* bad : {L"a,b", L"\u0e01\u0e02"}) {
                 TypeText(bad);
                 PressKey(VK_RETURN);
                 refusals += AnswerBox(IDOK) + L"|";
                 stayedOpen = stayedOpen && ::IsWindowVisible(d);
             }
             TypeText(L"한글 서버");
             PressKey(VK_TAB);
             TypeText(L"61.36.1.5");
             PressKey(VK_RETURN);
         }, IDOK, L"한글 서버", L"61.36.1.5"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.name) + " " + ToUtf8(c.address));
        CServerEditDlg dlg;
        dlg.m_strCaption = c.caption;
        dlg.m_strName = c.name;
        dlg.m_strAddress = c.address;
        std::thread driver = DriveDialog(*c.caption ? c.caption : L"편집", [&](HWND d) {
            if (!d) return;
            // The IP address control's four fields, left to right.
            std::vector<std::pair<LONG, std::wstring>> parts;
            HWND ip = ::GetDlgItem(d, IDC_SERVER_ADDRESS);
            for (HWND f = ::GetWindow(ip, GW_CHILD); f; f = ::GetWindow(f, GW_HWNDNEXT)) {
                RECT r;
                ::GetWindowRect(f, &r);
                parts.push_back({r.left, WindowText(f)});
            }
            std::sort(parts.begin(), parts.end());
            std::wstring fields;
            for (auto& p : parts) fields += (fields.empty() ? L"" : L".") + p.second;
            shown = WindowText(d) + L"|" + WindowText(::GetDlgItem(d, IDC_SERVER_NAME)) + L"|" + fields;
            c.steps(d);
        });
        EXPECT_EQ(dlg.DoModal(), c.result);
        driver.join();
        if (c.wantShown) { EXPECT_EQ(shown, c.wantShown); }
        EXPECT_EQ(dlg.m_strName, c.wantName);
        EXPECT_EQ(dlg.m_strAddress, c.wantAddress);
    }
    EXPECT_EQ(std::count(refusals.begin(), refusals.end(), L'|'), 2);
    EXPECT_EQ(refusals.find(L"<no box>"), std::wstring::npos);
    EXPECT_NE(refusals.find(L"서버 이름"), std::wstring::npos) << "a Korean message";
    EXPECT_TRUE(stayedOpen);
}

TEST_F(SetupTest, UserPageAddEditDeleteKeepsLinesAfterTheEmptyLine) {
    const std::string tail = "\r\nB,2.2.2.2\r\nC,3.3.3.3";  // never shown, kept byte for byte
    ASSERT_TRUE(WriteFileBytes(m_file, "One,1.1.1.1\r\nTwo,2.2.2.2\r\nThree,3.3.3.3\r\n" + tail));
    const std::string file = UserBytes();
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
    EXPECT_EQ(UserBytes(), file);
    std::wstring editShown, question;
    int rows = -1, selected = -1, rowsAfterNo = -1;
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
                  EditDialog(page, IDC_ADD_SERVER, L"추가", [](HWND) {
                      TypeText(L"새 서버");
                      PressKey(VK_TAB);
                      TypeText(L"4.4.4.4");
                      PressKey(VK_RETURN);
                  });
                  EditDialog(page, IDC_EDIT_SERVER, L"편집", [&](HWND d) {
                      editShown = WindowText(::GetDlgItem(d, IDC_SERVER_NAME));
                      TypeText(L"Zwei");
                      PressKey(VK_RETURN);
                  });
                  // Delete asks about the upper selected row; No keeps it, Yes deletes it.
                  ClickDialogButton(page, IDC_DELETE_SERVER);
                  question = AnswerBox(IDNO);
                  rowsAfterNo = ListItemCount(list);
                  ClickDialogButton(page, IDC_DELETE_SERVER);
                  AnswerBox(IDYES);
                  ClickDialogButton(sheet, IDOK);
              }),
              IDOK);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(selected, 2);
    EXPECT_EQ(editShown, L"Two") << "Edit takes the upper of two selected rows";
    EXPECT_EQ(question, L"서버 이름 : Zwei \n\n위의 서버 이름을 삭제하시겠습니까?");
    EXPECT_EQ(rowsAfterNo, 4);
    // Code page 949, CR LF, the new server at the end, then the untouched tail.
    EXPECT_EQ(UserBytes(), "One,1.1.1.1\r\nThree,3.3.3.3\r\n" + ToCp949(L"새 서버") + ",4.4.4.4\r\n" + tail);
    std::vector<ServerLine> lines;
    ASSERT_TRUE(CServerListFile::Read(m_file, lines)) << "the launcher's reader";
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2].name, L"새 서버");
}

TEST_F(SetupTest, UnreadableOrUnwritableUserFileIsReportedAndKept) {
    // A folder by that name cannot be read: the page reports it and offers no editing, the other page works.
    ASSERT_TRUE(::CreateDirectoryW(m_file.c_str(), nullptr));
    std::wstring readMessage, writeMessage;
    BOOL addEnabled = TRUE;
    bool stillOpen = false;
    EXPECT_EQ(RunSheet(0, [&](HWND sheet) {
                  readMessage = AnswerBox(IDOK);
                  addEnabled = ::IsWindowEnabled(::GetDlgItem(CurrentPage(sheet), IDC_ADD_SERVER));
                  ::SendMessageW(sheet, PSM_SETCURSEL, 1, 0);
                  Pump(200);
                  ClickDialogButton(sheet, IDOK);
              }),
              IDOK);
    EXPECT_NE(readMessage.find(m_file), std::wstring::npos) << "names the file";
    EXPECT_NE(readMessage.find(L"읽을 수 없습니다"), std::wstring::npos);
    EXPECT_FALSE(addEnabled);
    EXPECT_TRUE(::GetFileAttributesW(m_file.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    // A read-only file: OK reports, the sheet stays, the file is unchanged and no temp file is left.
    TearDown();
    ASSERT_TRUE(WriteFileBytes(m_file, "Kept,1.1.1.1\r\n"));
    ::SetFileAttributesW(m_file.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(RunSheet(0, [&](HWND sheet) {
                  EditDialog(CurrentPage(sheet), IDC_ADD_SERVER, L"추가", [](HWND) { PressKey(VK_RETURN); });
                  ClickDialogButton(sheet, IDOK);
                  writeMessage = AnswerBox(IDOK);
                  stillOpen = ::IsWindowVisible(sheet) != FALSE;
                  ClickDialogButton(sheet, IDCANCEL);
              }),
              IDCANCEL);
    EXPECT_NE(writeMessage.find(m_file), std::wstring::npos);
    EXPECT_NE(writeMessage.find(L"저장할 수 없습니다"), std::wstring::npos);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(UserBytes(), "Kept,1.1.1.1\r\n");
    EXPECT_EQ(::GetFileAttributesW((m_file + L".new").c_str()), INVALID_FILE_ATTRIBUTES);
    // Writable again: deleting the last server and OK leaves a zero-byte file.
    ::SetFileAttributesW(m_file.c_str(), FILE_ATTRIBUTE_NORMAL);
    RunSheet(0, [&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        POINT pt = ListItemPoint(::GetDlgItem(page, IDC_USER_SERVERS), 0);
        ClickAt(pt.x, pt.y);
        ClickDialogButton(page, IDC_DELETE_SERVER);
        AnswerBox(IDYES);
        ClickDialogButton(sheet, IDOK);
    });
    EXPECT_EQ(UserBytes(), "");
}

TEST_F(SetupTest, ProgramPageRegistryProfileBrowseAndSave) {
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
    setProgram(L"Disblo SW", nullptr);
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
    std::wstring shown, spawnShown, afterBrowse;
    RunSheet(1, [&](HWND sheet) { shown = boxes(CurrentPage(sheet)); });
    EXPECT_EQ(shown, L"C:\\Reg\\StarCraft.exe|D:\\Stored\\war2.exe|C:\\Reg\\Diablo.exe||");

    setProgram(L"Disblo SW", L"C:\\Reg\\Spawn.exe");
    const std::wstring game = TestFolder() + L"GameStandIn.exe";
    EXPECT_EQ(RunSheet(1, [&](HWND sheet) {
                  HWND page = CurrentPage(sheet);
                  spawnShown = boxes(page);
                  // Typed into WarCraft's box, then Browse for StarCraft: WarCraft goes back to its stored value.
                  ClickWindow(::GetDlgItem(page, IDC_WARCRAFT_PATH));
                  PressKey(VK_END);
                  TypeText(L"-typed");
                  ClickDialogButton(page, IDC_STARCRAFT_BROWSE);
                  HWND open = nullptr;
                  PumpUntil([&] { return (open = ::GetLastActivePopup(sheet)) != sheet; }, 30000);
                  ASSERT_NE(open, sheet) << "no file dialog";
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
    EXPECT_EQ(spawnShown, L"C:\\Reg\\StarCraft.exe|D:\\Stored\\war2.exe|C:\\Reg\\Diablo.exe|C:\\Reg\\Spawn.exe|");
    EXPECT_EQ(afterBrowse, game + L"|D:\\Stored\\war2.exe|C:\\Reg\\Diablo.exe|C:\\Reg\\Spawn.exe|");
    EXPECT_EQ(stored(L"StarCraft"), game);
    EXPECT_EQ(stored(L"WarCraft II BNE"), L"D:\\Stored\\war2.exe");
    EXPECT_EQ(stored(L"Diablo"), L"") << "an empty entry, not a missing one";
    EXPECT_EQ(stored(L"Diablo SW"), L"C:\\Reg\\Spawn.exe");
    for (const wchar_t* key : {L"Starcraft", L"Warcraft II BNE", L"Diablo", L"Diablo SW", L"Disblo SW"})
        setProgram(key, nullptr);
}
