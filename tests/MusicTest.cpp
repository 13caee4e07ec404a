// The background music as a player hears it: the bench's null sink recorded
// while the real launcher (as its own process, and as the frame in this
// process) starts, stops and restarts the piece and starts a game.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "AppBase.h"
#include "LauncherFixture.h"
#include "MainFrame.h"
#include "Messages.h"
#include "PingView.h"
#include "SkinSlider.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

namespace {

constexpr double kBlock = 0.1;      // seconds per envelope block
constexpr double kSilence = 20;     // the null sink gives exact zeros when nothing plays
constexpr double kMusic = 300;      // the piece's quietest tenth of a second is far above this

// The piece's own envelope, from the library's "BGM" wave.
std::vector<double> PieceEnvelope(const std::wstring& library) {
    HMODULE data = ::LoadLibraryExW(library.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!data) return {};
    std::vector<short> samples;
    if (HRSRC res = ::FindResourceW(data, L"BGM", L"WAVE")) {
        auto* bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(data, res)));
        DWORD size = ::SizeofResource(data, res);
        // 44-byte header: the generator writes fmt then data, nothing else.
        if (bytes && size > 44) samples.assign(reinterpret_cast<const short*>(bytes + 44),
                                               reinterpret_cast<const short*>(bytes + size));
    }
    ::FreeLibrary(data);
    return Envelope(samples, kBlock);
}

// The piece offset (in blocks) that the recording from block `from` on sounds
// like: the offset whose next three seconds of levels differ least, on a log
// scale, from three seconds of the recording starting within a second of from.
int MatchOffset(const std::vector<double>& rec, size_t from, const std::vector<double>& piece, double* distance) {
    const size_t window = 30;
    int best = -1;
    *distance = 1e9;
    for (size_t r = from; r < from + 10 && r + window <= rec.size(); ++r)
        for (size_t k = 0; k + window <= piece.size(); ++k) {
            double d = 0;
            for (size_t i = 0; i < window; ++i) d += std::fabs(std::log((rec[r + i] + 1) / (piece[k + i] + 1)));
            d /= window;
            if (d < *distance) {
                *distance = d;
                best = static_cast<int>(k);
            }
        }
    return best;
}

// The first block at or after from that carries music, or -1.
int Onset(const std::vector<double>& env, size_t from = 0) {
    for (size_t i = from; i < env.size(); ++i)
        if (env[i] > kMusic) return static_cast<int>(i);
    return -1;
}

void ClickSliderSpot(HWND slider, int x, int y) {
    POINT p = ClientToScreenPoint(slider, x, y);
    MouseMoveTo(p.x + 1, p.y);
    ClickAt(p.x, p.y);
}

HWND WaitForLauncher(DWORD pid) {
    HWND frame = nullptr;
    PumpUntil([&] { return (frame = FindTopLevel(L"Orvane", pid)) != nullptr; }, 30000);
    return frame;
}

// The launcher's program folder in a temp folder, with or without the library.
std::wstring ProgramFolderCopy(bool withLibrary) {
    std::wstring folder = MakeTempFolder(L"orvn_music");
    CopyFileTo(DistFolder() + L"Orvn.exe", folder + L"Orvn.exe");
    if (withLibrary) CopyFileTo(DistFolder() + L"Orvmedia.dll", folder + L"Orvmedia.DLL");
    return folder;
}

}  // namespace

TEST(MusicProcess, PlaysAtStartAndExitSilencesIt) {
    std::wstring folder = ProgramFolderCopy(true);
    SinkRecording start;
    ASSERT_TRUE(start.Start(10));
    Pump(300);  // the recording's first blocks: silence
    DWORD t0 = ::GetTickCount();
    Process launcher;
    ASSERT_TRUE(StartProcess(folder + L"Orvn.exe", L"", folder, &launcher));
    HWND frame = WaitForLauncher(launcher.pid);
    ASSERT_NE(frame, nullptr);
    double windowAt = (::GetTickCount() - t0) / 1000.0;
    std::vector<short> samples;
    ASSERT_TRUE(start.Wait(&samples)) << "no recording from the null sink";
    std::vector<double> env = Envelope(samples, kBlock);
    EXPECT_LT(Rms(samples, 0, 0.25), kSilence) << "silence before the launcher";
    int onset = Onset(env);
    ASSERT_GE(onset, 0) << "no music within 10 s of the start";
    std::printf("music: window after %.2f s, music after %.2f s (from the process start, +/- 0.1 s)\n", windowAt,
                onset * kBlock - 0.3);
    EXPECT_GT(Rms(samples, onset * kBlock + 1, onset * kBlock + 3), kMusic);

    // Exit: the window takes a moment to go on a display without a window
    // manager; the music must not outlast the click.
    HWND view = ::GetWindow(frame, GW_CHILD);
    SinkRecording exit;
    ASSERT_TRUE(exit.Start(1.5));
    Pump(300);
    POINT p = ClientToScreenPoint(view, 581, 452);
    ClickAt(p.x, p.y);
    DWORD clickAt = ::GetTickCount();
    ASSERT_TRUE(exit.Wait(&samples));
    bool aliveAfter = launcher.Wait(0) == STILL_ACTIVE;
    std::printf("exit: process still running %.2f s after the click: %s\n", (::GetTickCount() - clickAt) / 1000.0,
                aliveAfter ? "yes" : "no");
    EXPECT_GT(Rms(samples, 0, 0.2), kMusic) << "playing before the click";
    EXPECT_LT(Rms(samples, 0.9, 1.5), kSilence) << "silent after it";
    EXPECT_EQ(launcher.Wait(30000), 0u);
    RemoveFolder(folder);
}

