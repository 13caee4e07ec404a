// The setup sheet as a player uses it: the server edit dialog, the user server
// page over a real "User.txt" beside this program, and the program page over the
// prefix's registry and profile, driven by real keys and clicks from another
// thread while this one runs the modal loops.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "AppBase.h"
#include "ServerEditDlg.h"
#include "ServerListFile.h"
#include "SetupDialog.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

namespace {

const wchar_t kGames[] = L"Software\\Blizzard Entertainment\\";

HWND CurrentPage(HWND sheet) { return reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }

// The four fields of an IP address control as shown.
std::vector<std::wstring> AddressFields(HWND control) {
    std::vector<std::pair<int, std::wstring>> fields;
    for (HWND child = ::GetWindow(control, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT r;
        ::GetWindowRect(child, &r);
        fields.push_back({r.left, WindowText(child)});
    }
    std::sort(fields.begin(), fields.end());
    std::vector<std::wstring> texts;
    for (auto& f : fields) texts.push_back(f.second);
    return texts;
}

void SetProgram(const std::wstring& game, const wchar_t* value) {
    std::wstring key = kGames + game;
    if (!value) {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
        return;
    }
    HKEY h;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr), 0);
    ::RegSetValueExW(h, L"Program", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                     static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    ::RegCloseKey(h);
}

std::wstring Stored(const wchar_t* key) { return CAppBase::Get()->GetProfileString(L"ProgramPath", key, L"<none>"); }
void Store(const wchar_t* key, const std::wstring& value) {
    CAppBase::Get()->WriteProfileString(L"ProgramPath", key, value);
}

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_userFile = TestFolder() + L"User.txt";
        Reset();
    }
    void TearDown() override { Reset(); }
    void Reset() {
        ::SetFileAttributesW(m_userFile.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(m_userFile.c_str());
        ::RemoveDirectoryW(m_userFile.c_str());
    }
    std::string UserBytes() {
        std::string bytes = "<missing>";
        ReadFileBytes(m_userFile, &bytes);
        return bytes;
    }

    // Shows the sheet on a page; steps drive it from another thread. Whatever
    // the steps leave open is cancelled, so a failing case cannot hang.
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

    // Runs the edit dialog opened by a click on the page's button: steps get it.
    static void WithEditDialog(HWND page, int button, const wchar_t* caption, const std::function<void(HWND)>& steps) {
        ClickDialogButton(page, button);
        HWND dialog = WaitForDialog(caption, 10000);
        ASSERT_NE(dialog, nullptr) << "no dialog titled " << caption;
        steps(dialog);
        PumpUntil([&] { return !::IsWindow(dialog); }, 5000);
    }

    std::wstring m_userFile;
};

}  // namespace

