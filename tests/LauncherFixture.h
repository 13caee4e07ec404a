#pragma once
// The launcher's frame in the test's own process: list files in the program folder, group choices posted as the
// folder bar posts them, rows read through the list window and double-clicked by the real mouse, stand-in servers.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MainFrame.h"
#include "StandInServers.h"
#include "TestSupport.h"
#include "resource.h"

namespace testing_support {

inline constexpr wchar_t kConnecting[] = L"접속중...";
inline constexpr wchar_t kFailed[] = L"접속 실패";

// The middle of a rectangle: where a hand clicks.
constexpr POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
// A launcher view's folder bar and volume strip.
HWND FolderBar(HWND view);
HWND VolumeStrip(HWND view);

struct ServerRow {  // one row of the server list as the user sees it
    std::wstring name, address, response;
};
std::string Show(const std::vector<ServerRow>& rows);  // for failure messages
int Millis(const std::wstring& response);              // the milliseconds of "%dms", or -1

class LauncherFixture : public ::testing::Test {
protected:
    void SetUp() override;     // the stand-in servers up, removes the list files, opens the frame
    void TearDown() override;  // closes the frame, removes the list files
    void OpenFrame();
    void CloseFrame();  // the view's destruction stops a sweep still running
    HWND View() { return ::GetDlgItem(m_frame->GetHwnd(), AFX_IDW_PANE_FIRST); }
    HWND List() { return ::GetDlgItem(View(), IDC_SERVER_LIST); }
    std::vector<ServerRow> Rows();
    void Choose(WPARAM folder, LPARAM item);            // posted as the folder bar does (folder command, tile)
    bool WaitProbing(int row, DWORD timeoutMs = 3000);  // pumps until that row shows "접속중..."
    bool WaitIdle(DWORD timeoutMs = 15000);             // ... until the posted choices are done, no sweep runs
    void DoubleClickRow(const std::wstring& address);   // the row showing that address, by the real mouse
    // Double-clicks that row and answers the message box that follows with button; the texts of the boxes.
    std::vector<std::wstring> DoubleClickAndAnswer(const std::wstring& address, int button,
                                                   std::function<void(HWND)> onBox = {});

    static StandInServers& Servers();  // set up on first use, kept for the whole program
    const std::wstring& Accepting() { return Servers().Accepting(); }
    const std::wstring& Refused() { return Servers().Refused(); }
    const std::wstring& Silent() { return Servers().Silent(); }
    static void WriteList(const wchar_t* file, const ServerList& servers) {  // a list file in the program folder
        ASSERT_TRUE(WriteListFile(TestFolder() + file, servers));
    }

    std::unique_ptr<CMainFrame> m_frame;
};

// Runs open, which shows the setup sheet and runs its modal loop, while steps drive the sheet from another thread;
// whatever steps leave open is then cancelled, so a failure cannot hang.
void DriveSetupSheet(const std::function<void()>& open, const std::function<void(HWND sheet)>& steps);
HWND SheetPage(HWND sheet);  // the page it shows

// Orvn.exe copied under a name into a temporary folder of its own, started there and its frame found; Exit clicks
// the real button and waits for the end. All of it ends with the scope, also when an assertion ends the test early.
class OwnFolderLauncher {
public:
    explicit OwnFolderLauncher(const std::wstring& name);
    bool Start(DWORD timeoutMs = 30000);  // starts it and waits for its frame
    DWORD Exit(DWORD timeoutMs = 60000);  // the exit code, STILL_ACTIVE when it did not end
    HWND View() const { return ::GetDlgItem(m_frame, AFX_IDW_PANE_FIRST); }
    const std::wstring& Folder() const { return m_folder.path; }
    DWORD Pid() const { return m_process.pid; }

private:
    TempFolder m_folder{L"orvn_own"};
    std::wstring m_exe;
    Process m_process;
    HWND m_frame = nullptr;
};

}  // namespace testing_support
