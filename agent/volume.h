// The volume commands: the speakers line of the first mixer, and the
// wave-out volume of the first wave-out device.
#pragma once

#include <windows.h>

const DWORD MASTER_VOLUME_STEP = 4112; // 0x1010

void StepMasterVolume(bool up);
void ToggleMasterMute();
void StepWaveVolume(bool up);

// The master volume after one step, within 0 and the control's maximum.
DWORD NextMasterVolume(DWORD value, DWORD maximum, bool up);
// The wave-out volume word after one step: every byte of both channels
// moves by 0x11, stopping at 0x00 and 0xFF.
DWORD NextWaveVolume(DWORD volume, bool up);
