// The application's handle on the Bluetooth hands-free phone link.
#pragma once

#include "pndhal/container.h"
#include "pndhal/export.h"
#include "pndhal/listeners.h"

/// The phone link. GetBTHAL() returns the one object; every operation runs on
/// the caller's thread, listeners are called on the link's own window thread.
/// The bodies here are the defaults of a device without a phone link: the
/// listener lists work, every other operation answers false.
class PNDHAL_API CBTHAL {
 public:
  CBTHAL();
  CBTHAL(const CBTHAL&) = delete;
  CBTHAL& operator=(const CBTHAL&) = delete;
  /// Releases the listener lists (the listeners themselves are not deleted).
  /// No listener call may be in flight.
  virtual ~CBTHAL();
  /// Registers a call-status listener; a null pointer is ignored. False only
  /// when the list cannot grow.
  virtual bool ConnectCallStatusListener(IBTCallStatusListener* listener);
  /// Registers a foreground listener; a null pointer is ignored. False only
  /// when the list cannot grow.
  virtual bool ConnectForegroundListener(IBTForegroundListener* listener);
  /// Removes the first registration of `listener`, if any. When that
  /// listener is being called on another thread, waits for the call to
  /// return, so the caller may delete it at once.
  virtual void DisconnectCallStatusListener(IBTCallStatusListener* listener);
  /// Removes the first registration of `listener`, if any; waits for a call
  /// in flight as DisconnectCallStatusListener does.
  virtual void DisconnectForegroundListener(IBTForegroundListener* listener);
  /// Starts the telephone program (or attaches to a running one) and opens
  /// the status channel; `path` null means the default program location.
  virtual bool LaunchPhone(wchar_t const* path);
  /// Closes the status channel and asks the telephone program to close.
  virtual bool ClosePhone();
  virtual bool ShowPhoneWindow();
  virtual bool HidePhoneWindow();
  /// Sends a text of at most 259 characters to the telephone program.
  virtual bool SendPhoneText(wchar_t const* text);
  virtual bool HangUp();
  /// Asks the telephone program to switch to the language whose identifier
  /// is given as hexadecimal text.
  virtual bool ChangePhoneLanguage(wchar_t const* languageHex);
  /// Moves the telephone volume one step towards `percent`.
  virtual bool SetPhoneVolume(unsigned int percent);
  virtual bool MutePhone(bool mute);
  virtual bool GetPhoneVolume(unsigned int& percent);
  virtual bool IsPhoneMuted(bool& muted);
  /// Resets the telephone module to factory settings; blocks for 6 seconds.
  virtual bool FactoryResetPhone();
  /// The last call status reported by the telephone program; the default
  /// body writes nothing.
  virtual void GetCallStatus(int& status);
  virtual bool SetBTPowerOn();
  virtual bool SetBTPowerOff();

 protected:
  /// The two listener registries, kept inside the library; null when they
  /// could not be allocated (every Connect then answers false).
  struct ListenerLists;
  ListenerLists* m_pListeners;
};
