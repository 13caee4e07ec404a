// The volume strip and what it stands on: the off-screen context, the mixer
// against the real mixer Wine offers on the bench's sound server (and against
// none at all, in a child run without audio drivers), and the slider driven by
// the real mouse in a real window.
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "MemoryDC.h"
#include "Messages.h"
#include "SkinSlider.h"
#include "TestSupport.h"
#include "UniqueHandle.h"
#include "VolumeMixer.h"
#include "resource.h"

using namespace testing_support;

namespace {

const wchar_t kNoAudioVariable[] = L"ORVN_TEST_NO_AUDIO";

DWORD PixelAt(HDC dc, int x, int y) { return ::GetPixel(dc, x, y) & 0xFFFFFF; }

// A top-level window standing in for the view: the slider at the view's place,
// and every message the slider posts kept.
class CHost : public CWindow {
public:
    bool Create() {
        LPCWSTR cls = RegisterClass(L"OrvVolumeTestWnd", 0, ::LoadCursorW(nullptr, IDC_ARROW),
                                    static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)), nullptr);
        RECT r{100, 60, 100 + 640, 60 + 480};
        ::AdjustWindowRectEx(&r, WS_POPUP, FALSE, 0);
        if (!CreateEx(0, cls, L"Volume", WS_POPUP | WS_VISIBLE, r, nullptr, 0)) return false;
        ::SetForegroundWindow(m_hWnd);
        return slider.Create(POINT{110, 427}, m_hWnd, 77) != FALSE;
    }
    void Clear() {
        starts = stops = commands = 0;
        lastCommand = 0;
    }
    CSkinSlider slider;
    int starts = 0, stops = 0, commands = 0;
    WPARAM lastCommand = 0;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_SOUNDPLAY_START) ++starts;
        if (msg == WM_SOUNDPLAY_STOP) ++stops;
        if (msg == WM_COMMAND) {
            ++commands;
            lastCommand = wParam;
        }
        return Default(msg, wParam, lParam);
    }
};

class SliderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_host.Create());
        Pump(200);
        m_host.Clear();
    }
    // Screen point of a point of the slider.
    POINT At(int x, int y) { return ClientToScreenPoint(m_host.slider, x, y); }
    // The pointer arrives in two steps, as a hand moves it: the cursor is
    // chosen before the move that brings the pointer is known to the control.
    void MoveTo(int x, int y) {
        POINT p = At(x, y);
        MouseMoveTo(p.x + 1, p.y);
        MouseMoveTo(p.x, p.y);
    }
    // Press in the track at from, drag to x and release there. Successive
    // drags start at different places: a second press on the same spot
    // would be a double-click.
    void DragTo(int x, int from) {
        MoveTo(from, 19);
        MouseDown();
        MoveTo((from + x) / 2, 19);
        MoveTo(x, 19);
        MouseUp();
        Pump(50);
    }
    CHost m_host;
};

}  // namespace

TEST(MemoryDC, CopiesOnlyItsRectangleAndLeavesNoObjectBehind) {
    WindowDC screen(nullptr);
    UniqueMemoryDC target(::CreateCompatibleDC(screen.Get()));
    UniqueGdiObject canvas(::CreateCompatibleBitmap(screen.Get(), 400, 80));
    SelectObjectScope select(target.Get(), canvas.Get());
    RECT all{0, 0, 400, 80};
    UniqueGdiObject greyBrush(::CreateSolidBrush(RGB(40, 50, 60)));
    ::FillRect(target.Get(), &all, static_cast<HBRUSH>(greyBrush.Get()));

    DWORD objects = GdiObjectCount();
    HBITMAP offscreen;
    {
        CMemoryDC memory(target.Get(), 322, 37);
        offscreen = memory.GetBitmap();
        ASSERT_NE(offscreen, nullptr);
        EXPECT_EQ(::GetCurrentObject(memory, OBJ_BITMAP), offscreen) << "drawing goes into the off-screen bitmap";
        RECT big{-50, -50, 500, 500};  // larger than the bitmap: only 322 by 37 exist
        UniqueGdiObject red(::CreateSolidBrush(RGB(255, 0, 0)));
        ::FillRect(memory, &big, static_cast<HBRUSH>(red.Get()));
        // The owner's one copy, as the slider makes it.
        ::BitBlt(target.Get(), 0, 0, 322, 37, memory, 0, 0, SRCCOPY);
    }
    const DWORD red = 0x0000FF, grey = 0x3C3228;  // as GetPixel reads RGB(255,0,0), RGB(40,50,60)
    EXPECT_EQ(PixelAt(target.Get(), 0, 0), red);
    EXPECT_EQ(PixelAt(target.Get(), 321, 36), red);
    EXPECT_EQ(PixelAt(target.Get(), 322, 10), grey);
    EXPECT_EQ(PixelAt(target.Get(), 10, 37), grey);
    EXPECT_EQ(PixelAt(target.Get(), 399, 79), grey);
    EXPECT_EQ(::GetObjectType(offscreen), 0u) << "the bitmap is deleted, so it was no longer selected";
    EXPECT_EQ(GdiObjectCount(), objects);
}

