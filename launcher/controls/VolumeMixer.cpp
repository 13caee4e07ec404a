#include "VolumeMixer.h"

#include <mmddk.h>

#include <vector>

namespace {

// The details block of one control whose values live in a vector of T.
template <typename T>
MIXERCONTROLDETAILS DetailsOf(DWORD controlId, DWORD channels, DWORD items, std::vector<T>& values) {
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwControlID = controlId;
    details.cChannels = channels;
    details.cMultipleItems = items;
    details.cbDetails = sizeof(T);
    details.paDetails = values.data();
    return details;
}

// The instance that acts on notifications: the newest one made, until it goes.
CVolumeMixer* g_pCurrentMixer = nullptr;

const wchar_t kNotifyClass[] = L"Wave Output Volume Msg Wnd Class";
const wchar_t kNotifyTitle[] = L"Wave Output Volume Msg Wnd";
const DWORD kNone = static_cast<DWORD>(-1);

}  // namespace

CVolumeMixer::CVolumeMixer() {
    if (!Open()) return;
    g_pCurrentMixer = this;
    if (!FindLine()) {
        Close();
        g_pCurrentMixer = nullptr;
    }
}

CVolumeMixer::~CVolumeMixer() {
    if (m_bOpened) Close();
    g_pCurrentMixer = nullptr;
}

bool CVolumeMixer::Open() {
    if (::mixerGetNumDevs() == 0) return false;

    WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    HWAVEOUT wave = nullptr;
    if (::waveOutOpen(&wave, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    UINT id = 0;
    MMRESULT result = ::mixerGetID(reinterpret_cast<HMIXEROBJ>(wave), &id, MIXER_OBJECTF_HWAVEOUT);
    ::waveOutClose(wave);
    if (result != MMSYSERR_NOERROR) {
        // Wine knows no mixer for a handle opened through the mapper. Ask the
        // mapper for its preferred device instead; "the default" comes back as
        // -1 there, and the default device is always device 0.
        DWORD device = kNone, flags = 0;
        ::waveOutMessage(reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(WAVE_MAPPER)), DRVM_MAPPER_PREFERRED_GET,
                         reinterpret_cast<DWORD_PTR>(&device), reinterpret_cast<DWORD_PTR>(&flags));
        if (device == kNone) device = 0;
        if (::mixerGetID(reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(device)), &id, MIXER_OBJECTF_WAVEOUT) !=
            MMSYSERR_NOERROR)
            return false;
    }
    m_uMixerId = id;

    // A second registration in the same process fails harmlessly.
    WNDCLASSW wc{};
    wc.lpfnWndProc = NotifyProc;
    wc.lpszClassName = kNotifyClass;
    ::RegisterClassW(&wc);
    m_notifyWnd.Reset(::CreateWindowExW(0, kNotifyClass, kNotifyTitle, WS_POPUP | WS_DISABLED, 0, 0, 0, 0, nullptr,
                                        nullptr, nullptr, nullptr));
    if (!m_notifyWnd) return false;
    ::ShowWindow(m_notifyWnd.Get(), SW_HIDE);

    HMIXER mixer = nullptr;
    if (::mixerOpen(&mixer, m_uMixerId, reinterpret_cast<DWORD_PTR>(m_notifyWnd.Get()), 0, CALLBACK_WINDOW) !=
        MMSYSERR_NOERROR) {
        m_notifyWnd.Reset();
        return false;
    }
    m_mixer.Reset(mixer);
    m_bOpened = 1;
    return true;
}

bool CVolumeMixer::FindLine() {
    if (!m_bOpened) return false;
    MIXERLINEW line{};
    line.cbStruct = sizeof line;
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
    if (::mixerGetLineInfoW(reinterpret_cast<HMIXEROBJ>(m_mixer.Get()), &line,
                            MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) != MMSYSERR_NOERROR)
        return false;

    MIXERCONTROLW control{};
    if (VolumeControlOf(line.dwLineID, &control)) m_bVolumeAvailable = 1;
    m_dwLineId = line.dwLineID;
    m_dwChannels = line.cChannels;
    m_dwControlId = control.dwControlID;
    m_dwMinimum = control.Bounds.dwMinimum;
    m_dwMaximum = control.Bounds.dwMaximum;
    m_dwSteps = control.Metrics.cSteps;

    // Wine's wave-out line has a volume control that answers every read
    // without a value and ignores every write. Its destination's volume is
    // the one that reaches the stream: take that one then.
    if (m_bVolumeAvailable && GetVolume() == kNone) {
        MIXERLINEW destination{};
        destination.cbStruct = sizeof destination;
        destination.dwDestination = line.dwDestination;
        MIXERCONTROLW master{};
        if (::mixerGetLineInfoW(reinterpret_cast<HMIXEROBJ>(m_mixer.Get()), &destination,
                                MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION) == MMSYSERR_NOERROR &&
            VolumeControlOf(destination.dwLineID, &master)) {
            DWORD channels = m_dwChannels, id = m_dwControlId;
            m_dwChannels = destination.cChannels;
            m_dwControlId = master.dwControlID;
            if (GetVolume() != kNone) {
                m_dwMinimum = master.Bounds.dwMinimum;
                m_dwMaximum = master.Bounds.dwMaximum;
                m_dwSteps = master.Metrics.cSteps;
            } else {
                m_dwChannels = channels;
                m_dwControlId = id;
            }
        }
    }
    m_bLineReady = 1;
    return true;
}

