#pragma once
// The 322 by 37 volume strip: a speaker, the play and stop spots (which only
// post "SoundPlay Start" / "SoundPlay Stop" to the parent) and a track whose
// thumb sets the wave-out volume when it is released.
#include <windows.h>

#include "DIB.h"
#include "VolumeMixer.h"
#include "Window.h"

class CSkinSlider : public CWindow {
public:
    static constexpr int kWidth = 322;
    static constexpr int kHeight = 37;
    static constexpr RECT kPlaySpot{38, 4, 60, 17};
    static constexpr RECT kStopSpot{38, 20, 60, 33};
    static constexpr RECT kTrack{84, 5, 277, 33};
    static constexpr int kTravel = 193;  // the thumb's left edge runs 84..277

    CSkinSlider() = default;

    BOOL Create(POINT topLeft, HWND parent, UINT id);
    void SetMinimum(int value) { m_nMinimum = value; }
    void SetMaximum(int value) { m_nMaximum = value; }
    void SetValue(int value);

    int GetMinimum() const { return m_nMinimum; }
    int GetMaximum() const { return m_nMaximum; }
    int ThumbX() const;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void OnLButtonDown(WPARAM wParam, LPARAM lParam);
    void OnLButtonUp(WPARAM wParam, LPARAM lParam);
    void OnMouseMove(WPARAM wParam, LPARAM lParam);
    void ShowCursor();
    int ValueFromX(int x) const;

    CVolumeMixer m_mixer;
    int m_nValue = 0;
    int m_nMinimum = 0;
    int m_nMaximum = 100;
    CDIB m_track;
    CDIB m_thumb;
    HCURSOR m_hTrackCursor = nullptr;
    // Outside everything until the pointer first moves over the control.
    int m_nPointerX = -1;
    int m_nPointerY = -1;
    BOOL m_bDragging = FALSE;
    UINT m_nID = 0;
};
