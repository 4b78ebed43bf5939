// The window messages of the phone link's protocol with the telephone
// program, registered once at library load, and its copy-data records.
#pragma once

#include <cstddef>

#include "ce/window.h"

namespace Phone {

/// The numbers of the protocol's 22 registered messages. IN messages go to
/// the telephone program, OUT messages come from it.
struct Messages {
  UINT showHidePhoneline;
  UINT showHideDialer;
  UINT showHideSetting;
  UINT showHideFloatingWnd;
  UINT btPower;
  UINT getBtPower;
  UINT btPowerStatus;  // OUT
  UINT getCallStatus;
  UINT callStatus;  // OUT
  UINT hangUp;
  UINT getMissCall;
  UINT missCall;  // OUT
  UINT queryFunction;
  UINT gprsConnection;
  UINT changeLang;
  UINT errorCode;  // OUT
  UINT getVersion;
  UINT menuAnimation;
  UINT chgForegroundApp;  // OUT
  UINT volumeRequest;
  UINT volumeIndex;  // OUT
  UINT factoryReset;
};

/// The registered numbers (registered when the library is loaded).
const Messages& RegisteredMessages();

inline constexpr const wchar_t* kTelephoneTitle = L"ORX_TELBRIDGE";
inline constexpr const wchar_t* kFirstStatusTitle = L"FirstBTStatusMsgWnd";
inline constexpr const wchar_t* kSecondStatusTitle = L"SecondBTStatusMsgWnd";

/// Copy-data record kinds (dwData).
inline constexpr ULONG_PTR kRegisterStatusWindow = 11024;
inline constexpr ULONG_PTR kUnregisterStatusWindow = 11025;
inline constexpr ULONG_PTR kText = 11026;

/// Characters of a status record's two title fields and of the text field.
inline constexpr std::size_t kTitleChars = 100;
inline constexpr std::size_t kTextChars = 260;

/// Writes `text` (null counts as empty) as little-endian UTF-16 into a field
/// of `units` 16-bit units at `field`: at most units - 1 units, never half of
/// a surrogate pair, then a terminator; the rest of the field is left as it
/// is. Returns the number of characters of `text` written.
std::size_t EncodeField(const wchar_t* text, BYTE* field, std::size_t units);

/// Sends the status-window record `kind` naming `title` to `telephone`
/// (two fields of kTitleChars, 400 bytes).
void SendStatusRecord(HWND telephone, ULONG_PTR kind, const wchar_t* title);

}  // namespace Phone
