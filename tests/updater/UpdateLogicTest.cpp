// The update logic in-process, over real files, the real profile and the stand-in update server.
#include <gtest/gtest.h>

#include <tuple>

#include "AppBase.h"
#include "Download.h"
#include "RecordingUi.h"
#include "TestSupport.h"
#include "UpdateServer.h"
#include "Updater.h"

using namespace testing_support;

namespace {

// What the progress dialog shows of real downloads.
TEST(UpdateLogicTest, DownloadProgressAndStatuses) {
    ProxySetting::TurnOff();
    TempFolder release(L"orvn-logic-");
    ASSERT_TRUE(WriteFileBytes(release.path + L"2048.bin", std::string(2048, 'x')));
    ASSERT_TRUE(WriteFileBytes(release.path + L"500.bin", std::string(500, 'x')));
    UpdateServer server;
    ASSERT_TRUE(server.Start(release.path));
    RecordingUi ui;
    auto fetch = [&](const std::wstring& name, int expected) {
        ui.statuses.clear();
        ui.positions.clear();
        ui.labels.clear();
        CMemorySink sink;
        std::wstring url = L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/quilla/" + name;
        return DownloadFile(ui, url, sink, expected, TRUE, FetchLimits{1 << 20, 0, true});
    };
    // A whole file ends on 100%, at once when it comes in one piece; without a size nothing is known to have
    // arrived until the end.
    for (const auto& [name, size] : {std::pair{L"2048.bin", 2048}, {L"500.bin", 500}}) {
        EXPECT_TRUE(fetch(name, size));
        EXPECT_EQ((std::vector<int>{100}), ui.positions);
        EXPECT_EQ((std::vector<std::wstring>{L"100%"}), ui.labels);
    }
    const std::vector<std::wstring> texts = {L"사이트 찾는 중...", L"웹사이트를 찾았습니다. 응답을 기다리는중...",
                                             L"파일을 받고 있습니다.", L"파일 다운로드 완료."};
    EXPECT_EQ(texts, ui.statuses);
    EXPECT_TRUE(fetch(L"2048.bin", 0));
    EXPECT_EQ((std::vector<int>{0, 100}), ui.positions);
}

// Versions compare as texts, without order; a program file by its file version (none: never fetched); a deleted
// file is fetched again although its version stays recorded.
TEST(UpdateLogicTest, VersionRule) {
    TempFolder folder(L"orvn-logic-"), temp(L"orvn-logic-");
    const std::wstring& program = folder.path;
    const std::wstring profile = program + L"start.INI";
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"OrvnStandIn3.exe", program + L"Orvn.exe"));
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"OrvnStandIn3.exe", program + L"Versioned.txt"));
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"GameStandIn.exe", program + L"NoVersion.exe"));
    ASSERT_TRUE(WriteFileBytes(program + L"Data.txt", "data"));
    for (const auto& [name, version] :
         {std::pair{L"Data.txt", L"5"}, {L"Versioned.txt", L"7"}, {L"Deleted.txt", L"5"}})
        ::WritePrivateProfileStringW(L"Version", name, version, profile.c_str());
    const std::tuple<const wchar_t*, const wchar_t*, BOOL> rows[] = {
        {L"Orvn.exe", L"1,0,0,3", FALSE},       {L"Orvn.exe", L"1,0,0,4", TRUE},    {L"Orvn.exe", L"1,0,0,2", TRUE},
        {L"NoVersion.exe", L"9,9,9,9", FALSE},  {L"Missing.exe", L"1,0,0,3", TRUE}, {L"Data.txt", L"5", FALSE},
        {L"Data.txt", L"6", TRUE},              {L"Versioned.txt", L"7", TRUE},     {L"Deleted.txt", L"5", TRUE},
    };
    RecordingUi ui;
    CUpdater updater(ui, {program, temp.path, L"127.0.0.1:9", L"", profile, "", L""});
    for (const auto& [name, version, fetch] : rows)
        EXPECT_EQ(fetch, updater.NeedsUpdate(name, version, 123)) << ToUtf8(name) << " " << ToUtf8(version);
}

}  // namespace
