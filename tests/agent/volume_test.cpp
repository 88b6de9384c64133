// The volume commands against Wine's real mixer (PulseAudio with a null
// sink, started by scripts/test). Wine keeps legacy mixer values per
// process, so the test reads back what this process set.
#include <windows.h>
#include <mmsystem.h>
#include <endpointvolume.h>

#include <limits>
#include <string>
#include <vector>

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
    // The worker's apartment, so that the commands try Wine's Core Audio
    // first: its endpoint is a stand-in, and they fall back to the mixer.
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    IAudioEndpointVolume* wineEndpoint = nullptr;
    ASSERT_TRUE(SUCCEEDED(OpenDefaultEndpointVolume(&wineEndpoint)))
        << "Wine has a default render endpoint while the audio server runs";
    ASSERT_NE(nullptr, wineEndpoint);
    UINT channels = 0;
    EXPECT_EQ(E_NOTIMPL, wineEndpoint->GetChannelCount(&channels));
    wineEndpoint->Release();

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
    mute.Set(1);
    StepMasterVolume(false);
    EXPECT_EQ(0u, mute.Get()) << "a step ends a mute";
    mute.Set(muted);

    // The wave commands address device 0 by identifier, which Wine refuses:
    // they end quietly and change nothing here.
    StepWaveVolume(true);
    StepWaveVolume(false);
    volume.Set(before);
    CoUninitialize();
}

namespace {

// An endpoint volume of the test's own: it keeps the levels it is given,
// records each call, counts its references and can fail any one call.
class RecordingEndpoint : public IAudioEndpointVolume {
  public:
    float master = 0.5f;
    BOOL muted = FALSE;
    std::vector<float> channels = {0.5f, 0.5f};
    std::string failing; // the call that returns E_NOTIMPL
    std::vector<std::string> calls;
    LONG references = 1; // the test's own

    HRESULT Answer(const char* call) {
        calls.push_back(call);
        return failing == call ? E_NOTIMPL : S_OK;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }
    HRESULT STDMETHODCALLTYPE RegisterControlChangeNotify(IAudioEndpointVolumeCallback*) override {
        return Answer("RegisterControlChangeNotify");
    }
    HRESULT STDMETHODCALLTYPE
    UnregisterControlChangeNotify(IAudioEndpointVolumeCallback*) override {
        return Answer("UnregisterControlChangeNotify");
    }
    HRESULT STDMETHODCALLTYPE GetChannelCount(UINT* count) override {
        *count = static_cast<UINT>(channels.size());
        return Answer("GetChannelCount");
    }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(float, LPCGUID) override {
        return Answer("SetMasterVolumeLevel");
    }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(float level, LPCGUID) override {
        HRESULT result = Answer("SetMasterVolumeLevelScalar");
        if (SUCCEEDED(result))
            master = level;
        return result;
    }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(float*) override {
        return Answer("GetMasterVolumeLevel");
    }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevelScalar(float* level) override {
        *level = master;
        return Answer("GetMasterVolumeLevelScalar");
    }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(UINT, float, LPCGUID) override {
        return Answer("SetChannelVolumeLevel");
    }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevelScalar(UINT channel, float level,
                                                          LPCGUID) override {
        HRESULT result = Answer("SetChannelVolumeLevelScalar");
        if (SUCCEEDED(result) && channel < channels.size())
            channels[channel] = level;
        return channel < channels.size() ? result : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(UINT, float*) override {
        return Answer("GetChannelVolumeLevel");
    }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevelScalar(UINT channel, float* level) override {
        *level = channel < channels.size() ? channels[channel] : 0.0f;
        HRESULT result = Answer("GetChannelVolumeLevelScalar");
        return channel < channels.size() ? result : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE SetMute(BOOL mute, LPCGUID) override {
        HRESULT result = Answer("SetMute");
        if (SUCCEEDED(result))
            muted = mute;
        return result;
    }
    HRESULT STDMETHODCALLTYPE GetMute(BOOL* mute) override {
        *mute = muted;
        return Answer("GetMute");
    }
    HRESULT STDMETHODCALLTYPE GetVolumeStepInfo(UINT*, UINT*) override {
        return Answer("GetVolumeStepInfo");
    }
    HRESULT STDMETHODCALLTYPE VolumeStepUp(LPCGUID) override { return Answer("VolumeStepUp"); }
    HRESULT STDMETHODCALLTYPE VolumeStepDown(LPCGUID) override { return Answer("VolumeStepDown"); }
    HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD*) override {
        return Answer("QueryHardwareSupport");
    }
    HRESULT STDMETHODCALLTYPE GetVolumeRange(float*, float*, float*) override {
        return Answer("GetVolumeRange");
    }
};

RecordingEndpoint* g_endpoint = nullptr;
bool g_sourceFails = false;

HRESULT RecordingSource(IAudioEndpointVolume** endpoint) {
    *endpoint = nullptr;
    if (g_sourceFails)
        return E_NOTFOUND;
    g_endpoint->AddRef();
    *endpoint = g_endpoint;
    return S_OK;
}

class EndpointVolumeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_endpoint = &endpoint_;
        g_sourceFails = false;
        previous_ = SetEndpointVolumeSource(RecordingSource);
    }
    void TearDown() override {
        SetEndpointVolumeSource(previous_);
        g_endpoint = nullptr;
        EXPECT_EQ(1, endpoint_.references) << "every reference the commands took is released";
    }
    RecordingEndpoint endpoint_;
    EndpointVolumeSource previous_ = nullptr;
};

} // namespace

