// The interfaces through which the HAL reports events to the application.
// The HAL keeps raw pointers to registered listeners and never deletes them.
#pragma once

#include "pndhal/export.h"
#include "pndhal/named_value.h"
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

/// The phone link's call status, as IBTCallStatusListener receives it and
/// CBTHAL::GetCallStatus reports it.
enum eCallStatus : int {
  eCallStatusUnknown = -1,  ///< nothing reported yet
  eCallStatusNone = 0,      ///< no telephone service
  eCallStatusIdle = 1,      ///< the telephone program's call states 0 to 4, from here on
  eCallStatusIncoming = 2,
  eCallStatusOutgoing = 3,
  eCallStatusActive = 4,
  eCallStatusHeld = 5,
};

namespace pndhal {
/// The words of the phone link's call status (eCallStatus).
inline constexpr NamedValue kCallStatusNames[] = {
    {"unknown", eCallStatusUnknown},   {"none", eCallStatusNone},         {"idle", eCallStatusIdle},
    {"incoming", eCallStatusIncoming}, {"outgoing", eCallStatusOutgoing}, {"active", eCallStatusActive},
    {"held", eCallStatusHeld}};
}  // namespace pndhal

/// Which program is in front, as IBTForegroundListener receives it.
enum eForegroundState : int {
  eForegroundUnknown = -1,     ///< nothing reported yet
  eForegroundApplication = 0,  ///< the navigation application
  eForegroundTelephone = 1,    ///< the telephone program
};

namespace pndhal {
/// The words of which program is in front (eForegroundState).
inline constexpr NamedValue kForegroundStateNames[] = {{"unknown", eForegroundUnknown},
                                                       {"application", eForegroundApplication},
                                                       {"telephone", eForegroundTelephone}};
}  // namespace pndhal

/// Receives the phone link's call status (an eCallStatus value).
class PNDHAL_API IBTCallStatusListener {
 public:
  virtual ~IBTCallStatusListener() = default;
  /// `status` points at the new value and is valid during the call only.
  virtual void Notify(int const* status) = 0;
};

/// Receives the telephone program's foreground state (an eForegroundState value).
class PNDHAL_API IBTForegroundListener {
 public:
  virtual ~IBTForegroundListener() = default;
  /// `state` points at the new value and is valid during the call only.
  virtual void Notify(int const* state) = 0;
};

/// Every kind of listener, X(interface, word): first the six that the free
/// Connect and Disconnect register, then the phone link's two, connected on
/// CBTHAL. The word is what tools call a kind ("expect power ...").
#define PNDHAL_LISTENERS(X)               \
  X(IHardwareKeyListener, "key")          \
  X(IHardwareKeyRecordListener, "record") \
  X(IPMPowerListener, "power")            \
  X(IVolumeListener, "volume")            \
  X(ICardListener, "card")                \
  X(ISuspendResumeDeviceListener, "suspend")
#define PNDHAL_PHONE_LISTENERS(X)  \
  X(IBTCallStatusListener, "call") \
  X(IBTForegroundListener, "foreground")
