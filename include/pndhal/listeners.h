// The interfaces through which the HAL reports events to the application.
// The HAL keeps raw pointers to registered listeners and never deletes them.
#pragma once

#include "pndhal/export.h"
#include "pndhal/records.h"

/// Receives translated hardware-key presses, on the key-event window thread.
class PNDHAL_API IHardwareKeyListener {
 public:
  virtual ~IHardwareKeyListener() = default;
  virtual void Notify(eHardwareKey const& key) = 0;
};

/// Receives raw virtual-key codes of presses while record mode is on.
class PNDHAL_API IHardwareKeyRecordListener {
 public:
  virtual ~IHardwareKeyRecordListener() = default;
  virtual void Notify(unsigned long virtualKey) = 0;
};

/// Receives the power state when connected and whenever it changes.
class PNDHAL_API IPMPowerListener {
 public:
  virtual ~IPMPowerListener() = default;
  virtual void Notify(PMPowerInfo const& info) = 0;
};

/// Receives the master volume whenever it changes.
class PNDHAL_API IVolumeListener {
 public:
  virtual ~IVolumeListener() = default;
  virtual void Notify(VolumeInfo const& volume) = 0;
};

/// Receives storage-card mounts and removals.
class PNDHAL_API ICardListener {
 public:
  virtual ~ICardListener() = default;
  virtual void Notify(CardInfo const& card) = 0;
};

/// Told true before the device suspends and false after it resumes.
class PNDHAL_API ISuspendResumeDeviceListener {
 public:
  virtual ~ISuspendResumeDeviceListener() = default;
  virtual void Notify(bool const& suspending) = 0;
};

/// Receives the phone link's call status (-1 unknown, 0 no telephone
/// service, 1 to 5 the telephone program's call states 0 to 4).
class PNDHAL_API IBTCallStatusListener {
 public:
  virtual ~IBTCallStatusListener() = default;
  /// `status` points at the new value and is valid during the call only.
  virtual void Notify(int const* status) = 0;
};

/// Receives the telephone program's foreground state (0 or 1, -1 unknown).
class PNDHAL_API IBTForegroundListener {
 public:
  virtual ~IBTForegroundListener() = default;
  /// `state` points at the new value and is valid during the call only.
  virtual void Notify(int const* state) = 0;
};