TEST_F(EndpointVolumeTest, MasterStepsAreOneStepOfFullScaleAndStopAtTheLimits) {
    SpeakersControl mixer(MIXERCONTROL_CONTROLTYPE_VOLUME);
    ASSERT_TRUE(mixer.found());
    const DWORD mixerBefore = mixer.Get();

    endpoint_.master = 0.0f;
    StepMasterVolume(true);
    EXPECT_FLOAT_EQ(4112.0f / 65535.0f, endpoint_.master);
    EXPECT_EQ(1, endpoint_.references);
    StepMasterVolume(true);
    EXPECT_FLOAT_EQ(2 * 4112.0f / 65535.0f, endpoint_.master);
    StepMasterVolume(false);
    EXPECT_FLOAT_EQ(4112.0f / 65535.0f, endpoint_.master);
    endpoint_.master = 0.03f;
    StepMasterVolume(false);
    EXPECT_EQ(0.0f, endpoint_.master) << "below one step goes to exactly silence";
    StepMasterVolume(false);
    EXPECT_EQ(0.0f, endpoint_.master);
    for (int step = 0; step < 16; ++step)
        StepMasterVolume(true);
    EXPECT_EQ(1.0f, endpoint_.master) << "sixteen steps from silence reach full scale exactly";
    StepMasterVolume(true);
    EXPECT_EQ(1.0f, endpoint_.master) << "never beyond full scale";
    for (int step = 0; step < 16; ++step)
        StepMasterVolume(false);
    EXPECT_EQ(0.0f, endpoint_.master);
    EXPECT_EQ(mixerBefore, mixer.Get()) << "the mixer is left alone while the endpoint works";
    endpoint_.muted = TRUE;
    StepMasterVolume(false);
    EXPECT_FALSE(endpoint_.muted) << "a step ends a mute, as the keyboard's volume keys do";

    for (const std::string& call : endpoint_.calls)
        EXPECT_TRUE(call == "GetChannelCount" || call == "GetMasterVolumeLevelScalar" ||
                    call == "SetMasterVolumeLevelScalar" || call == "SetMute")
            << call;
}

TEST_F(EndpointVolumeTest, MuteTwiceRestoresTheEndpointsState) {
    SpeakersControl mixer(MIXERCONTROL_CONTROLTYPE_MUTE);
    ASSERT_TRUE(mixer.found());
    const DWORD mixerBefore = mixer.Get();
    endpoint_.muted = FALSE;
    ToggleMasterMute();
    EXPECT_TRUE(endpoint_.muted);
    ToggleMasterMute();
    EXPECT_FALSE(endpoint_.muted);
    endpoint_.muted = TRUE;
    ToggleMasterMute();
    EXPECT_FALSE(endpoint_.muted);
    EXPECT_EQ(mixerBefore, mixer.Get());
    EXPECT_EQ(0.5f, endpoint_.master) << "mute leaves the level alone";
}