TEST(MusicProcess, WithoutTheLibraryStartsAndRunsSilently) {
    std::wstring folder = ProgramFolderCopy(false);
    SinkRecording rec;
    ASSERT_TRUE(rec.Start(5));
    Process launcher;
    ASSERT_TRUE(StartProcess(folder + L"Orvn.exe", L"", folder, &launcher));
    HWND frame = WaitForLauncher(launcher.pid);
    ASSERT_NE(frame, nullptr);
    std::vector<short> samples;
    ASSERT_TRUE(rec.Wait(&samples));
    EXPECT_LT(Rms(samples, 0, 5), kSilence);
    EXPECT_EQ(WaitForDialog(L"Orvane", 500, launcher.pid), nullptr) << "no message";
    DWORD_PTR answer;
    EXPECT_TRUE(::SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer)) << "it runs";
    // The slider's play spot finds no library either, and says nothing.
    HWND view = ::GetWindow(frame, GW_CHILD);
    POINT p = ClientToScreenPoint(view, 110 + 49, 427 + 10);
    SinkRecording again;
    ASSERT_TRUE(again.Start(2));
    ClickAt(p.x, p.y);
    ASSERT_TRUE(again.Wait(&samples));
    EXPECT_LT(Rms(samples, 0, 2), kSilence);
    EXPECT_EQ(WaitForDialog(L"Orvane", 300, launcher.pid), nullptr);
    p = ClientToScreenPoint(view, 581, 452);
    ClickAt(p.x, p.y);
    EXPECT_EQ(launcher.Wait(30000), 0u);
    RemoveFolder(folder);
}

namespace {

// The real frame in this process, with the library beside the test program:
// the music starts as the frame opens.
class MusicTest : public LauncherFixture {
protected:
    void SetUp() override {
        m_library = TestFolder() + L"Orvmedia.DLL";
        ASSERT_TRUE(CopyFileTo(DistFolder() + L"Orvmedia.dll", m_library));
        LauncherFixture::SetUp();
        Pump(300);
    }
    void TearDown() override {
        LauncherFixture::TearDown();
        ::DeleteFileW(m_library.c_str());
    }
    std::wstring m_library;
};

}  // namespace