TEST(VolumeMixer, VolumeOfTheBenchMixer) {
    ASSERT_GT(::mixerGetNumDevs(), 0u) << "the bench's PulseAudio gives Wine a mixer";
    CVolumeMixer mixer;
    ASSERT_TRUE(mixer.IsVolumeAvailable()) << "the wave-out line and a volume control are found";
    DWORD minimum = mixer.GetMinimum(), maximum = mixer.GetMaximum();
    std::printf("volume: %lu..%lu in %lu steps, %lu channels, now %lu\n", minimum, maximum, mixer.GetSteps(),
                mixer.GetChannels(), mixer.GetVolume());
    EXPECT_EQ(minimum, 0u);
    EXPECT_EQ(maximum, 65535u);
    EXPECT_EQ(mixer.GetSteps(), 192u);
    // Wine's volume is one value for all channels, held as a float: a value
    // comes back within one unit.
    mixer.SetVolume(20000);
    EXPECT_NEAR(static_cast<double>(mixer.GetVolume()), 20000, 1);
    mixer.SetVolume(maximum + 1);  // outside the bounds: ignored
    EXPECT_NEAR(static_cast<double>(mixer.GetVolume()), 20000, 1);
    mixer.SetVolume(minimum);
    EXPECT_EQ(mixer.GetVolume(), minimum);
    mixer.SetVolume(maximum);
    EXPECT_EQ(mixer.GetVolume(), maximum);
    // The line Wine offers is stereo: both channels are written, the first is read.
    EXPECT_EQ(mixer.GetChannels(), 2u);
    mixer.Unmute();

    HWND window = ::FindWindowW(L"Wave Output Volume Msg Wnd Class", L"Wave Output Volume Msg Wnd");
    EXPECT_EQ(window, mixer.GetNotifyWindow());
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_FALSE(::IsWindowEnabled(window));
    EXPECT_EQ(::GetWindowThreadProcessId(window, nullptr), ::GetCurrentThreadId());
}

namespace {
DWORD g_notified[2];
void Notified(DWORD value, DWORD which) { g_notified[which] = value; }
}  // namespace

TEST(VolumeMixer, NewestInstanceTakesTheNotificationsAndEitherEndClearsThem) {
    // Wine's mixer sends no change notifications: they are sent here as the
    // mixer would, to the hidden windows themselves.
    auto first = std::make_unique<CVolumeMixer>();
    first->SetChangeCallback(Notified, 0);
    first->SetVolume(30000);
    EXPECT_EQ(CVolumeMixer::Current(), first.get());
    g_notified[0] = g_notified[1] = 0;
    ::SendMessageW(first->GetNotifyWindow(), MM_MIXM_CONTROL_CHANGE, 0, first->GetControlId());
    EXPECT_NEAR(static_cast<double>(g_notified[0]), 30000, 1);
    {
        CVolumeMixer second;
        second.SetChangeCallback(Notified, 1);
        EXPECT_EQ(CVolumeMixer::Current(), &second);
        EXPECT_NE(second.GetNotifyWindow(), first->GetNotifyWindow());
        g_notified[0] = g_notified[1] = 0;
        ::SendMessageW(first->GetNotifyWindow(), MM_MIXM_CONTROL_CHANGE, 0, first->GetControlId());
        EXPECT_EQ(g_notified[0], 0u) << "the first no longer hears them";
        EXPECT_NEAR(static_cast<double>(g_notified[1]), 30000, 1) << "the second does, whichever window got it";
        g_notified[1] = 0;
        ::SendMessageW(second.GetNotifyWindow(), MM_MIXM_CONTROL_CHANGE, 0, second.GetControlId() + 1);
        EXPECT_EQ(g_notified[1], 0u) << "another control changed";
    }
    EXPECT_EQ(CVolumeMixer::Current(), nullptr) << "destroying the newer one clears it, though the first lives";
    g_notified[0] = 0;
    ::SendMessageW(first->GetNotifyWindow(), MM_MIXM_CONTROL_CHANGE, 0, first->GetControlId());
    EXPECT_EQ(g_notified[0], 0u);
    auto third = std::make_unique<CVolumeMixer>();
    first.reset();
    EXPECT_EQ(CVolumeMixer::Current(), nullptr) << "destroying the older one clears it too";
    third->SetVolume(65535);
}