TEST(ServerEditDlgTest, AddEditTypeCancelAndKoreanName) {
    struct Case {
        const wchar_t* caption;
        const wchar_t* name;
        const wchar_t* address;
        std::function<void(HWND)> steps;
        INT_PTR result;
        const wchar_t* wantName;
        const wchar_t* wantAddress;
    };
    std::wstring shownTitle, shownName;
    std::vector<std::wstring> shownFields;
    auto look = [&](HWND d) {
        shownTitle = WindowText(d);
        shownName = WindowText(::GetDlgItem(d, IDC_SERVER_NAME));
        shownFields = AddressFields(::GetDlgItem(d, IDC_SERVER_ADDRESS));
    };
    Case cases[] = {
        // Add, confirmed untouched.
        {L"추가", L"", L"", [&](HWND d) { look(d); PressKey(VK_RETURN); }, IDOK, L"", L"0.0.0.0"},
        // Edit, confirmed untouched: the template's title stays.
        {L"", L"서버", L"211.36.1.5", [&](HWND d) { look(d); PressKey(VK_RETURN); }, IDOK, L"서버", L"211.36.1.5"},
        // A leading zero is dropped; blank fields read as 0.
        {L"추가", L"", L"", [&](HWND) { PressKey(VK_TAB); TypeText(L"010"); PressKey(VK_RETURN); }, IDOK, L"",
         L"10.0.0.0"},
        // Cancel after typing leaves both as handed in.
        {L"", L"A", L"1.2.3.4", [&](HWND) { TypeText(L"xyz"); PressKey(VK_TAB); TypeText(L"9"); PressKey(VK_ESCAPE); },
         IDCANCEL, L"A", L"1.2.3.4"},
        // A Korean name typed through the keyboard, and a whole address ('.'
        // moves on and selects the next field).
        {L"추가", L"", L"", [&](HWND) { TypeText(L"한글 서버"); PressKey(VK_TAB); TypeText(L"61.36.1.5"); PressKey(VK_RETURN); },
         IDOK, L"한글 서버", L"61.36.1.5"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(std::string(ToCp949(c.name)) + " " + ToCp949(c.address));
        CServerEditDlg dlg;
        dlg.m_strCaption = c.caption;
        dlg.m_strName = c.name;
        dlg.m_strAddress = c.address;
        shownTitle.clear();
        std::thread driver = DriveDialog(*c.caption ? c.caption : L"편집", [&](HWND d) {
            if (d) c.steps(d);
        });
        INT_PTR r = dlg.DoModal();
        driver.join();
        EXPECT_EQ(r, c.result);
        EXPECT_EQ(dlg.m_strName, c.wantName);
        EXPECT_EQ(dlg.m_strAddress, c.wantAddress);
        if (c.steps && &c == &cases[0]) {
            EXPECT_EQ(shownTitle, L"추가");
            EXPECT_EQ(shownName, L"");
            EXPECT_EQ(shownFields, (std::vector<std::wstring>{L"0", L"0", L"0", L"0"}));
        }
        if (&c == &cases[1]) {
            EXPECT_EQ(shownTitle, L"편집");
            EXPECT_EQ(shownName, L"서버");
            EXPECT_EQ(shownFields, (std::vector<std::wstring>{L"211", L"36", L"1", L"5"}));
        }
    }
}

TEST(ServerEditDlgTest, NamesTheFileCannotHoldAreRefused) {
    // A comma would split the name on reading; Thai is not in code page 949.
    for (const wchar_t* bad : {L"a,b", L"\u0e01\u0e02"}) {
        CServerEditDlg dlg;
        dlg.m_strName = L"old";
        std::wstring message;
        bool stayedOpen = false;
        std::thread driver = DriveDialog(L"편집", [&](HWND d) {
            if (!d) return;
            TypeText(bad);
            PressKey(VK_RETURN);
            HWND box = WaitForDialog(L"Orvane", 5000);
            if (box) {
                message = DialogText(box);
                ClickDialogButton(box, IDOK);
            }
            PumpUntil([&] { return !::IsWindow(box); }, 3000);
            stayedOpen = ::IsWindowVisible(d) != FALSE;
            // The name is selected again: typing replaces it.
            TypeText(L"fine");
            PressKey(VK_RETURN);
        });
        EXPECT_EQ(dlg.DoModal(), IDOK);
        driver.join();
        EXPECT_NE(message.find(L"서버 이름"), std::wstring::npos) << "a Korean message";
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(dlg.m_strName, L"fine");
    }
}

TEST_F(SetupTest, LinesAfterTheEmptyLineSurviveOk) {
    const std::string file = "A,1.1.1.1\r\n\r\nB,2.2.2.2\r\nC,3.3.3.3";
    ASSERT_TRUE(WriteFileBytes(m_userFile, file));
    int rows = -1;
    std::wstring first;
    EXPECT_EQ(RunSheet(0, [&](HWND sheet) {
                  HWND list = ::GetDlgItem(CurrentPage(sheet), IDC_USER_SERVERS);
                  rows = ListItemCount(list);
                  first = ListItemText(list, 0, 0) + L"," + ListItemText(list, 0, 1);
                  ClickDialogButton(sheet, IDOK);
              }),
              IDOK);
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(first, L"A,1.1.1.1");
    EXPECT_EQ(UserBytes(), file) << "A, the empty line and B byte for byte";
}

TEST_F(SetupTest, AddEditDeleteAndSave) {
    ASSERT_TRUE(WriteFileBytes(m_userFile, "One,1.1.1.1\r\nTwo,2.2.2.2\r\nThree,3.3.3.3\r\n"));
    std::wstring editShown, question;
    int rowsAfterNo = -1, selected = -1;
    RunSheet(0, [&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        HWND list = ::GetDlgItem(page, IDC_USER_SERVERS);
        // Rows 1 and 2 selected: a click, then Shift+Down.
        POINT two = ListItemPoint(list, 1);
        ClickAt(two.x, two.y);
        KeyDown(VK_SHIFT);
        PressKey(VK_DOWN);
        KeyUp(VK_SHIFT);
        selected = static_cast<int>(::SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));

        WithEditDialog(page, IDC_ADD_SERVER, L"추가", [](HWND) {
            TypeText(L"새 서버");
            PressKey(VK_TAB);
            TypeText(L"4.4.4.4");
            PressKey(VK_RETURN);
        });
        WithEditDialog(page, IDC_EDIT_SERVER, L"편집", [&](HWND d) {
            editShown = WindowText(::GetDlgItem(d, IDC_SERVER_NAME));
            TypeText(L"Zwei");
            PressKey(VK_RETURN);
        });
        // Delete asks about the upper selected row; No keeps it.
        ClickDialogButton(page, IDC_DELETE_SERVER);
        HWND box = WaitForDialog(L"Orvane", 5000);
        question = DialogText(box);
        ClickDialogButton(box, IDNO);
        PumpUntil([&] { return !::IsWindow(box); }, 3000);
        rowsAfterNo = ListItemCount(list);
        ClickDialogButton(page, IDC_DELETE_SERVER);
        box = WaitForDialog(L"Orvane", 5000);
        ClickDialogButton(box, IDYES);
        PumpUntil([&] { return !::IsWindow(box); }, 3000);
        ClickDialogButton(sheet, IDOK);
    });
    EXPECT_EQ(selected, 2);
    EXPECT_EQ(editShown, L"Two") << "Edit takes the upper of two selected rows";
    EXPECT_EQ(question, L"서버 이름 : Zwei \n\n위의 서버 이름을 삭제하시겠습니까?");
    EXPECT_EQ(rowsAfterNo, 4);
    // Code page 949, CR LF, the new server at the end.
    EXPECT_EQ(UserBytes(), "One,1.1.1.1\r\nThree,3.3.3.3\r\n" + ToCp949(L"새 서버") + ",4.4.4.4\r\n");
    std::vector<ServerLine> lines;
    ASSERT_TRUE(CServerListFile::Read(m_userFile, lines)) << "the launcher's reader";
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2].name, L"새 서버");
}