TEST_F(EndpointVolumeTest, WaveStepsMoveEachChannelOnItsOwnAndKeepTheBalance) {
    endpoint_.channels = {0.2f, 0.6f, 1.0f};
    StepWaveVolume(true);
    EXPECT_FLOAT_EQ(0.2f + 1.0f / 15, endpoint_.channels[0]);
    EXPECT_FLOAT_EQ(0.6f + 1.0f / 15, endpoint_.channels[1]);
    EXPECT_EQ(1.0f, endpoint_.channels[2]);
    int sets = 0;
    for (const std::string& call : endpoint_.calls)
        sets += call == "SetChannelVolumeLevelScalar";
    EXPECT_EQ(3, sets) << "one set per channel";
    EXPECT_EQ(0.5f, endpoint_.master) << "the master level is not touched";

    StepWaveVolume(false);
    StepWaveVolume(false);
    EXPECT_FLOAT_EQ(0.2f - 1.0f / 15, endpoint_.channels[0]);
    EXPECT_FLOAT_EQ(0.6f - 1.0f / 15, endpoint_.channels[1]);
    EXPECT_FLOAT_EQ(1.0f - 2.0f / 15, endpoint_.channels[2]) << "full stayed full, then two down";

    endpoint_.channels = {0.0f, 0.0f};
    for (int step = 0; step < 15; ++step)
        StepWaveVolume(true);
    EXPECT_EQ(1.0f, endpoint_.channels[0]) << "fifteen steps from silence to full";
    EXPECT_EQ(1.0f, endpoint_.channels[1]);
    for (int step = 0; step < 15; ++step)
        StepWaveVolume(false);
    EXPECT_EQ(0.0f, endpoint_.channels[0]);
    EXPECT_EQ(0.0f, endpoint_.channels[1]);
}

TEST_F(EndpointVolumeTest, EveryFailingCallTakesTheLegacyPath) {
    SpeakersControl volume(MIXERCONTROL_CONTROLTYPE_VOLUME);
    SpeakersControl mute(MIXERCONTROL_CONTROLTYPE_MUTE);
    ASSERT_TRUE(volume.found());
    ASSERT_TRUE(mute.found());
    const DWORD volumeBefore = volume.Get();

    // A failing source, an endpoint without a channel count, and each call of
    // the command: the mixer then moves, as the legacy sequence moves it.
    const char* masterFailures[] = {"source", "GetChannelCount", "GetMasterVolumeLevelScalar",
                                    "SetMasterVolumeLevelScalar"};
    for (const char* failing : masterFailures) {
        SCOPED_TRACE(failing);
        g_sourceFails = std::string(failing) == "source";
        endpoint_.failing = failing;
        volume.Set(0);
        StepMasterVolume(true);
        EXPECT_EQ(4112u, volume.Get()) << "the legacy step was taken";
        EXPECT_EQ(1, endpoint_.references);
    }
    const char* muteFailures[] = {"source", "GetChannelCount", "GetMute", "SetMute"};
    for (const char* failing : muteFailures) {
        SCOPED_TRACE(failing);
        g_sourceFails = std::string(failing) == "source";
        endpoint_.failing = failing;
        const DWORD muted = mute.Get();
        ToggleMasterMute();
        EXPECT_EQ(muted ? 0u : 1u, mute.Get()) << "the legacy toggle was taken";
        EXPECT_EQ(1, endpoint_.references);
    }
    // The wave fallback cannot be seen under Wine (device 0 by identifier
    // is refused), so the endpoint's own answer is checked.
    const char* channelFailures[] = {"source", "GetChannelCount", "GetChannelVolumeLevelScalar",
                                     "SetChannelVolumeLevelScalar"};
    for (const char* failing : channelFailures) {
        SCOPED_TRACE(failing);
        g_sourceFails = std::string(failing) == "source";
        endpoint_.failing = failing;
        EXPECT_FALSE(StepEndpointChannels(true));
        EXPECT_EQ(1, endpoint_.references);
    }
    g_sourceFails = false;
    endpoint_.failing.clear();
    EXPECT_TRUE(StepEndpointChannels(true));
    EXPECT_TRUE(StepEndpointMasterVolume(true));
    EXPECT_TRUE(ToggleEndpointMute());

    // An endpoint with no channels at all is no endpoint.
    endpoint_.channels.clear();
    volume.Set(0);
    StepMasterVolume(true);
    EXPECT_EQ(4112u, volume.Get());
    volume.Set(volumeBefore);
}

TEST(Volume, ScalarStepsClampAndSnapToTheLimits) {
    EXPECT_EQ(0.0f, NextScalarLevel(0.01f, -MASTER_SCALAR_STEP));
    EXPECT_EQ(1.0f, NextScalarLevel(0.99f, MASTER_SCALAR_STEP));
    EXPECT_EQ(1.0f, NextScalarLevel(1.5f, 0.0f)) << "an out-of-range reading comes back in";
    EXPECT_EQ(0.0f, NextScalarLevel(-0.5f, 0.0f));
    EXPECT_EQ(0.0f, NextScalarLevel(std::numeric_limits<float>::quiet_NaN(), 0.1f));
    EXPECT_FLOAT_EQ(0.5f + CHANNEL_SCALAR_STEP, NextScalarLevel(0.5f, CHANNEL_SCALAR_STEP));
}
