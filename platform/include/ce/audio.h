// The wave-output mixer of the device platform.
#pragma once

#include "ce/types.h"

struct HWAVEOUT__;
using HWAVEOUT = HWAVEOUT__*;
using MMRESULT = UINT;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;

/// Sets the output volume of device 0 (a null handle): left channel in the
/// low, right channel in the high 16 bits. MMSYSERR_NOERROR on success.
PNDSIM_API MMRESULT WINAPI waveOutSetVolume(HWAVEOUT device, DWORD volume);
/// Reads the output volume word of device 0. MMSYSERR_INVALPARAM for a null
/// output.
PNDSIM_API MMRESULT WINAPI waveOutGetVolume(HWAVEOUT device, DWORD* volume);
