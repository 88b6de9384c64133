// The volume commands against Wine's real mixer (PulseAudio with a null
// sink, started by scripts/test). Wine keeps legacy mixer values per
// process, so the test reads back what this process set.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include "volume.h"

namespace {

// Reads or writes the speakers line's control of the given type.
class SpeakersControl {
  public:
    explicit SpeakersControl(DWORD type) {
        if (mixerOpen(&mixer_, 0, 0, 0, 0) != MMSYSERR_NOERROR)
            return;
        MIXERLINEW line = {};
        line.cbStruct = sizeof line;
        line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
        if (mixerGetLineInfoW(Object(), &line,
                              MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) != 0)
            return;
        MIXERLINECONTROLSW controls = {};
        controls.cbStruct = sizeof controls;
        controls.dwLineID = line.dwLineID;
        controls.dwControlType = type;
        controls.cControls = 1;
        controls.cbmxctrl = sizeof control_;
        controls.pamxctrl = &control_;
        control_.cbStruct = sizeof control_;
        found_ =
            mixerGetLineControlsW(Object(), &controls,
                                  MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) == 0;
    }
    ~SpeakersControl() {
        if (mixer_)
            mixerClose(mixer_);
    }
    bool found() const { return found_; }
    DWORD maximum() const { return control_.Bounds.dwMaximum; }
    DWORD Get() {
        DWORD value = 0xDEAD;
        MIXERCONTROLDETAILS details = Details(&value);
        EXPECT_EQ(0u,
                  mixerGetControlDetailsW(Object(), &details,
                                          MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE));
        return value;
    }
    void Set(DWORD value) {
        MIXERCONTROLDETAILS details = Details(&value);
        ASSERT_EQ(0u,
                  mixerSetControlDetails(Object(), &details,
                                         MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE));
    }

  private:
    HMIXEROBJ Object() const { return reinterpret_cast<HMIXEROBJ>(mixer_); }
    MIXERCONTROLDETAILS Details(DWORD* value) {
        MIXERCONTROLDETAILS details = {};
        details.cbStruct = sizeof details;
        details.dwControlID = control_.dwControlID;
        details.cChannels = 1;
        details.cbDetails = sizeof *value;
        details.paDetails = value;
        return details;
    }
    HMIXER mixer_ = nullptr;
    MIXERCONTROLW control_ = {};
    bool found_ = false;
};

} // namespace

TEST(Volume, WaveStepsMoveEveryByteBy0x11WithinItsLimits) {
    EXPECT_EQ(0xFFFFFFFFu, NextWaveVolume(0xFFFFFFFF, true)) << "full stays full";
    EXPECT_EQ(0u, NextWaveVolume(0, false)) << "silence stays silent";
    EXPECT_EQ(0x91111111u, NextWaveVolume(0x80000000, true)) << "left 0x0000, right 0x8000";
    EXPECT_EQ(0u, NextWaveVolume(0x0500, false)) << "0x05 is below 0x11";
    EXPECT_EQ(0xFFFFFFFFu, NextWaveVolume(0xEFEFEFEF, true));
    EXPECT_EQ(0xEEEEEEEEu, NextWaveVolume(0xFFFFFFFF, false));
    DWORD level = 0;
    for (int step = 0; step < 15; ++step)
        level = NextWaveVolume(level, true);
    EXPECT_EQ(0xFFFFFFFFu, level) << "fifteen steps from silence to full";
}

TEST(Volume, MasterStepsStopAtZeroAndAtTheControlsMaximum) {
    EXPECT_EQ(4112u, NextMasterVolume(0, 65535, true));
    EXPECT_EQ(65535u, NextMasterVolume(65535 - 100, 65535, true));
    EXPECT_EQ(65535u, NextMasterVolume(65535, 65535, true));
    EXPECT_EQ(65535u - 4112u, NextMasterVolume(65535, 65535, false));
    EXPECT_EQ(0u, NextMasterVolume(4111, 65535, false));
    EXPECT_EQ(0u, NextMasterVolume(4112, 65535, false));
    EXPECT_EQ(0u, NextMasterVolume(0, 65535, false));
    EXPECT_EQ(100u, NextMasterVolume(50, 100, true));
}

TEST(Volume, MasterVolumeAndMuteChangeTheRealSpeakersLine) {
    ASSERT_GT(mixerGetNumDevs(), 0u) << "no mixer: is the audio server running?";
    SpeakersControl volume(MIXERCONTROL_CONTROLTYPE_VOLUME);
    ASSERT_TRUE(volume.found());
    ASSERT_GT(volume.maximum(), 2 * MASTER_VOLUME_STEP);
    const DWORD before = volume.Get();

    volume.Set(0);
    StepMasterVolume(true);
    EXPECT_EQ(4112u, volume.Get());
    StepMasterVolume(true);
    EXPECT_EQ(8224u, volume.Get());
    StepMasterVolume(false);
    EXPECT_EQ(4112u, volume.Get());
    volume.Set(4000);
    StepMasterVolume(false);
    EXPECT_EQ(0u, volume.Get()) << "below one step goes to exactly 0";
    StepMasterVolume(false);
    EXPECT_EQ(0u, volume.Get());
    volume.Set(volume.maximum() - 100);
    StepMasterVolume(true);
    EXPECT_EQ(volume.maximum(), volume.Get()) << "never beyond the maximum";

    SpeakersControl mute(MIXERCONTROL_CONTROLTYPE_MUTE);
    ASSERT_TRUE(mute.found());
    const DWORD muted = mute.Get();
    ToggleMasterMute();
    EXPECT_EQ(muted ? 0u : 1u, mute.Get());
    ToggleMasterMute();
    EXPECT_EQ(muted, mute.Get()) << "two toggles restore the state";

    // The wave commands address device 0 by identifier, which Wine refuses:
    // they end quietly and change nothing here.
    StepWaveVolume(true);
    StepWaveVolume(false);
    volume.Set(before);
}
