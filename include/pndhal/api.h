// The HAL's exported free functions. The first call of any of them creates
// and starts the HAL; FreeDLL() tears it down and a later call creates a
// fresh one. Calls run on the caller's thread; events reach listeners on the
// HAL's own threads.
//
// If the HAL itself cannot be allocated, every function does nothing and
// reports failure (false, an empty result, a null pointer); the next call
// tries to create it again. A part of the HAL that could not start (a thread,
// the key-event window, a notification queue, the vendor library) is started
// again by the next call that needs it or by the next polling round; until
// it runs, the operations that need it answer false. The functions that only
// take something away (Disconnect, DeactivateSharedHardwareKeyMap,
// StopResetIdleTimer) never create a HAL.
#pragma once

#include "pndhal/bthal.h"
#include "pndhal/container.h"
#include "pndhal/export.h"
#include "pndhal/listeners.h"
#include "pndhal/records.h"

class CNavTime;
class CNavTimeZone;

/// The key map type: virtual-key code to application key code.
using HardwareKeyMap = Container::ZuMap<unsigned long, eHardwareKey>;

// --- Life cycle -----------------------------------------------------------

/// Creates and starts the HAL if it does not exist yet. Call it once from
/// the application's start-up thread before any other thread calls in.
PNDHAL_API void InitHAL();
/// Stops the HAL's threads, deletes the phone link and the HAL. Does nothing
/// when no HAL exists, and nothing when called on one of the HAL's own
/// threads or from inside a call into the library (a listener, a window
/// handler), which the teardown would have to wait for: call it again from
/// another thread. Safe while other threads call into the library: it waits
/// for the calls in flight to return, and calls made while it tears the HAL
/// down find no HAL and report failure (false, nothing written). Two calls
/// from two threads tear the HAL down once.
PNDHAL_API void FreeDLL();
/// The phone link, creating the HAL first if needed; null when the HAL or
/// its phone link could not be created (the next call tries again). The
/// pointer stays valid for the life of the library: after FreeDLL its
/// operations answer false (and change nothing) until a HAL runs again, and
/// then reach that HAL's new phone link, with no listeners and no state.
PNDHAL_API CBTHAL* GetBTHAL();

// --- Hardware keys ----------------------------------------------------------

/// Switches record mode: while on, presses reach IHardwareKeyRecordListener
/// with the raw virtual-key code instead of IHardwareKeyListener.
PNDHAL_API void SetRecordModeOn(bool on);
/// Grabs every key of `map` as a hot key, all or nothing: true when every key
/// is grabbed; false for an empty map, without the key-event window, or when
/// a key cannot be grabbed (another program holds it, the code is no virtual
/// key), and then the keys this call grabbed are let go again.
PNDHAL_API bool ActivateSharedHardwareKeyMap(HardwareKeyMap& map);
/// Releases every key of `map`. An empty map does nothing.
PNDHAL_API void DeactivateSharedHardwareKeyMap(HardwareKeyMap& map);
/// A copy of the HAL's key map, in a static object every call refreshes.
PNDHAL_API HardwareKeyMap const& GetHardwareKeyMap();
/// Replaces the HAL's key map and grabs its keys, all or nothing: true when
/// the new map is in force with every key grabbed; false (the previous map
/// stays in force, grabbed and reported) for an empty map, without memory
/// for it, or when one of its keys cannot be grabbed. Keys both maps hold
/// stay grabbed throughout.
PNDHAL_API bool SetHardwareKeyMap(HardwareKeyMap const& map);

// --- Listeners ----------------------------------------------------------------
// Connect appends a listener (null is ignored, duplicates are kept);
// Disconnect removes its first registration. A listener may connect or
// disconnect listeners, itself included, during its own call. Disconnect
// from another thread returns once no call of that listener is in flight, so
// the listener may be deleted right after; while it waits, the thread keeps
// answering messages other threads send to it, so a listener that sends to
// the disconnecting thread's window does not deadlock with it. The caller's
// duty: a listener must not wait for a lock the disconnecting thread holds.
PNDHAL_API void Connect(IHardwareKeyListener* listener);
PNDHAL_API void Disconnect(IHardwareKeyListener* listener);
PNDHAL_API void Connect(IHardwareKeyRecordListener* listener);
PNDHAL_API void Disconnect(IHardwareKeyRecordListener* listener);
/// Also calls the new listener at once with the current power state when it
/// can be read.
PNDHAL_API void Connect(IPMPowerListener* listener);
PNDHAL_API void Disconnect(IPMPowerListener* listener);
PNDHAL_API void Connect(IVolumeListener* listener);
PNDHAL_API void Disconnect(IVolumeListener* listener);
PNDHAL_API void Connect(ICardListener* listener);
PNDHAL_API void Disconnect(ICardListener* listener);
PNDHAL_API void Connect(ISuspendResumeDeviceListener* listener);
PNDHAL_API void Disconnect(ISuspendResumeDeviceListener* listener);