TEST_F(SetupTest, CancelKeepsTheFileAndAnEmptyListSavesZeroBytes) {
    const std::string file = "Only,1.1.1.1\r\n";
    ASSERT_TRUE(WriteFileBytes(m_userFile, file));
    auto deleteFirst = [](HWND page) {
        HWND list = ::GetDlgItem(page, IDC_USER_SERVERS);
        POINT pt = ListItemPoint(list, 0);
        ClickAt(pt.x, pt.y);
        ClickDialogButton(page, IDC_DELETE_SERVER);
        HWND box = WaitForDialog(L"Orvane", 5000);
        ClickDialogButton(box, IDYES);
        PumpUntil([&] { return !::IsWindow(box); }, 3000);
    };
    // Add, edit by double-click, delete, then Cancel.
    EXPECT_EQ(RunSheet(0, [&](HWND sheet) {
                  HWND page = CurrentPage(sheet);
                  WithEditDialog(page, IDC_ADD_SERVER, L"추가", [](HWND) { PressKey(VK_RETURN); });
                  HWND list = ::GetDlgItem(page, IDC_USER_SERVERS);
                  POINT pt = ListItemPoint(list, 0);
                  DoubleClickAt(pt.x, pt.y);
                  HWND edit = WaitForDialog(L"편집", 5000);
                  EXPECT_NE(edit, nullptr) << "a double-click edits the row";
                  TypeText(L"Changed");
                  PressKey(VK_RETURN);
                  PumpUntil([&] { return !::IsWindow(edit); }, 3000);
                  EXPECT_EQ(ListItemText(list, 0, 0), L"Changed");
                  deleteFirst(page);
                  ClickDialogButton(sheet, IDCANCEL);
              }),
              IDCANCEL);
    EXPECT_EQ(UserBytes(), file);

    // Deleting the last server and OK leaves an empty file.
    RunSheet(0, [&](HWND sheet) {
        deleteFirst(CurrentPage(sheet));
        ClickDialogButton(sheet, IDOK);
    });
    EXPECT_EQ(UserBytes(), "");
}

