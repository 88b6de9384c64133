#include "volume.h"

#include <mmsystem.h>
#include <mmdeviceapi.h>
#include <endpointvolume.h>

namespace {

EndpointVolumeSource g_endpointSource = OpenDefaultEndpointVolume;

// Each press runs on a worker of its own: a held key's repeats would read
// the same level and write the same step. One command at a time.
SRWLOCK g_volumeLock = SRWLOCK_INIT;

class VolumeTurn {
  public:
    VolumeTurn() { AcquireSRWLockExclusive(&g_volumeLock); }
    ~VolumeTurn() { ReleaseSRWLockExclusive(&g_volumeLock); }
    VolumeTurn(const VolumeTurn&) = delete;
    VolumeTurn& operator=(const VolumeTurn&) = delete;
};

// Holds the endpoint's one reference for the length of a command.
class Endpoint {
  public:
    Endpoint() = default;
    ~Endpoint() {
        if (volume_)
            volume_->Release();
    }
    Endpoint(const Endpoint&) = delete;
    Endpoint& operator=(const Endpoint&) = delete;

    // An endpoint that cannot say how many channels it has is taken as not
    // there: Wine's stand-in accepts SetMute but reaches no sound server.
    bool Open() {
        if (FAILED(g_endpointSource(&volume_)) || !volume_)
            return false;
        return SUCCEEDED(volume_->GetChannelCount(&channels_)) && channels_ > 0;
    }
    IAudioEndpointVolume* operator->() const { return volume_; }
    UINT channels() const { return channels_; }

  private:
    IAudioEndpointVolume* volume_ = nullptr;
    UINT channels_ = 0;
};

// Owns the mixer handle once mixerOpen succeeded, so that every way out of
// a command closes it.
class Mixer {
  public:
    Mixer() = default;
    ~Mixer() {
        if (mixer_)
            mixerClose(mixer_);
    }
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    bool Open() { return mixerOpen(&mixer_, 0, 0, 0, 0) == MMSYSERR_NOERROR; }
    HMIXEROBJ Object() const { return reinterpret_cast<HMIXEROBJ>(mixer_); }

  private:
    HMIXER mixer_ = nullptr;
};

// Steps 1 to 5: the one control of the wanted type on the speakers line.
bool FindSpeakersControl(Mixer& mixer, DWORD controlType, MIXERCONTROLW* control) {
    if (mixerGetNumDevs() == 0)
        return false;
    if (!mixer.Open())
        return false;
    MIXERCAPSW caps = {};
    if (mixerGetDevCapsW(reinterpret_cast<UINT_PTR>(mixer.Object()), &caps, sizeof caps) !=
        MMSYSERR_NOERROR)
        return false;
    MIXERLINEW line = {};
    line.cbStruct = sizeof line;
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    if (mixerGetLineInfoW(mixer.Object(), &line,
                          MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) !=
        MMSYSERR_NOERROR)
        return false;
    MIXERLINECONTROLSW controls = {};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = controlType;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof *control;
    controls.pamxctrl = control;
    return mixerGetLineControlsW(mixer.Object(), &controls,
                                 MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) ==
           MMSYSERR_NOERROR;
}

MIXERCONTROLDETAILS OneValueDetails(const MIXERCONTROLW& control, DWORD* value) {
    MIXERCONTROLDETAILS details = {};
    details.cbStruct = sizeof details;
    details.dwControlID = control.dwControlID;
    details.cChannels = 1; // one value for all channels
    details.cMultipleItems = 0;
    details.cbDetails = sizeof *value;
    details.paDetails = value;
    return details;
}

// How the new value follows from the old.
enum class SpeakersChange { Up, Down, Unmute, ToggleMute };

// Steps 6 to 9 around the computation of the new value.
void ExchangeSpeakersValue(DWORD controlType, SpeakersChange change) {
    Mixer mixer;
    MIXERCONTROLW control = {};
    control.cbStruct = sizeof control;
    if (!FindSpeakersControl(mixer, controlType, &control))
        return;
    DWORD value = 0;
    MIXERCONTROLDETAILS details = OneValueDetails(control, &value);
    if (mixerGetControlDetailsW(mixer.Object(), &details,
                                MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) !=
        MMSYSERR_NOERROR)
        return;
    if (change == SpeakersChange::Unmute)
        value = 0;
    else if (change == SpeakersChange::ToggleMute)
        value = value == 0;
    else
        value = NextMasterVolume(value, control.Bounds.dwMaximum, change == SpeakersChange::Up);
    details = OneValueDetails(control, &value);
    mixerSetControlDetails(mixer.Object(), &details,
                           MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
}

BYTE StepByte(BYTE level, bool up) {
    if (up)
        return level > 0xEE ? 0xFF : static_cast<BYTE>(level + 0x11);
    return level < 0x11 ? 0 : static_cast<BYTE>(level - 0x11);
}

} // namespace

DWORD NextMasterVolume(DWORD value, DWORD maximum, bool up) {
    if (up)
        return value >= maximum || maximum - value < MASTER_VOLUME_STEP
                   ? maximum
                   : value + MASTER_VOLUME_STEP;
    return value < MASTER_VOLUME_STEP ? 0 : value - MASTER_VOLUME_STEP;
}

DWORD NextWaveVolume(DWORD volume, bool up) {
    DWORD next = 0;
    for (int shift = 0; shift < 32; shift += 8)
        next |= static_cast<DWORD>(StepByte(static_cast<BYTE>(volume >> shift), up)) << shift;
    return next;
}

HRESULT OpenDefaultEndpointVolume(IAudioEndpointVolume** endpoint) {
    *endpoint = nullptr;
    // COM loads the audio device modules only now, on the first volume
    // command, so the idle agent carries none of them.
    IMMDeviceEnumerator* devices = nullptr;
    HRESULT result =
        CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                         __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(&devices));
    if (FAILED(result) || !devices)
        return FAILED(result) ? result : E_POINTER;
    IMMDevice* device = nullptr;
    result = devices->GetDefaultAudioEndpoint(eRender, eConsole, &device);
    devices->Release();
    if (FAILED(result) || !device)
        return FAILED(result) ? result : E_POINTER;
    result = device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr,
                              reinterpret_cast<void**>(endpoint));
    device->Release();
    if (FAILED(result))
        *endpoint = nullptr;
    return result;
}

