// The volume commands. They work on the default playback device's endpoint
// volume, which is what the user hears on Windows Vista and later; where that
// is not available they fall back to the speakers line of the first mixer
// and the wave-out volume of the first wave-out device.
#pragma once

#include <windows.h>

struct IAudioEndpointVolume;

const DWORD MASTER_VOLUME_STEP = 4112; // 0x1010

void StepMasterVolume(bool up);
void ToggleMasterMute();
void StepWaveVolume(bool up);

// The master volume after one step, within 0 and the control's maximum.
DWORD NextMasterVolume(DWORD value, DWORD maximum, bool up);
// The wave-out volume word after one step: every byte of both channels
// moves by 0x11, stopping at 0x00 and 0xFF.
DWORD NextWaveVolume(DWORD volume, bool up);

// Yields the endpoint volume a command works on, with one reference that the
// command releases. The default opens the default render endpoint through
// Core Audio; tests put their own object here.
typedef HRESULT (*EndpointVolumeSource)(IAudioEndpointVolume** endpoint);
HRESULT OpenDefaultEndpointVolume(IAudioEndpointVolume** endpoint);
// Returns the source used before; nullptr puts the default back.
EndpointVolumeSource SetEndpointVolumeSource(EndpointVolumeSource source);

// One command on the endpoint alone; false when the endpoint is missing or
// any of its calls failed, and the command then takes the legacy path.
bool StepEndpointMasterVolume(bool up);
bool ToggleEndpointMute();
bool StepEndpointChannels(bool up);

// A scalar level after one step, within 0 and 1.
float NextScalarLevel(float level, float step);
const float MASTER_SCALAR_STEP = 4112.0f / 65535.0f;
const float CHANNEL_SCALAR_STEP = 1.0f / 15.0f;
