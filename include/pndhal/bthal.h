// The application's handle on the Bluetooth hands-free phone link.
#pragma once

#include "pndhal/container.h"
#include "pndhal/export.h"
#include "pndhal/listeners.h"

/// The phone link. GetBTHAL() returns the one object; every operation runs on
/// the caller's thread, listeners are called on the link's own window thread.
/// The operations are documented as the object GetBTHAL() returns does them;
/// the bodies of this class itself are the defaults of a device without a
/// phone link: the listener lists work, every other operation answers false.
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
  /// Starts the telephone program (or attaches to a running one), opens the
  /// status channel and greets the program. `path` is the program's file; null
  /// means "TelBridge\\TelBridge.exe" beside the application's folder. True
  /// once the link is open, also when the program's window has not appeared
  /// within 200 milliseconds of its start; false when the program cannot be
  /// started, a file name is longer than 259 characters, or the status window
  /// cannot be created (the link is then not connected).
  virtual bool LaunchPhone(wchar_t const* path);
  /// Closes the status channel (the program is told the status window is
  /// gone) and asks the telephone program to close. Returns whether its
  /// window was found; the last reported states are kept.
  virtual bool ClosePhone();
  /// Shows the telephone program's phone line. False, posting nothing, before
  /// the link was launched or when the program's window is missing.
  virtual bool ShowPhoneWindow();
  /// Hides the phone line; fails as ShowPhoneWindow does.
  virtual bool HidePhoneWindow();
  /// Sends a text to the telephone program; a longer text than 259 characters
  /// is cut to 259. False for a null text, before the link was launched, or
  /// when the program's window is missing.
  virtual bool SendPhoneText(wchar_t const* text);
  /// Asks the telephone program to end the call. False when its window is
  /// missing.
  virtual bool HangUp();
  /// Asks the telephone program to switch to the language whose identifier
  /// the text begins with in hexadecimal ("0407", "0x407"). False, posting
  /// nothing, when the text holds no such number or one beyond 32 bits, before
  /// the link was launched, or when the program's window is missing.
  virtual bool ChangePhoneLanguage(wchar_t const* languageHex);
  /// Moves the telephone volume one step (10 percent) towards `percent`; true
  /// at once when it is there. False when the program's window is missing.
  virtual bool SetPhoneVolume(unsigned int percent);
  /// Mutes the phone (remembering its step) or returns it to the remembered
  /// step (step 5 when none is). False when the phone is in that state already
  /// or its volume is unknown.
  virtual bool MutePhone(bool mute);
  /// The telephone volume in percent, as last reported; false, writing
  /// nothing, when the reported step is not one of 0 to 10.
  virtual bool GetPhoneVolume(unsigned int& percent);
  /// Whether the telephone volume is 0; false, writing nothing, when the
  /// volume is unknown.
  virtual bool IsPhoneMuted(bool& muted);
  /// Resets the telephone module to factory settings; blocks for 6 seconds.
  /// False at once when the program's window is missing.
  virtual bool FactoryResetPhone();
  /// The last call status reported by the telephone program: -1 unknown, 0 no
  /// telephone service, 1 to 5 the program's call states 0 to 4. The default
  /// body writes nothing.
  virtual void GetCallStatus(int& status);
  /// Asks the telephone program to switch Bluetooth on. False when its window
  /// is missing.
  virtual bool SetBTPowerOn();
  /// Asks the telephone program to switch Bluetooth off; fails as SetBTPowerOn.
  virtual bool SetBTPowerOff();

 protected:
  /// The two listener registries, kept inside the library; null when they
  /// could not be allocated (every Connect then answers false).
  struct ListenerLists;
  ListenerLists* m_pListeners;
};
