#pragma once
// The volume of the wave-out ("Wave") source line of the playback mixer that
// belongs to the default wave-out device (or of its destination line, where
// the wave-out line's volume is a dummy, as under Wine). Values are the volume control's own
// units; the class does no scaling. A hidden window receives the mixer's
// control-change notifications; only the newest instance acts on them.
#include <windows.h>
#include <mmsystem.h>

#include "UniqueHandle.h"

struct MixerTraits {
    using Type = HMIXER;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::mixerClose(h); }
};

class CVolumeMixer {
public:
    using ChangeCallback = void (*)(DWORD value, DWORD user);

    CVolumeMixer();
    ~CVolumeMixer();  // deliberately not virtual: nothing derives and deletes
    CVolumeMixer(const CVolumeMixer&) = delete;
    CVolumeMixer& operator=(const CVolumeMixer&) = delete;

    virtual BOOL IsVolumeAvailable();
    virtual void Unmute();
    virtual void Mute();
    // Each of these answers -1 when there is no volume control.
    virtual DWORD GetSteps();
    virtual DWORD GetMinimum();
    virtual DWORD GetMaximum();
    virtual DWORD GetVolume();  // the first channel's value
    // Every channel, when minimum <= value <= maximum; otherwise nothing.
    virtual void SetVolume(DWORD value);
    virtual void SetChangeCallback(ChangeCallback callback, DWORD user);

private:
    bool Open();
    bool FindLine();
    // The line's volume control, when it has one that is not disabled.
    bool VolumeControlOf(DWORD lineId, MIXERCONTROLW* control);
    void Close();
    void SwitchLine(BOOL on);
    static LRESULT CALLBACK NotifyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    BYTE m_bOpened = 0;
    BYTE m_bLineReady = 0;
    BYTE m_bVolumeAvailable = 0;
    UINT m_uMixerId = 0;
    UniqueHandle<MixerTraits> m_mixer;
    DWORD m_dwLineId = 0;
    DWORD m_dwControlId = 0;
    DWORD m_dwChannels = 0;
    UniqueWindow m_notifyWnd;  // receives the mixer's change notifications
    DWORD m_dwMinimum = static_cast<DWORD>(-1);
    DWORD m_dwMaximum = static_cast<DWORD>(-1);
    DWORD m_dwSteps = 0;
    ChangeCallback m_pCallback = nullptr;
    DWORD m_dwCallbackUser = 0;
};
