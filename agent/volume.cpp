#include "volume.h"

#include <mmsystem.h>

namespace {

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

// Steps 6 to 9 around the computation of the new value.
template <class Compute> void ExchangeSpeakersValue(DWORD controlType, Compute compute) {
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
    value = compute(value, control);
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

void StepMasterVolume(bool up) {
    ExchangeSpeakersValue(MIXERCONTROL_CONTROLTYPE_VOLUME,
                          [up](DWORD value, const MIXERCONTROLW& control) {
                              return NextMasterVolume(value, control.Bounds.dwMaximum, up);
                          });
}

void ToggleMasterMute() {
    ExchangeSpeakersValue(MIXERCONTROL_CONTROLTYPE_MUTE,
                          [](DWORD value, const MIXERCONTROLW&) -> DWORD { return value == 0; });
}

void StepWaveVolume(bool up) {
    DWORD volume = 0;
    if (waveOutGetVolume(reinterpret_cast<HWAVEOUT>(0), &volume) != MMSYSERR_NOERROR)
        return;
    waveOutSetVolume(reinterpret_cast<HWAVEOUT>(0), NextWaveVolume(volume, up));
}