// --- Storage cards --------------------------------------------------------------

/// Not supported on this device: false, the record untouched.
PNDHAL_API bool SearchStorageCard(CardInfo& card);

// --- Time -----------------------------------------------------------------------

/// The device's local time; true.
PNDHAL_API bool GetLocalNavTime(CNavTime& time);
/// The device's UTC time; true.
PNDHAL_API bool GetGMTNavTime(CNavTime& time);
/// Sets the device clock from a local time; true when the system accepted it.
PNDHAL_API bool SetLocalNavTime(CNavTime& time);
/// Sets the device clock from a UTC time; true when the system accepted it.
PNDHAL_API bool SetGMTNavTime(CNavTime& time);
/// Sets the system's bias to the zone's offset at the current UTC time, a
/// fixed bias without daylight rules; true when the system accepted it. A
/// zone whose offset then lies outside -12 h to +14 h is refused with false
/// and the bias is left unchanged.
PNDHAL_API bool SetTimezone(CNavTimeZone const& zone);
/// The current zone, in a static object every call refreshes: the standard
/// offset as base, to the minute (5.5 hours for India, 5.75 for Nepal), and
/// the daylight windows of the current UTC year with their own shift, two
/// when daylight time spans the new year. Its offset at any time of the year
/// is the device's local time minus UTC, and handing it to SetTimezone keeps
/// the device's local time. A zone without daylight time has its base and no
/// shift; without a HAL, when the system cannot report its zone, or when the
/// memory for the zone cannot be had, the zone is empty.
PNDHAL_API CNavTimeZone const& GetTimezone();
/// The system's zone database, in a static vector every call refills, each
/// zone built as GetTimezone builds the current one and described by its
/// display name. The list is whole or empty, never short: when the memory
/// for a zone or for the list cannot be had, it is empty, as it is without a
/// HAL or a readable database. A database zone whose "TZI" value is unusable
/// ends the list (the zones before it are kept), as the system's own walk
/// does.
PNDHAL_API Container::ZuVector<CNavTimeZone> const& GetAvailableTimezones();

// --- Display ----------------------------------------------------------------------

/// Accepted and ignored from the generic device level on: true.
PNDHAL_API bool SetScreenOrientation(bool const& landscape);
/// Fills orientation and resolution; false when the screen cannot be read.
PNDHAL_API bool GetScreenOrientation(DisplayInfo& info);
/// The backlight brightness in percent.
PNDHAL_API bool GetBrightness(unsigned int& percent);
/// Sets the backlight brightness (0-100; above 100 is refused with false),
/// fading at the given rate where the device fades.
PNDHAL_API bool SetBrightness(unsigned int percent, unsigned int fade);
/// Saves the brightness and dims the backlight to its minimum. False, with
/// nothing saved or changed, when the brightness cannot be read.
PNDHAL_API bool PMDisplayOff();
/// Restores the brightness saved by PMDisplayOff while the display is as
/// PMDisplayOff left it (at its minimum level, or dark); false, changing
/// nothing, when it is on or cannot be read.
PNDHAL_API bool PMDisplayOn();

// --- Audio ------------------------------------------------------------------------

/// Sets the master volume (0-100; above 100 is refused with false). Every
/// percentage reads back as written (50 writes 0x8000 on both channels).
PNDHAL_API bool SetVolume(unsigned int percent);
/// The master volume in percent, from the louder channel, rounded to the
/// nearest percent.
PNDHAL_API bool GetVolume(unsigned int& percent);
/// true: saves the volume and silences the mixer; false, with nothing saved
/// or changed, when the volume cannot be read. Muting while muted keeps the
/// saved volume. false: restores the saved volume exactly, however often the
/// two alternate; without a saved volume the volume is left as it is.
PNDHAL_API bool Mute(bool mute);
/// Not supported: false, the output untouched.
PNDHAL_API bool IsMuted(bool& muted);

