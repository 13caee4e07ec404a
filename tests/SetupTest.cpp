// The setup sheet as a player uses it: the edit dialog and user page over a real "User.txt", the program page over
// the prefix's registry and profile, driven by real keys and clicks while this thread runs the modal loops.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "AppBase.h"
#include "SetupDialog.h"
#include "LauncherFixture.h"
#include "resource.h"

using namespace testing_support;

namespace {

// Shows the sheet on a page while steps drive it and expects it to end with result.
void RunSheet(int page, INT_PTR result, const std::function<void(HWND)>& steps) {
    CSetupDialog sheet(nullptr);
    sheet.SetActivePage(page);
    DriveSetupSheet([&] { EXPECT_EQ(sheet.DoModal(), result); }, steps);
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

}  // namespace

TEST(SetupTest, UserPageAndEditDialogOverARealUserFile) {
    const std::wstring file = TestFolder() + L"User.txt";
    auto userBytes = [&] {
        std::string bytes = "<missing>";
        return ReadFileBytes(file, &bytes), bytes;
    };
    const std::string tail = "\r\nB,2.2.2.2\r\nC,3.3.3.3";  // never shown, kept byte for byte
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::string before = "One,1.1.1.1\r\nTwo,2.2.2.2\r\nThree,3.3.3.3\r\n" + tail;
    ASSERT_TRUE(WriteFileBytes(file, before));
    ::WritePrivateProfileStringW(L"ProgramPath", nullptr, nullptr, L"Orvn.INI");  // the program page would fill it
    RunSheet(0, IDOK, [&](HWND sheet) {
        HWND page = SheetPage(sheet), list = ::GetDlgItem(page, IDC_USER_SERVERS);
        // A new name keeps the address.
        POINT two = ListItemPoint(list, 1);
        ClickAt(two.x, two.y);
        EditDialog(page, IDC_EDIT_SERVER, L"편집", [&](HWND d) {
            EXPECT_EQ(WindowText(::GetDlgItem(d, IDC_SERVER_NAME)), L"Two");
            TypeText(L"Zwei");
            PressKey(VK_RETURN);
        });
        ClickDialogButton(page, IDC_DELETE_SERVER);
        EXPECT_EQ(AnswerDialog(L"Orvane", IDNO), L"서버 이름 : Zwei \n\n위의 서버 이름을 삭제하시겠습니까?");
        // A name the file could not hold is refused and the dialog stays (the rule's table is in ParsersTest);
        // then a Korean name and "010" in the first field, added at the end.
        EditDialog(page, IDC_ADD_SERVER, L"추가", [&](HWND d) {
            TypeText(L"a,b");
            PressKey(VK_RETURN);
            EXPECT_EQ(AnswerDialog(L"Orvane", IDOK), L"서버 이름에는 쉼표(,)를 쓸 수 없습니다.");
            EXPECT_TRUE(::IsWindowVisible(d));
            TypeText(L"새 서버");
            PressKey(VK_TAB);
            TypeText(L"010");
            PressKey(VK_RETURN);
        });
        ClickDialogButton(sheet, IDOK);
    });
    EXPECT_EQ(CAppBase::Get()->GetProfileString(L"ProgramPath", L"StarCraft", L"-"), L"-") << "unseen page saved";
    // Code page 949, CR LF, the new servers at the end, then the untouched tail.
    EXPECT_EQ(userBytes(), "One,1.1.1.1\r\nZwei,2.2.2.2\r\nThree,3.3.3.3\r\n" + ToCp949(L"새 서버") +
                               ",10.0.0.0\r\n" + tail);
    // A read-only file: OK reports it, the file stays as it was with no temp file left, and the sheet stays
    // open; once the file is writable again, OK saves.
    ASSERT_TRUE(WriteFileBytes(file, "Kept,1.1.1.1\r\n"));
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    RunSheet(0, IDOK, [&](HWND sheet) {
        EditDialog(SheetPage(sheet), IDC_ADD_SERVER, L"추가", [](HWND) { PressKey(VK_RETURN); });
        ClickDialogButton(sheet, IDOK);
        EXPECT_NE(AnswerDialog(L"Orvane", IDOK).find(L"파일을 저장할 수 없습니다.\n" + file), std::wstring::npos);
        EXPECT_TRUE(::IsWindowVisible(sheet));
        EXPECT_EQ(userBytes(), "Kept,1.1.1.1\r\n");
        EXPECT_EQ(::GetFileAttributesW((file + L".new").c_str()), INVALID_FILE_ATTRIBUTES) << "temp file left";
        ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        ClickDialogButton(sheet, IDOK);
    });
    EXPECT_EQ(userBytes(), "Kept,1.1.1.1\r\n,0.0.0.0\r\n");
}

TEST(SetupTest, ProgramPageRegistryProfileAndSaveOnceTheProfileIsWritable) {
    const std::wstring games = L"Software\\Blizzard Entertainment\\", user = TestFolder() + L"User.txt";
    const std::wstring profile = CAppBase::Get()->ProfilePath();
    ::DeleteFileW(user.c_str());
    const wchar_t* const keys[] = {L"StarCraft", L"WarCraft II BNE", L"Diablo", L"Diablo SW"};
    for (const wchar_t* key : keys) CAppBase::Get()->WriteProfileString(L"ProgramPath", key, L"");
    CAppBase::Get()->WriteProfileString(L"ProgramPath", L"WarCraft II BNE", L"D:\\Stored\\war2.exe");
    // A stored path wins over the registry's; Diablo SW's record is spelt as its installation spells it.
    const std::wstring records[][2] = {{L"Starcraft", L"C:\\Reg\\StarCraft.exe"},
                                       {L"Warcraft II BNE", L"C:\\Reg\\war2.exe"},
                                       {L"Diablo", L"C:\\Reg\\Diablo.exe"},
                                       {L"Disblo SW", L"C:\\Reg\\Spawn.exe"}};
    for (const auto& r : records)
        ASSERT_TRUE(SetRegistryString(HKEY_LOCAL_MACHINE, games + r[0], L"Program", r[1], REG_SZ, kGamesView));
    auto boxes = [](HWND page) {
        std::wstring texts;
        for (int id : {IDC_STARCRAFT_PATH, IDC_WARCRAFT_PATH, IDC_DIABLO_PATH, IDC_DIABLOSW_PATH})
            texts += WindowText(::GetDlgItem(page, id)) + L"|";
        return texts;
    };
    const std::wstring game = TestFolder() + L"GameStandIn.exe";
    const std::wstring entered = game + L"|D:\\Stored\\war2.exe||C:\\Reg\\Spawn.exe|";
    RunSheet(1, IDOK, [&](HWND sheet) {
        HWND page = SheetPage(sheet);
        EXPECT_EQ(boxes(page), L"C:\\Reg\\StarCraft.exe|D:\\Stored\\war2.exe|C:\\Reg\\Diablo.exe|C:\\Reg\\Spawn.exe|");
        // Typed into StarCraft's box, and Diablo's cleared.
        ClickDialogButton(page, IDC_STARCRAFT_PATH);
        ::SendMessageW(::GetDlgItem(page, IDC_STARCRAFT_PATH), EM_SETSEL, 0, -1);
        TypeText(game);
        ClickDialogButton(page, IDC_DIABLO_PATH);
        ::SendMessageW(::GetDlgItem(page, IDC_DIABLO_PATH), EM_SETSEL, 0, -1);
        PressKey(VK_DELETE);
        // A profile that cannot be written: OK names it, and the sheet stays with what was entered.
        ASSERT_TRUE(::SetFileAttributesW(profile.c_str(), FILE_ATTRIBUTE_READONLY));
        ClickDialogButton(sheet, IDOK);
        std::wstring told = AnswerDialog(L"Orvane", IDOK);
        EXPECT_NE(told.find(L"Orvn.INI"), std::wstring::npos) << ToUtf8(told);
        Pump(300);
        ASSERT_TRUE(::IsWindow(sheet)) << "the sheet closed";
        EXPECT_EQ(boxes(page), entered);
        ::SetFileAttributesW(profile.c_str(), FILE_ATTRIBUTE_NORMAL);
        ClickDialogButton(sheet, IDOK);
    });
    ::SetFileAttributesW(profile.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(CAppBase::FileExists(user)) << "the user page, never shown, was saved";
    std::wstring stored;
    for (const wchar_t* key : keys) stored += CAppBase::Get()->GetProfileString(L"ProgramPath", key, L"-") + L"|";
    EXPECT_EQ(stored, entered) << "a cleared box stores an empty entry";
    for (const auto& r : records) DeleteRegistryTree(HKEY_LOCAL_MACHINE, games + r[0], kGamesView);
}
