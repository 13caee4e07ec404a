// The volume strip and what it stands on: the mixer
// against the real mixer Wine offers on the bench's sound server (and against
// none, in a child run without audio drivers), and the slider driven by the
// real mouse in a real window.
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <memory>

#include <gtest/gtest.h>

#include "Messages.h"
#include "SkinSlider.h"
#include "TestSupport.h"
#include "VolumeMixer.h"
#include "resource.h"

using namespace testing_support;

namespace {

const wchar_t kNoAudioVariable[] = L"ORVN_TEST_NO_AUDIO";
const RECT kSliderInView{110, 427, 432, 464};

DWORD g_notified[2];
void Notified(DWORD value, DWORD which) { g_notified[which] = value; }

// A window standing in for the view, the slider at the view's place in it.
class SliderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_host.Create(WS_POPUP | WS_VISIBLE, RECT{100, 60, 740, 540}));
        ASSERT_TRUE(m_slider.Create(POINT{110, 427}, m_host, 77));
        Pump(200);
    }
    int Count(UINT msg) {
        int n = 0;
        for (const auto& m : m_host.received) n += m.msg == msg;
        return n;
    }
    // The pointer arrives in two steps, as a hand moves it: the cursor is
    // chosen before the move that brings the pointer reaches the control.
    void MoveTo(int x, int y) {
        POINT p = ClientToScreenPoint(m_slider, x, y);
        MouseMoveTo(p.x + 1, p.y);
        MouseMoveTo(p.x, p.y);
    }
    // Successive drags start at different places: a second press on the same
    // spot would be a double-click.
    void Drag(int from, int to) {
        MoveTo(from, 19);
        MouseDown();
        MoveTo((from + to) / 2, 19);
        MoveTo(to, 19);
        MouseUp();
        Pump(50);
    }
    CRecordingWindow m_host{{WM_SOUNDPLAY_START, WM_SOUNDPLAY_STOP, WM_COMMAND}};
    CSkinSlider m_slider;
};

}  // namespace

TEST(VolumeMixer, BenchMixerBoundsValuesAndTheCurrentInstance) {
    ASSERT_GT(::mixerGetNumDevs(), 0u) << "the bench's PulseAudio gives Wine a mixer";
    auto first = std::make_unique<CVolumeMixer>();
    CVolumeMixer& mixer = *first;
    ASSERT_TRUE(mixer.IsVolumeAvailable());
    std::printf("volume: %lu..%lu in %lu steps, %lu channels, now %lu\n", mixer.GetMinimum(), mixer.GetMaximum(),
                mixer.GetSteps(), mixer.GetChannels(), mixer.GetVolume());
    EXPECT_EQ(mixer.GetMinimum(), 0u);
    EXPECT_EQ(mixer.GetMaximum(), 65535u);
    EXPECT_EQ(mixer.GetSteps(), 192u);
    EXPECT_EQ(mixer.GetChannels(), 2u) << "a stereo line: both channels written, the first read";
    // Wine keeps the volume as a float: a value comes back within one unit.
    mixer.SetVolume(20000);
    EXPECT_NEAR(mixer.GetVolume(), 20000.0, 1);
    mixer.SetVolume(65536);
    EXPECT_NEAR(mixer.GetVolume(), 20000.0, 1) << "maximum + 1 is ignored";
    mixer.SetVolume(0);
    EXPECT_EQ(mixer.GetVolume(), 0u);
    mixer.SetVolume(65535);
    EXPECT_EQ(mixer.GetVolume(), 65535u);
    mixer.Unmute();
    EXPECT_EQ(::FindWindowW(L"Wave Output Volume Msg Wnd Class", L"Wave Output Volume Msg Wnd"),
              mixer.GetNotifyWindow());
    EXPECT_FALSE(::IsWindowVisible(mixer.GetNotifyWindow()));

    // Wine sends no change notifications: they are sent here as a mixer would.
    mixer.SetChangeCallback(Notified, 0);
    auto notify = [](HWND to, DWORD control) {
        g_notified[0] = g_notified[1] = 0;
        ::SendMessageW(to, MM_MIXM_CONTROL_CHANGE, 0, control);
    };
    notify(mixer.GetNotifyWindow(), mixer.GetControlId());
    EXPECT_EQ(g_notified[0], 65535u);
    {
        CVolumeMixer second;
        second.SetChangeCallback(Notified, 1);
        EXPECT_EQ(CVolumeMixer::Current(), &second);
        notify(mixer.GetNotifyWindow(), mixer.GetControlId());
        EXPECT_EQ(g_notified[0], 0u) << "the first no longer hears them";
        EXPECT_EQ(g_notified[1], 65535u) << "the second does, whichever window got it";
        notify(second.GetNotifyWindow(), second.GetControlId() + 1);
        EXPECT_EQ(g_notified[1], 0u) << "another control changed";
    }
    EXPECT_EQ(CVolumeMixer::Current(), nullptr) << "destroying the newer one clears it";
    notify(mixer.GetNotifyWindow(), mixer.GetControlId());
    EXPECT_EQ(g_notified[0], 0u);
    auto third = std::make_unique<CVolumeMixer>();
    first.reset();
    EXPECT_EQ(CVolumeMixer::Current(), nullptr) << "destroying the older one clears it too";
}

