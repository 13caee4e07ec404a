// The music as a player hears it on the bench's null sink, from the real launcher and the frame in this process.
#include <winsock2.h>
#include <windows.h>

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "AppBase.h"
#include "Layout.h"
#include "LauncherFixture.h"
#include "Messages.h"
#include "SkinSlider.h"
#include "resource.h"

using namespace testing_support;

namespace {

constexpr double kBlock = 0.1;   // seconds per envelope block
constexpr double kSilence = 20;  // the null sink gives exact zeros when nothing plays
constexpr double kMusic = 300;   // the piece's quietest tenth of a second is far above this
constexpr POINT kExit = Layout::Centre(Layout::kExitButton);

// The envelope of the library's "BGM" wave (a 44-byte header, then samples).
std::vector<double> PieceEnvelope() {
    std::vector<short> samples;
    HMODULE data = ::GetModuleHandleW(L"Orvmedia.DLL");  // loaded by the playing frame
    HRSRC res = data ? ::FindResourceW(data, L"BGM", L"WAVE") : nullptr;
    if (res && ::SizeofResource(data, res) > 44) {
        auto* bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(data, res)));
        samples.assign(reinterpret_cast<const short*>(bytes + 44),
                       reinterpret_cast<const short*>(bytes + ::SizeofResource(data, res)));
    }
    return Envelope(samples, kBlock);
}

// The piece's offset (blocks) best matching three seconds of the recording from within a second after from.
int PieceOffset(const std::vector<double>& rec, size_t from, const std::vector<double>& piece) {
    const size_t window = 30;
    int best = -1;
    double least = 1e9;
    for (size_t r = from; r < from + 10 && r + window <= rec.size(); ++r)
        for (size_t k = 0; k + window <= piece.size(); ++k) {
            double d = 0;
            for (size_t i = 0; i < window; ++i) d += std::fabs(std::log((rec[r + i] + 1) / (piece[k + i] + 1)));
            if (d < least) least = d, best = static_cast<int>(k);
        }
    return best;
}

int Onset(const std::vector<double>& env, size_t from = 0) {
    for (size_t i = from; i < env.size(); ++i)
        if (env[i] > kMusic) return static_cast<int>(i);
    return -1;
}

// Successive drags start at different places: a press on the same spot is a double-click.
void Drag(HWND slider, int from, int to) {
    MoveTo(slider, from, 19);
    MouseDown();
    MoveTo(slider, (from + to) / 2, 19);
    MoveTo(slider, to, 19);
    MouseUp();
    Pump(100);
}

// Orvn.exe in a folder of its own: silent and saying nothing without the library or an audio driver.
void RunLauncher(bool library, bool audio) {
    OwnFolderLauncher launcher(L"Orvn.exe", library);
    // Wine reads the driver setting when a process first opens audio: this one already has.
    ASSERT_TRUE(audio || SetRegistryString(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Audio", L""));
    const bool playing = library && audio;
    HWND view = nullptr;
    std::vector<short> rec = RecordSink(playing ? 10 : 6, [&] {
        Pump(300);  // silence first
        if (launcher.Start()) view = launcher.View();
        if (playing || !view) return;
        HWND strip = ::ChildWindowFromPoint(view, Layout::Centre(Layout::kVolume));
        ClickIn(strip, 49, 10);             // the play spot
        if (!audio) Drag(strip, 150, 180);  // a strip without a range
    });
    ASSERT_NE(view, nullptr);
    if (!playing) {
        EXPECT_LT(Rms(rec, 0, 6), kSilence);
        EXPECT_EQ(WaitForDialog(L"Orvane", 300, launcher.Pid()), nullptr) << "no message";
        EXPECT_EQ(launcher.Exit(), 0u) << "it ran, and ends on Exit";
    } else {
        int onset = Onset(Envelope(rec, kBlock));
        ASSERT_GE(onset, 0) << "no music within 10 s of the start";
        EXPECT_GT(Rms(rec, onset * kBlock + 1, onset * kBlock + 3), kMusic);
        // The window takes a while to go without a window manager; the music must not outlast the click.
        rec = RecordSink(1.5, [&] {
            Pump(300);
            ClickIn(view, kExit.x, kExit.y);
        });
        EXPECT_GT(Rms(rec, 0, 0.2), kMusic) << "playing before Exit";
        EXPECT_LT(Rms(rec, 0.9, 1.5), kSilence) << "silent after it";
        EXPECT_EQ(launcher.Wait(30000), 0u) << "it ran, and ends on Exit";
    }
}

}  // namespace

TEST(MusicProcess, PlaysFromTheStartRunsSilentlyWithoutLibraryOrAudioAndExitSilencesIt) {
    for (auto [library, audio] : {std::pair{true, true}, {false, true}, {true, false}}) {
        SCOPED_TRACE(library ? (audio ? "library and audio" : "no audio driver") : "no library");
        RunLauncher(library, audio);
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Audio");
    }
}

namespace {

// The library beside the test program: the music starts as the frame opens.
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
    HWND Slider() { return View().GetVolumeSlider().GetHwnd(); }
    std::wstring m_library;
};

}  // namespace