bool CVolumeMixer::VolumeControlOf(DWORD lineId, MIXERCONTROLW* control) {
    *control = MIXERCONTROLW{};
    control->cbStruct = sizeof *control;
    MIXERLINECONTROLSW controls{};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = lineId;
    controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof *control;
    controls.pamxctrl = control;
    return ::mixerGetLineControlsW(reinterpret_cast<HMIXEROBJ>(m_mixer.Get()), &controls,
                                   MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) == MMSYSERR_NOERROR &&
           !(control->fdwControl & MIXERCONTROL_CONTROLF_DISABLED);
}

void CVolumeMixer::Close() {
    // The mixer first: it must not notify a window that is gone.
    m_mixer.Reset();
    m_notifyWnd.Reset();
    m_bOpened = 0;
    m_bLineReady = 0;
}

BOOL CVolumeMixer::IsVolumeAvailable() { return m_bVolumeAvailable; }

void CVolumeMixer::Unmute() { SwitchLine(TRUE); }

void CVolumeMixer::Mute() { SwitchLine(FALSE); }

DWORD CVolumeMixer::GetSteps() { return m_bVolumeAvailable ? m_dwSteps : kNone; }

DWORD CVolumeMixer::GetMinimum() { return m_bVolumeAvailable ? m_dwMinimum : kNone; }

DWORD CVolumeMixer::GetMaximum() { return m_bVolumeAvailable ? m_dwMaximum : kNone; }

DWORD CVolumeMixer::GetVolume() {
    if (!m_bVolumeAvailable || m_dwChannels == 0) return kNone;
    // A driver that answers without filling the values leaves -1, "unknown".
    std::vector<MIXERCONTROLDETAILS_UNSIGNED> values(m_dwChannels, MIXERCONTROLDETAILS_UNSIGNED{kNone});
    MIXERCONTROLDETAILS details = DetailsOf(m_dwControlId, m_dwChannels, 0, values);
    if (::mixerGetControlDetailsW(reinterpret_cast<HMIXEROBJ>(m_mixer.Get()), &details,
                                  MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR)
        return kNone;
    return values[0].dwValue;
}

void CVolumeMixer::SetVolume(DWORD value) {
    if (!m_bVolumeAvailable || m_dwChannels == 0) return;
    if (value < m_dwMinimum || value > m_dwMaximum) return;
    std::vector<MIXERCONTROLDETAILS_UNSIGNED> values(m_dwChannels, MIXERCONTROLDETAILS_UNSIGNED{value});
    MIXERCONTROLDETAILS details = DetailsOf(m_dwControlId, m_dwChannels, 0, values);
    ::mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(m_mixer.Get()), &details,
                             MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
}

void CVolumeMixer::SetChangeCallback(ChangeCallback callback, DWORD user) {
    m_pCallback = callback;
    m_dwCallbackUser = user;
}

void CVolumeMixer::SwitchLine(BOOL on) {
    if (!m_bLineReady) return;
    MIXERLINEW line{};
    line.cbStruct = sizeof line;
    line.dwLineID = m_dwLineId;
    if (::mixerGetLineInfoW(reinterpret_cast<HMIXEROBJ>(m_mixer.Get()), &line,
                            MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_LINEID) != MMSYSERR_NOERROR ||
        line.cControls == 0)
        return;
    std::vector<MIXERCONTROLW> all(line.cControls);
    for (MIXERCONTROLW& c : all) c.cbStruct = sizeof c;
    MIXERLINECONTROLSW controls{};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = m_dwLineId;
    controls.cControls = line.cControls;
    controls.cbmxctrl = sizeof(MIXERCONTROLW);
    controls.pamxctrl = all.data();
    if (::mixerGetLineControlsW(reinterpret_cast<HMIXEROBJ>(m_mixer.Get()), &controls,
                                MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ALL) != MMSYSERR_NOERROR)
        return;

    for (const MIXERCONTROLW& c : all) {
        LONG value;
        switch (c.dwControlType) {
        case MIXERCONTROL_CONTROLTYPE_MUTE:
            value = !on;
            break;
        case MIXERCONTROL_CONTROLTYPE_SINGLESELECT:
        case MIXERCONTROL_CONTROLTYPE_MUX:
        case MIXERCONTROL_CONTROLTYPE_MULTIPLESELECT:
        case MIXERCONTROL_CONTROLTYPE_MIXER:
            value = on;
            break;
        default:
            continue;
        }
        DWORD channels = (c.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : line.cChannels;
        DWORD items = (c.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? c.cMultipleItems : 0;
        size_t count = static_cast<size_t>(channels) * (items ? items : 1);
        std::vector<MIXERCONTROLDETAILS_BOOLEAN> values;
        try {
            values.assign(count, MIXERCONTROLDETAILS_BOOLEAN{value});
        } catch (const std::bad_alloc&) {
            continue;
        }
        MIXERCONTROLDETAILS details = DetailsOf(c.dwControlID, channels, items, values);
        ::mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(m_mixer.Get()), &details,
                                 MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
    }
}

LRESULT CALLBACK CVolumeMixer::NotifyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CVolumeMixer* current = g_pCurrentMixer;
    if (msg == MM_MIXM_CONTROL_CHANGE && current && static_cast<DWORD>(lParam) == current->m_dwControlId) {
        DWORD value = current->GetVolume();
        if (value != kNone && current->m_pCallback) current->m_pCallback(value, current->m_dwCallbackUser);
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}