// Run by NoDeviceLeavesEverythingAtMinusOne in a child without audio drivers.
TEST(VolumeMixer, ChildWithoutAudio) {
    if (!::GetEnvironmentVariableW(kNoAudioVariable, nullptr, 0)) GTEST_SKIP() << "only in the child";
    ASSERT_EQ(::mixerGetNumDevs(), 0u);
    {
        CVolumeMixer mixer;
        EXPECT_FALSE(mixer.IsVolumeAvailable());
        for (DWORD v : {mixer.GetMinimum(), mixer.GetMaximum(), mixer.GetSteps(), mixer.GetVolume()})
            EXPECT_EQ(v, static_cast<DWORD>(-1));
        mixer.SetVolume(0);
        mixer.Unmute();
        mixer.Mute();
        EXPECT_EQ(CVolumeMixer::Current(), nullptr);
        EXPECT_EQ(::FindWindowW(L"Wave Output Volume Msg Wnd Class", nullptr), nullptr);
    }
    // The slider has no range: the thumb rests at 83 and a drag moves only the picture.
    CRecordingWindow host({WM_COMMAND});
    CSkinSlider slider;
    ASSERT_TRUE(host.Create(WS_POPUP | WS_VISIBLE, RECT{100, 60, 740, 540}));
    ASSERT_TRUE(slider.Create(POINT{110, 427}, host, 77));
    Pump(200);
    EXPECT_EQ(slider.GetMinimum(), -1);
    EXPECT_EQ(slider.GetMaximum(), -1);
    EXPECT_EQ(slider.GetValue(), -1);
    EXPECT_EQ(slider.ThumbX(), 83);
    POINT p = ClientToScreenPoint(slider, 150, 19);
    MouseMoveTo(p.x, p.y);
    MouseDown();
    MouseMoveTo(p.x + 30, p.y);
    MouseUp();
    Pump(100);
    EXPECT_EQ(host.received.size(), 1u);
    EXPECT_EQ(slider.GetValue(), 0) << "MulDiv of a range of 0";
}

TEST(VolumeMixer, NoDeviceLeavesEverythingAtMinusOne) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    // Wine's "no audio driver" setting is read when a process first opens
    // audio: this one already has, so only the child goes without.
    const wchar_t kDrivers[] = L"Software\\Wine\\Drivers";
    ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, kDrivers, L"Audio", L""));
    ::SetEnvironmentVariableW(kNoAudioVariable, L"1");
    Process child;
    bool started = StartProcess(self, L"--gtest_filter=VolumeMixer.ChildWithoutAudio", TestFolder(), &child);
    ::SetEnvironmentVariableW(kNoAudioVariable, nullptr);
    DWORD code = started ? child.Wait(120000) : STILL_ACTIVE;
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kDrivers, L"Audio");
    ASSERT_TRUE(started);
    EXPECT_EQ(code, 0u) << "the child's checks failed (its output is above)";
}