TEST_F(MusicTest, StopSpotSilencesPlaySpotRestartsFromTheBeginningLibraryLoadedOnce) {
    std::vector<double> piece = PieceEnvelope();
    // Stop, play, and play again four seconds in: each time the opening is heard.
    DWORD first = 0, second = 0;
    std::vector<short> rec = RecordSink(14, [&] {
        Pump(1000);
        ClickIn(Slider(), 49, 26);
        Pump(2000);
        ClickIn(Slider(), 49, 10);
        first = ::GetTickCount();
        Pump(4000);
        ClickIn(Slider(), 49, 10);
        second = ::GetTickCount();
    });
    EXPECT_GT(Rms(rec, 0.1, 0.6), kMusic) << "playing since the frame opened";
    EXPECT_LT(Rms(rec, 2.0, 2.5), kSilence) << "the stop spot silenced it";
    std::vector<double> env = Envelope(rec, kBlock);
    int onset = Onset(env, 25);
    ASSERT_GT(onset, 25) << "the play spot brought no music";
    int offset1 = PieceOffset(env, onset - 2, piece);
    int offset2 = PieceOffset(env, onset + (second - first) / 100 - 3, piece);
    // The second compared may begin anywhere in a second; carrying on would be 4 s later.
    EXPECT_LE(offset1, 15);
    EXPECT_LE(offset2, 15) << "a start while playing restarts the piece";

    // Three starts, one load: one FreeLibrary takes the library away.
    ::SendMessageW(View().GetHwnd(), WM_SOUNDPLAY_STOP, 0, 0);
    HMODULE loaded = ::GetModuleHandleW(L"Orvmedia.DLL");
    ASSERT_NE(loaded, nullptr);
    ::FreeLibrary(loaded);
    EXPECT_EQ(::GetModuleHandleW(L"Orvmedia.DLL"), nullptr) << "loaded more than once";
}

// Left last: it leaves the volume full, as the other cases want it.
TEST_F(MusicTest, SliderSetsTheWaveOutVolumeAndThePictureAndCursorFollow) {
    HCURSOR track = ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_TRACK_CURSOR));
    HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
    MoveTo(Slider(), 10, 19);  // the speaker
    EXPECT_EQ(::GetCursor(), arrow);
    MoveTo(Slider(), 150, 19);
    EXPECT_EQ(::GetCursor(), track);
    CSkinSlider& slider = View().GetVolumeSlider();
    Drag(Slider(), 150, 300);  // released right of the track
    EXPECT_EQ(slider.GetMixer().GetVolume(), 65535u);
    double full = Rms(RecordSink(3), 0.5, 3);
    Drag(Slider(), 200, 84 + 19);  // a tenth of the range
    EXPECT_NEAR(slider.GetValue(), 65535 / 10, 65535 / 50);
    // Wine keeps the volume as a float: a value comes back within one unit.
    EXPECT_NEAR(slider.GetMixer().GetVolume(), slider.GetValue(), 1);
    EXPECT_EQ(::GetCapture(), nullptr);
    double low = Rms(RecordSink(3), 0.5, 3);
    EXPECT_GT(full, kMusic);
    EXPECT_LT(low, full * 0.4) << "the slider's volume reaches the music";
    EXPECT_GT(low, kSilence);

    // The screen shows the track with the thumb where it was let go, as the system's own loader draws them.
    Canvas expected(CSkinSlider::kWidth, CSkinSlider::kHeight);
    ASSERT_TRUE(expected.DrawResource(IDB_SLIDER_TRACK, 0, 0) && expected.DrawResource(IDB_SLIDER_THUMB, 84 + 19, 0));
    Canvas screen(Slider());
    int differing = 0;
    for (int y = 0; y < CSkinSlider::kHeight; ++y)
        for (int x = 0; x < CSkinSlider::kWidth; ++x) differing += screen.At(x, y) != expected.At(x, y);
    EXPECT_EQ(differing, 0);
    Drag(Slider(), 120, 40);  // released left of the track
    EXPECT_EQ(slider.GetMixer().GetVolume(), 0u);
    Drag(Slider(), 130, 300);
}