TEST_F(MusicTest, StopSpotSilencesPlaySpotRestartsFromTheBeginningLibraryLoadedOnce) {
    std::vector<double> piece = PieceEnvelope(m_library);
    ASSERT_GT(piece.size(), 400u) << "at least 40 s of music";
    HWND slider = View().GetVolumeSlider().GetHwnd();
    ASSERT_NE(slider, nullptr);

    // Playing since the frame opened; the stop spot silences it.
    SinkRecording stop;
    ASSERT_TRUE(stop.Start(2.5));
    Pump(1000);
    ClickSliderSpot(slider, 49, 26);
    std::vector<short> samples;
    ASSERT_TRUE(stop.Wait(&samples));
    EXPECT_GT(Rms(samples, 0.1, 0.6), kMusic) << "the music played from the start";
    EXPECT_LT(Rms(samples, 2.0, 2.5), kSilence) << "the stop spot silenced it";

    // The play spot starts it again from the beginning; pressed again four
    // seconds in, it starts over once more.
    SinkRecording play;
    ASSERT_TRUE(play.Start(12));
    Pump(1000);
    ClickSliderSpot(slider, 49, 10);
    DWORD firstPress = ::GetTickCount();
    Pump(4000);
    ClickSliderSpot(slider, 49, 10);
    DWORD secondPress = ::GetTickCount();
    ASSERT_TRUE(play.Wait(&samples));
    std::vector<double> env = Envelope(samples, kBlock);
    int first = Onset(env);
    ASSERT_GE(first, 0) << "the play spot brought no music";
    double distance = 0;
    int offset = MatchOffset(env, first > 2 ? first - 2 : 0, piece, &distance);
    std::printf("play spot: music from %.1f s of the recording, sounds like the piece at %.1f s (distance %.2f)\n",
                first * kBlock, offset * kBlock, distance);
    // Where the three seconds compared begin is searched within a second, so a
    // start anywhere in that second matches; carrying on would match 4 s later.
    EXPECT_LE(offset, 15) << "it starts at the beginning";
    size_t pressBlock = static_cast<size_t>(first) + (secondPress - firstPress) / 100 - 3;
    offset = MatchOffset(env, pressBlock, piece, &distance);
    std::printf("second press: sounds like the piece at %.1f s (distance %.2f)\n", offset * kBlock, distance);
    EXPECT_LE(offset, 15) << "a start while playing restarts the piece";

    // Three starts, one load: one FreeLibrary takes the library away.
    ::SendMessageW(View().GetHwnd(), WM_SOUNDPLAY_STOP, 0, 0);
    HMODULE loaded = ::GetModuleHandleW(L"Orvmedia.DLL");
    ASSERT_NE(loaded, nullptr);
    ::FreeLibrary(loaded);
    EXPECT_EQ(::GetModuleHandleW(L"Orvmedia.DLL"), nullptr) << "loaded more than once";
}

TEST_F(MusicTest, DoubleClickThatStartsAGameSilencesItFirst) {
    ASSERT_TRUE(Servers().ok());
    WriteList(L"Blizzard.txt", {{L"Refused", Refused()}});
    ASSERT_TRUE(SetRegistryString(HKEY_LOCAL_MACHINE, L"Software\\Battle.net\\Configuration", L"Server List", L""));
    std::wstring gameFolder = MakeTempFolder(L"orvn_game");
    std::wstring game = gameFolder + L"StarCraft.exe";
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"GameStandIn.exe", game));
    CAppBase::Get()->WriteProfileString(L"ProgramPath", L"StarCraft", game);
    Choose(ID_STARCRAFT_BATTLENET, 0);
    ASSERT_TRUE(WaitIdle());

    SinkRecording rec;
    ASSERT_TRUE(rec.Start(3));
    Pump(1000);
    DoubleClickRow(Refused());
    std::string log;
    EXPECT_TRUE(PumpUntil([&] { return ReadFileBytes(game + L".log", &log) && !log.empty(); }, 10000))
        << "the game started";
    std::vector<short> samples;
    ASSERT_TRUE(rec.Wait(&samples));
    EXPECT_GT(Rms(samples, 0.2, 0.7), kMusic) << "playing before the double-click";
    EXPECT_LT(Rms(samples, 2.3, 3.0), kSilence) << "silent once the game runs";
    CloseFrame();
    RemoveFolder(gameFolder);
}

TEST_F(MusicTest, LowerSliderGivesQuieterMusic) {
    CSkinSlider& slider = View().GetVolumeSlider();
    auto dragTo = [&](int from, int x) {
        POINT a = ClientToScreenPoint(slider.GetHwnd(), from, 19), b = ClientToScreenPoint(slider.GetHwnd(), x, 19);
        MouseMoveTo(a.x + 1, a.y);
        MouseMoveTo(a.x, a.y);
        MouseDown();
        MouseMoveTo(b.x, b.y);
        MouseUp();
        Pump(100);
    };
    dragTo(150, 300);
    ASSERT_EQ(slider.GetValue(), 65535);
    SinkRecording loud;
    ASSERT_TRUE(loud.Start(3));
    std::vector<short> samples;
    ASSERT_TRUE(loud.Wait(&samples));
    double full = Rms(samples, 0.5, 3);

    dragTo(200, 84 + 19);  // a tenth of the range
    EXPECT_EQ(slider.GetValue(), 6452);
    SinkRecording quiet;
    ASSERT_TRUE(quiet.Start(3));
    ASSERT_TRUE(quiet.Wait(&samples));
    double low = Rms(samples, 0.5, 3);
    std::printf("slider at 65535: level %.0f; at 6452: level %.0f (%.2f)\n", full, low, low / full);
    EXPECT_GT(full, kMusic);
    EXPECT_LT(low, full * 0.4) << "the slider's volume reaches the music";
    EXPECT_GT(low, kSilence) << "quieter, not silent";
    dragTo(120, 300);
}