TEST_F(SetupTest, UnreadableOrUnwritableUserFileIsReportedAndKept) {
    // A folder by that name, then a file another program holds locked.
    for (int kind = 0; kind < 2; ++kind) {
        SCOPED_TRACE(kind == 0 ? "folder" : "locked");
        Reset();
        HANDLE held = INVALID_HANDLE_VALUE;
        if (kind == 0) {
            ASSERT_TRUE(::CreateDirectoryW(m_userFile.c_str(), nullptr));
        } else {
            ASSERT_TRUE(WriteFileBytes(m_userFile, "Kept,1.1.1.1\r\n"));
            held = ::CreateFileW(m_userFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);
        }
        std::wstring message;
        BOOL addEnabled = TRUE;
        EXPECT_EQ(RunSheet(0, [&](HWND sheet) {
                      HWND box = WaitForDialog(L"Orvane", 5000);
                      message = DialogText(box);
                      ClickDialogButton(box, IDOK);
                      PumpUntil([&] { return !::IsWindow(box); }, 3000);
                      addEnabled = ::IsWindowEnabled(::GetDlgItem(CurrentPage(sheet), IDC_ADD_SERVER));
                      // The other page still works.
                      ::SendMessageW(sheet, PSM_SETCURSEL, 1, 0);
                      Pump(200);
                      ClickDialogButton(sheet, IDOK);
                  }),
                  IDOK);
        if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
        EXPECT_NE(message.find(m_userFile), std::wstring::npos) << "names the file";
        EXPECT_NE(message.find(L"읽을 수 없습니다"), std::wstring::npos);
        EXPECT_FALSE(addEnabled);
        if (kind == 0)
            EXPECT_TRUE(::GetFileAttributesW(m_userFile.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
        else
            EXPECT_EQ(UserBytes(), "Kept,1.1.1.1\r\n");
    }

    // A read-only file: OK reports, the sheet stays, the file is unchanged.
    Reset();
    ASSERT_TRUE(WriteFileBytes(m_userFile, "Kept,1.1.1.1\r\n"));
    ::SetFileAttributesW(m_userFile.c_str(), FILE_ATTRIBUTE_READONLY);
    std::wstring message;
    bool stillOpen = false;
    EXPECT_EQ(RunSheet(0, [&](HWND sheet) {
                  WithEditDialog(CurrentPage(sheet), IDC_ADD_SERVER, L"추가", [](HWND) { PressKey(VK_RETURN); });
                  ClickDialogButton(sheet, IDOK);
                  HWND box = WaitForDialog(L"Orvane", 5000);
                  message = DialogText(box);
                  ClickDialogButton(box, IDOK);
                  PumpUntil([&] { return !::IsWindow(box); }, 3000);
                  stillOpen = ::IsWindowVisible(sheet) != FALSE;
                  ClickDialogButton(sheet, IDCANCEL);
              }),
              IDCANCEL);
    EXPECT_NE(message.find(m_userFile), std::wstring::npos);
    EXPECT_NE(message.find(L"저장할 수 없습니다"), std::wstring::npos);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(UserBytes(), "Kept,1.1.1.1\r\n");
    EXPECT_EQ(::GetFileAttributesW((m_userFile + L".new").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SetupTest, ProgramPageRegistryProfileBrowseAndSave) {
    Store(L"StarCraft", L"");
    Store(L"WarCraft II BNE", L"D:\\Stored\\war2.exe");
    Store(L"Diablo", L"");
    Store(L"Diablo SW", L"");
    SetProgram(L"Starcraft", L"C:\\Reg\\StarCraft.exe");
    SetProgram(L"Warcraft II BNE", L"C:\\Reg\\war2.exe");
    SetProgram(L"Diablo", L"C:\\Reg\\Diablo.exe");
    SetProgram(L"Diablo SW", L"C:\\Reg\\WrongKey.exe");  // the spelling the row does not use
    SetProgram(L"Disblo SW", nullptr);

    // OK without visiting the page leaves the profile as it was.
    std::wstring ini = [] {
        wchar_t w[MAX_PATH];
        ::GetWindowsDirectoryW(w, MAX_PATH);
        return std::wstring(w) + L"\\Orvn.INI";
    }();
    std::string before, after;
    ASSERT_TRUE(ReadFileBytes(ini, &before));
    RunSheet(0, [](HWND sheet) { ClickDialogButton(sheet, IDOK); });
    ASSERT_TRUE(ReadFileBytes(ini, &after));
    EXPECT_EQ(after, before);

    auto boxes = [](HWND page) {
        std::vector<std::wstring> texts;
        for (int id : {IDC_STARCRAFT_PATH, IDC_WARCRAFT_PATH, IDC_DIABLO_PATH, IDC_DIABLOSW_PATH})
            texts.push_back(WindowText(::GetDlgItem(page, id)));
        return texts;
    };
    std::vector<std::wstring> shown;
    RunSheet(1, [&](HWND sheet) {
        shown = boxes(CurrentPage(sheet));
        ClickDialogButton(sheet, IDCANCEL);
    });
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"C:\\Reg\\StarCraft.exe", L"D:\\Stored\\war2.exe",
                                                L"C:\\Reg\\Diablo.exe", L""}));

    // The row's own key spelling is read.
    SetProgram(L"Disblo SW", L"C:\\Reg\\Spawn.exe");
    std::wstring game = TestFolder() + L"GameStandIn.exe";
    std::vector<std::wstring> afterBrowse;
    EXPECT_EQ(RunSheet(1, [&](HWND sheet) {
                  HWND page = CurrentPage(sheet);
                  shown = boxes(page);
                  // Typed into WarCraft's box, then Browse for StarCraft: WarCraft goes back.
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
    EXPECT_EQ(shown[3], L"C:\\Reg\\Spawn.exe");
    EXPECT_EQ(afterBrowse, (std::vector<std::wstring>{game, L"D:\\Stored\\war2.exe", L"C:\\Reg\\Diablo.exe",
                                                      L"C:\\Reg\\Spawn.exe"}));
    EXPECT_EQ(Stored(L"StarCraft"), game);
    EXPECT_EQ(Stored(L"WarCraft II BNE"), L"D:\\Stored\\war2.exe");
    EXPECT_EQ(Stored(L"Diablo"), L"") << "an empty entry, not a missing one";
    EXPECT_EQ(Stored(L"Diablo SW"), L"C:\\Reg\\Spawn.exe") << "the registry path ends up stored";

    for (const wchar_t* key : {L"Starcraft", L"Warcraft II BNE", L"Diablo", L"Diablo SW", L"Disblo SW"})
        SetProgram(key, nullptr);
}
