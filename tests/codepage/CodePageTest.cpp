// The launcher on a system whose code page for non-Unicode programs is not Korean (ctest runs this program in
// Wine's Western code page): a Hangul program path set through the sheet is stored as typed and starts the game.
#include <gtest/gtest.h>

#include "AppBase.h"
#include "LauncherFixture.h"
#include "resource.h"

using namespace testing_support;

namespace {

const wchar_t kGame[] = L"C:\\게임\\StarCraft.exe";

std::string ProfileBytes() {
    std::string bytes;
    return ReadFileBytes(CAppBase::Get()->ProfilePath(), &bytes) ? bytes : "<missing>";
}
bool Contains(const std::string& bytes, const std::wstring& text) {
    return bytes.find(std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t))) !=
           std::string::npos;
}

}  // namespace

TEST_F(LauncherFixture, AHangulProgramPathIsStoredAsTypedOnAnotherCodePage) {
    WriteList(L"Blizzard.txt", {{L"Local", Accepting()}});
    CloseFrame();
    const std::wstring profile = CAppBase::Get()->ProfilePath();
    // A profile already there in this system's code page reads as before and turns Unicode on its first write.
    ASSERT_TRUE(WriteFileBytes(profile, "[ProgramPath]\r\nDiablo=C:\\Jeux\\\xC9t\xE9.exe\r\n"));
    EXPECT_EQ(CAppBase::Get()->GetProfileString(L"ProgramPath", L"Diablo"), L"C:\\Jeux\\Été.exe");
    EXPECT_TRUE(CAppBase::Get()->WriteProfileString(L"ProgramPath", L"Diablo SW", L"D:\\d.exe"));
    EXPECT_EQ(ProfileBytes().compare(0, 2, "\xFF\xFE"), 0);
    EXPECT_EQ(CAppBase::Get()->GetProfileString(L"ProgramPath", L"Diablo"), L"C:\\Jeux\\Été.exe");

    // A new profile, made at start; the game is where no default points.
    ASSERT_TRUE(::DeleteFileW(profile.c_str()));
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"Software\\Blizzard Entertainment\\Starcraft", kGamesView);
    ::CreateDirectoryW(L"C:\\게임", nullptr);
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"GameStandIn.exe", kGame));
    ::DeleteFileW((std::wstring(kGame) + L".log").c_str());
    OpenFrame();
    EXPECT_EQ(ProfileBytes().compare(0, 2, "\xFF\xFE"), 0) << "a new profile is Unicode";
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitIdle());
    // Not set up: Yes opens the program page, where the path is typed and saved.
    DriveSetupSheet([&] { EXPECT_EQ(DoubleClickAndAnswer(Accepting(), IDYES).size(), 1u); }, [&](HWND sheet) {
        HWND page = SheetPage(sheet);
        ClickDialogButton(page, IDC_STARCRAFT_PATH);
        ::SendMessageW(::GetDlgItem(page, IDC_STARCRAFT_PATH), EM_SETSEL, 0, -1);
        TypeText(kGame);
        ClickDialogButton(sheet, IDOK);
        PumpUntil([&] { return !::IsWindow(sheet); }, 5000);
    });
    EXPECT_TRUE(Contains(ProfileBytes(), kGame)) << "the path is not in the profile as typed";
    // The game starts from that path.
    ::DeleteFileW((std::wstring(kGame) + L".log").c_str());
    {
        MessageBoxAnswerer unexpected(IDNO);
        DoubleClickRow(Accepting());
        EXPECT_EQ(StandInLog(kGame, 10000).find(L"cwd=C:\\게임\r\n"), 0u) << "the game did not start from its path";
        EXPECT_EQ(unexpected.Texts(), std::vector<std::wstring>{});
    }
    CloseFrame();
    ::DeleteFileW((std::wstring(kGame) + L".log").c_str());
    ::DeleteFileW(kGame);
    ::RemoveDirectoryW(L"C:\\게임");
}