TEST_F(SliderTest, DragsWriteOnReleaseAndThePictureFollows) {
    ASSERT_EQ(m_slider.GetMinimum(), 0);
    ASSERT_EQ(m_slider.GetMaximum(), 65535);
    EXPECT_EQ(static_cast<DWORD>(m_slider.GetValue()), m_slider.GetMixer().GetVolume());

    Drag(150, 180);
    EXPECT_EQ(m_slider.GetValue(), 32598) << "MulDiv(65535, 96, 193)";
    EXPECT_NEAR(m_slider.GetMixer().GetVolume(), 32598.0, 1) << "written to the mixer";
    ASSERT_EQ(m_host.received.size(), 1u);
    EXPECT_EQ(m_host.received[0].msg, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(m_host.received[0].wParam, 77u);
    EXPECT_EQ(::GetCapture(), nullptr);

    // The host shows the track with the thumb at 180, and nothing of the
    // slider outside its 322 by 37 pixels.
    ::RedrawWindow(m_host, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(100);
    Canvas expected(CSkinSlider::kWidth, CSkinSlider::kHeight);
    CDIB track, thumb;
    ASSERT_TRUE(track.LoadFromResource(IDB_SLIDER_TRACK));
    ASSERT_TRUE(thumb.LoadFromResource(IDB_SLIDER_THUMB));
    track.DrawCell(expected.dc(), 0, 0, 0);
    thumb.DrawCell(expected.dc(), 180, 0, 0);
    EXPECT_EQ(Canvas(m_host).Mismatches(kSliderInView, [&](int x, int y) { return expected.At(x, y); },
                                        ::GetSysColor(COLOR_BTNFACE)),
              0);

    Drag(120, 40);  // released left of the track
    EXPECT_EQ(m_slider.GetMixer().GetVolume(), 0u);
    Drag(250, 310);  // and right of it
    EXPECT_EQ(m_slider.GetMixer().GetVolume(), 65535u);
    EXPECT_EQ(Count(WM_SOUNDPLAY_START) + Count(WM_SOUNDPLAY_STOP), 0);
}

TEST_F(SliderTest, SpotsPostOnceStartNoDragAndTheCursorFollowsTheTrack) {
    HCURSOR track = ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_TRACK_CURSOR));
    HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
    MoveTo(49, 10);
    EXPECT_EQ(::GetCursor(), arrow);
    MouseDown();
    MouseUp();
    MoveTo(49, 26);
    MouseDown();
    MouseUp();
    Pump(100);
    EXPECT_EQ(Count(WM_SOUNDPLAY_START), 1);
    EXPECT_EQ(Count(WM_SOUNDPLAY_STOP), 1);
    EXPECT_EQ(Count(WM_COMMAND), 0) << "no drag, so no volume write";

    MoveTo(10, 19);  // the speaker
    EXPECT_EQ(::GetCursor(), arrow);
    MoveTo(150, 19);
    EXPECT_EQ(::GetCursor(), track);
    MouseDown();  // in the track: a drag, and no sound message
    EXPECT_EQ(::GetCapture(), m_slider.GetHwnd());
    MoveTo(60, 19);  // off the track, over the control
    EXPECT_EQ(::GetCursor(), arrow);
    MoveTo(200, 19);
    EXPECT_EQ(::GetCursor(), track);
    MoveTo(200, -60);  // over the host
    EXPECT_EQ(::GetCursor(), arrow);
    MouseUp();
    Pump(100);
    EXPECT_EQ(Count(WM_SOUNDPLAY_START) + Count(WM_SOUNDPLAY_STOP), 2);
    EXPECT_EQ(Count(WM_COMMAND), 1);
}