EndpointVolumeSource SetEndpointVolumeSource(EndpointVolumeSource source) {
    EndpointVolumeSource previous = g_endpointSource;
    g_endpointSource = source ? source : OpenDefaultEndpointVolume;
    return previous;
}

float NextScalarLevel(float level, float step) {
    const float next = level + step;
    // Rounding must not leave a hair above silence or below full scale.
    if (!(next > 0.0005f)) // NaN included
        return 0.0f;
    if (next > 0.9995f)
        return 1.0f;
    return next;
}

// A step ends a mute, as the keyboard's own volume keys do.
bool StepEndpointMasterVolume(bool up) {
    Endpoint endpoint;
    float level = 0;
    if (!endpoint.Open() || FAILED(endpoint->GetMasterVolumeLevelScalar(&level)))
        return false;
    const float step = up ? MASTER_SCALAR_STEP : -MASTER_SCALAR_STEP;
    if (FAILED(endpoint->SetMasterVolumeLevelScalar(NextScalarLevel(level, step), nullptr)))
        return false;
    endpoint->SetMute(FALSE, nullptr);
    return true;
}

bool ToggleEndpointMute() {
    Endpoint endpoint;
    BOOL muted = FALSE;
    if (!endpoint.Open() || FAILED(endpoint->GetMute(&muted)))
        return false;
    return SUCCEEDED(endpoint->SetMute(muted ? FALSE : TRUE, nullptr));
}

// Each channel moves on its own, so the balance between them is kept. Once
// one channel moved, the step has been taken: a later channel's failure
// must not send the fallback to step again.
bool StepEndpointChannels(bool up) {
    Endpoint endpoint;
    if (!endpoint.Open())
        return false;
    const float step = up ? CHANNEL_SCALAR_STEP : -CHANNEL_SCALAR_STEP;
    bool moved = false;
    for (UINT channel = 0; channel < endpoint.channels(); ++channel) {
        float level = 0;
        if (FAILED(endpoint->GetChannelVolumeLevelScalar(channel, &level)) ||
            FAILED(endpoint->SetChannelVolumeLevelScalar(channel, NextScalarLevel(level, step),
                                                         nullptr)))
            return moved;
        moved = true;
    }
    return true;
}

void StepMasterVolume(bool up) {
    VolumeTurn turn;
    if (StepEndpointMasterVolume(up))
        return;
    ExchangeSpeakersValue(MIXERCONTROL_CONTROLTYPE_VOLUME,
                          up ? SpeakersChange::Up : SpeakersChange::Down);
    ExchangeSpeakersValue(MIXERCONTROL_CONTROLTYPE_MUTE, SpeakersChange::Unmute);
}

void ToggleMasterMute() {
    VolumeTurn turn;
    if (ToggleEndpointMute())
        return;
    ExchangeSpeakersValue(MIXERCONTROL_CONTROLTYPE_MUTE, SpeakersChange::ToggleMute);
}

void StepWaveVolume(bool up) {
    VolumeTurn turn;
    if (StepEndpointChannels(up))
        return;
    DWORD volume = 0;
    if (waveOutGetVolume(reinterpret_cast<HWAVEOUT>(0), &volume) != MMSYSERR_NOERROR)
        return;
    waveOutSetVolume(reinterpret_cast<HWAVEOUT>(0), NextWaveVolume(volume, up));
}