// Run by NoDeviceLeavesEverythingAtMinusOne in a child without audio drivers.
TEST(VolumeMixer, ChildWithoutAudio) {
    wchar_t flag[8] = {};
    if (!::GetEnvironmentVariableW(kNoAudioVariable, flag, 8)) GTEST_SKIP() << "only in the child";
    ASSERT_EQ(::mixerGetNumDevs(), 0u);
    {
        CVolumeMixer mixer;
        EXPECT_FALSE(mixer.IsVolumeAvailable());
        EXPECT_EQ(mixer.GetMinimum(), static_cast<DWORD>(-1));
        EXPECT_EQ(mixer.GetMaximum(), static_cast<DWORD>(-1));
        EXPECT_EQ(mixer.GetSteps(), static_cast<DWORD>(-1));
        EXPECT_EQ(mixer.GetVolume(), static_cast<DWORD>(-1));
        mixer.SetVolume(0);
        mixer.Unmute();
        mixer.Mute();
        EXPECT_EQ(CVolumeMixer::Current(), nullptr);
        EXPECT_EQ(::FindWindowW(L"Wave Output Volume Msg Wnd Class", nullptr), nullptr);
    }
    // The slider then has no range: the thumb rests at 83, a drag still moves
    // the picture, and the release writes nothing anywhere.
    CHost host;
    ASSERT_TRUE(host.Create());
    Pump(200);
    EXPECT_EQ(host.slider.GetMinimum(), -1);
    EXPECT_EQ(host.slider.GetMaximum(), -1);
    EXPECT_EQ(host.slider.GetValue(), -1);
    EXPECT_EQ(host.slider.ThumbX(), 83);
    POINT p = ClientToScreenPoint(host.slider, 150, 19);
    MouseMoveTo(p.x, p.y);
    MouseDown();
    MouseMoveTo(p.x + 30, p.y);
    MouseUp();
    Pump(100);
    EXPECT_EQ(host.commands, 1);
    EXPECT_EQ(host.slider.GetValue(), 0) << "MulDiv of a range of 0";
}

TEST(VolumeMixer, NoDeviceLeavesEverythingAtMinusOne) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    // Wine's "no audio driver" setting, read by a process when it first opens
    // audio: this one already has, so only the child goes without.
    HKEY drivers;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &drivers, nullptr),
              ERROR_SUCCESS);
    UniqueRegKey key(drivers);
    ASSERT_EQ(::RegSetValueExW(drivers, L"Audio", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t)),
              ERROR_SUCCESS);
    ::SetEnvironmentVariableW(kNoAudioVariable, L"1");
    Process child;
    bool started = StartProcess(self, L"--gtest_filter=VolumeMixer.ChildWithoutAudio", TestFolder(), &child);
    ::SetEnvironmentVariableW(kNoAudioVariable, nullptr);
    DWORD code = started ? child.Wait(120000) : STILL_ACTIVE;
    ::RegDeleteValueW(drivers, L"Audio");
    ASSERT_TRUE(started);
    EXPECT_EQ(code, 0u) << "the child's checks failed (its output is above)";
}

TEST_F(SliderTest, RangeFromTheMixerAndDragsWriteOnRelease) {
    CSkinSlider& slider = m_host.slider;
    ASSERT_EQ(slider.GetMinimum(), 0);
    ASSERT_EQ(slider.GetMaximum(), 65535);
    EXPECT_EQ(static_cast<DWORD>(slider.GetValue()), slider.GetMixer().GetVolume()) << "the mixer's value at start";

    DragTo(180, 150);
    EXPECT_EQ(slider.GetValue(), 32598) << "MulDiv(65535, 96, 193)";
    EXPECT_NEAR(static_cast<double>(slider.GetMixer().GetVolume()), 32598, 1) << "written to the mixer";
    EXPECT_EQ(slider.ThumbX(), 180);
    EXPECT_EQ(m_host.commands, 1);
    EXPECT_EQ(m_host.lastCommand, 77u);
    EXPECT_EQ(m_host.starts + m_host.stops, 0);
    EXPECT_FALSE(slider.IsDragging());
    EXPECT_EQ(::GetCapture(), nullptr);

    DragTo(40, 120);  // left of the track
    EXPECT_EQ(slider.GetValue(), 0);
    EXPECT_EQ(slider.GetMixer().GetVolume(), 0u);
    DragTo(310, 250);  // right of it
    EXPECT_EQ(slider.GetValue(), 65535);
    EXPECT_EQ(slider.GetMixer().GetVolume(), 65535u);
    MoveTo(150, 19);
    MouseDown();
    MoveTo(150, 19 + 200);  // far below the control: x still counts
    MoveTo(600, 19 + 200);
    MouseUp();
    Pump(50);
    EXPECT_EQ(slider.GetValue(), 65535);
    EXPECT_EQ(m_host.commands, 4);
}