// --- Power ------------------------------------------------------------------------

/// Battery level and power source; false when the battery reads 0 percent.
PNDHAL_API bool PMGetPowerInfo(PMPowerInfo& info);
/// Not supported: false.
PNDHAL_API bool PMPowerOff();
/// Restarts the device; false when the restart was refused.
PNDHAL_API bool ResetDevice();
/// Suspends the device; true.
PNDHAL_API bool SuspendDevice();
/// Keeps the system idle timer from expiring until StopResetIdleTimer.
PNDHAL_API void StartResetIdleTimer();
PNDHAL_API void StopResetIdleTimer();
/// true: the system alone handles the power key (no suspend/resume reports);
/// false: the HAL watches suspend and resume again.
PNDHAL_API void ActivatePowerKey(bool activate);

// --- Device identity and miscellany ------------------------------------------------

/// The device identifier as hexadecimal text. `buffer` must hold at least
/// 128 characters; false when `length` is too small for the text.
PNDHAL_API bool GetDeviceID(wchar_t* buffer, int length);
/// Runs the interactive touch calibration and hands its data to the device;
/// true once the data reached the device, false when the calibration text
/// cannot be read or the device refused it.
PNDHAL_API bool CalibrateTouchscreen();
/// Not supported on this device: does nothing.
PNDHAL_API void SetMemorySplit(int percent);
/// Not supported on this device: does nothing.
PNDHAL_API void RestoreMemorySplit();
/// Launches the contacts program; false when none is installed.
PNDHAL_API bool OpenContacts();
/// Not supported: false.
PNDHAL_API bool SetSystemLanguage(unsigned long language);
/// One device-information text, at most `length` characters.
PNDHAL_API bool GetDeviceInfo(eDeviceInfoID id, wchar_t* buffer, unsigned long length);
/// Reads from the 2048-byte flash area; false beyond it.
PNDHAL_API bool ReadFlash(unsigned long offset, unsigned char* buffer, unsigned long length);
/// Writes to the 2048-byte flash area; false beyond it.
PNDHAL_API bool WriteFlash(unsigned long offset, unsigned char* buffer, unsigned long length);
/// The Bluetooth address as "MAC: xx-xx-xx-xx-xx-xx" (23 characters with the
/// terminator).
PNDHAL_API bool GetBtMACAddr(wchar_t* buffer, int length);

// --- FM transmitter (not present on this device: false or nothing, except
// the band limits and the active flag) -----------------------------------------------

PNDHAL_API bool ActivateFMTransmitter(bool on);
PNDHAL_API bool IsFMTransmitterActive();
PNDHAL_API bool SetFMPiCode(unsigned short code);
PNDHAL_API bool SetFMStationName(wchar_t const* name);
PNDHAL_API bool SetFMRadioText(wchar_t const* text);
PNDHAL_API bool MuteFM(bool mute);
PNDHAL_API void SetFMFrequencySearchStepSize(unsigned int const& step);
PNDHAL_API bool SetFMFrequency(unsigned int frequency);
PNDHAL_API bool StepFMFrequencyForward(unsigned int const& step);
PNDHAL_API bool StepFMFrequencyBackward(unsigned int const& step);
PNDHAL_API bool GetFMFrequency(unsigned int& frequency);
PNDHAL_API bool SetFMPower(unsigned int power);
/// Stores the band limits (no range check).
PNDHAL_API void SetFMBandwidth(unsigned int const& low, unsigned int const& high);
/// The band limits; 880 and 1070 until set.
PNDHAL_API void GetFMBandwidth(unsigned int& low, unsigned int& high);
PNDHAL_API bool SetFMMode(unsigned int mode);
PNDHAL_API bool GetFMMode(unsigned int& mode);
PNDHAL_API bool SetDynamicControl(FMDRCSetting const& setting);
/// Leaves the record as passed.
PNDHAL_API void GetDynamicControl(FMDRCSetting& setting);
PNDHAL_API bool SetFMEmphasis(unsigned int const& emphasis);

// --- Audio input and remote control (not supported) ----------------------------------

PNDHAL_API void ActivateSRAudio(bool const& on);
PNDHAL_API bool SetMicVolume(unsigned int const& volume);
PNDHAL_API bool GetMicVolume(unsigned int& volume);
PNDHAL_API bool ActivateRemoteControl(bool on);
