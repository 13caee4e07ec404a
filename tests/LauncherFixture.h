#pragma once
// The launcher's frame in the test's own process, as each launcher test uses it:
// list files in the program folder, group choices posted as the folder bar posts
// them, rows read through the list window, rows double-clicked by the real mouse.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "MainFrame.h"
#include "StandInServers.h"
#include "TestSupport.h"

namespace testing_support {

// One row of the server list as the user sees it.
struct ServerRow {
    std::wstring name, address, response;
};
std::vector<ServerRow> ServerRows(HWND list);
std::string Show(const std::vector<ServerRow>& rows);  // for failure messages
// The milliseconds of a "%dms" response text, or -1.
int Millis(const std::wstring& response);

extern const wchar_t kConnecting[];  // "접속중..."
extern const wchar_t kFailed[];      // "접속 실패"

class LauncherFixture : public ::testing::Test {
protected:
    void SetUp() override;     // removes the list files, opens the frame
    void TearDown() override;  // closes the frame, removes the list files

    void OpenFrame();
    void CloseFrame();  // the view's destruction stops a sweep still running
    CPingView& View() { return m_frame->GetView(); }
    HWND List() { return View().GetServerList().GetHwnd(); }
    std::vector<ServerRow> Rows() { return ServerRows(List()); }

    // Posts a group choice as the folder bar does (folder command id, tile).
    void Choose(WPARAM folder, LPARAM item);
    // Pumps until that row shows "접속중...".
    bool WaitProbing(int row, DWORD timeoutMs = 3000);
    // Pumps until the posted choices are handled and no sweep runs.
    bool WaitIdle(DWORD timeoutMs = 15000);
    // Double-clicks the row showing that address with the real mouse.
    void DoubleClickRow(const std::wstring& address);

    // The stand-in servers, set up on first use and kept for the whole program.
    static StandInServers& Servers();
    const std::wstring& Accepting() { return Servers().Accepting(); }
    const std::wstring& Refused() { return Servers().Refused(); }
    const std::wstring& Silent() { return Servers().Silent(); }

    // Blizzard.txt, Free.txt or User.txt in the program folder.
    static void WriteList(const wchar_t* file, const ServerList& servers);
    static void RemoveLists();

    std::unique_ptr<CMainFrame> m_frame;
};

}  // namespace testing_support