TEST_F(SliderTest, PlayAndStopSpotsPostOnceAndStartNoDrag) {
    MoveTo(49, 10);
    MouseDown();
    MouseUp();
    Pump(100);
    EXPECT_EQ(m_host.starts, 1);
    EXPECT_EQ(m_host.stops, 0);
    EXPECT_EQ(m_host.commands, 0) << "no drag, so no volume write";

    MoveTo(49, 26);
    MouseDown();
    MouseUp();
    Pump(100);
    EXPECT_EQ(m_host.starts, 1);
    EXPECT_EQ(m_host.stops, 1);

    // In the track: a drag, and no sound message.
    MoveTo(200, 19);
    MouseDown();
    Pump(50);
    EXPECT_TRUE(m_host.slider.IsDragging());
    EXPECT_EQ(::GetCapture(), m_host.slider.GetHwnd());
    MouseUp();
    Pump(100);
    EXPECT_EQ(m_host.starts + m_host.stops, 2);
}

TEST_F(SliderTest, TrackCursorOverTheTrackArrowElsewhereAlsoDuringADrag) {
    HCURSOR track = ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_TRACK_CURSOR));
    HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
    ASSERT_NE(track, nullptr);
    MoveTo(150, 19);
    EXPECT_EQ(::GetCursor(), track);
    MoveTo(10, 19);  // the speaker
    EXPECT_EQ(::GetCursor(), arrow);
    MoveTo(49, 10);  // the play spot
    EXPECT_EQ(::GetCursor(), arrow);

    MoveTo(150, 19);
    MouseDown();
    MoveTo(60, 19);  // outside the track, still over the control
    EXPECT_EQ(::GetCursor(), arrow);
    MoveTo(200, 19);
    EXPECT_EQ(::GetCursor(), track);
    MoveTo(200, -60);  // above the control, over the host
    EXPECT_EQ(::GetCursor(), arrow);
    MouseUp();
    Pump(50);
}

TEST_F(SliderTest, PictureIsTheTrackWithTheThumbWhereTheValueSays) {
    DragTo(180, 150);
    ::RedrawWindow(m_host, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(100);

    // What the slider should show, composed here from its two pictures.
    WindowDC screen(nullptr);
    UniqueMemoryDC expected(::CreateCompatibleDC(screen.Get()));
    UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen.Get(), CSkinSlider::kWidth, CSkinSlider::kHeight));
    SelectObjectScope select(expected.Get(), bitmap.Get());
    CDIB track, thumb;
    ASSERT_TRUE(track.LoadFromResource(IDB_SLIDER_TRACK));
    ASSERT_TRUE(thumb.LoadFromResource(IDB_SLIDER_THUMB));
    EXPECT_EQ(track.GetWidth(), 322);
    EXPECT_EQ(thumb.GetWidth(), 19);
    track.DrawCell(expected.Get(), 0, 0, 0);
    thumb.DrawCell(expected.Get(), 180, 0, 0);

    POINT origin = ClientToScreenPoint(m_host.slider, 0, 0);
    int differences = 0;
    for (int y = 0; y < CSkinSlider::kHeight; ++y)
        for (int x = 0; x < CSkinSlider::kWidth; ++x)
            if (PixelAt(screen.Get(), origin.x + x, origin.y + y) != PixelAt(expected.Get(), x, y)) ++differences;
    EXPECT_EQ(differences, 0);
    // Around the control the host's black background is untouched.
    POINT host = ClientToScreenPoint(m_host, 0, 0);
    EXPECT_EQ(PixelAt(screen.Get(), host.x + 109, host.y + 440), 0u);
    EXPECT_EQ(PixelAt(screen.Get(), host.x + 432, host.y + 440), 0u);
    EXPECT_EQ(PixelAt(screen.Get(), host.x + 200, host.y + 464), 0u);
}
