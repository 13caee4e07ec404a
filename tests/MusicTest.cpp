// The music as a player hears it on the bench's null sink, from the frame in this process.
#include <winsock2.h>
#include <windows.h>

#include <vector>

#include <gtest/gtest.h>

#include "Layout.h"
#include "LauncherFixture.h"

using namespace testing_support;

namespace {

constexpr double kBlock = 0.1;   // seconds per envelope block
constexpr double kSilence = 20;  // the null sink gives exact zeros when nothing plays
constexpr double kMusic = 300;   // the piece's quietest tenth of a second is far above this

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


}  // namespace

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
    HWND Slider() { return VolumeStrip(View()); }
    std::wstring m_library;
};

}  // namespace

TEST_F(MusicTest, StopSpotSilencesPlaySpotStartsItAgainExitSilencesIt) {
    std::vector<short> rec = RecordSink(6, [&] {
        Pump(1000);
        ClickIn(Slider(), 49, 26);
        Pump(2000);
        ClickIn(Slider(), 49, 10);
    });
    EXPECT_GT(Rms(rec, 0.1, 0.6), kMusic) << "playing since the frame opened";
    EXPECT_LT(Rms(rec, 2.0, 2.5), kSilence) << "the stop spot silenced it";
    EXPECT_GT(Onset(Envelope(rec, kBlock), 25), 25) << "the play spot brought no music";
    // Exit stops it.
    POINT exit = Centre(Layout::kExitButton);
    rec = RecordSink(1.5, [&] {
        Pump(300);
        ClickIn(View(), exit.x, exit.y);
    });
    EXPECT_GT(Rms(rec, 0, 0.2), kMusic) << "playing before Exit";
    EXPECT_LT(Rms(rec, 0.9, 1.5), kSilence) << "playing after Exit";
}

// Left last: it leaves the volume full, as the other cases want it.
TEST_F(MusicTest, SliderSetsTheWaveOutVolume) {
    // What the player hears: full, a tenth of the range, nothing.
    Drag(Slider(), 150, 300);  // released right of the track
    double full = Rms(RecordSink(3), 0.5, 3);
    Drag(Slider(), 200, 84 + 19);
    EXPECT_EQ(::GetCapture(), nullptr);
    double low = Rms(RecordSink(3), 0.5, 3);
    Drag(Slider(), 120, 40);  // released left of the track
    std::vector<short> after = RecordSink(2);
    ASSERT_FALSE(after.empty()) << "nothing recorded";
    double none = Rms(after, 0.5, 2);
    EXPECT_GT(full, kMusic);
    EXPECT_LT(low, full * 0.4) << "the slider's volume reaches the music";
    EXPECT_GT(low, kSilence);
    EXPECT_LT(none, kSilence);
    Drag(Slider(), 130, 300);
}
