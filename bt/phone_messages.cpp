// Registration of the phone link's messages at library load, and the
// encoding of its copy-data records.
#include "bt/phone_messages.h"

#include <cstdint>
#include <type_traits>

namespace Phone {
namespace {

// Registration cannot throw: a name it could not register keeps the number 0,
// which no message carries.
Messages Register() noexcept {
  Messages ids{};
  ids.showHidePhoneline = RegisterWindowMessageW(L"WM_ORXBT_INMSG_SHOWHIDE_PHONELINE");
  ids.showHideDialer = RegisterWindowMessageW(L"WM_ORXBT_INMSG_SHOWHIDE_DIALER");
  ids.showHideSetting = RegisterWindowMessageW(L"WM_ORXBT_INMSG_SHOWHIDE_SETTING");
  ids.showHideFloatingWnd = RegisterWindowMessageW(L"WM_ORXBT_INMSG_SHOWHIDE_FLOATINGWND");
  ids.btPower = RegisterWindowMessageW(L"WM_ORXBT_INMSG_BTPOWER");
  ids.getBtPower = RegisterWindowMessageW(L"WM_ORXBT_INMSG_GETBTPOWER");
  ids.btPowerStatus = RegisterWindowMessageW(L"WM_ORXBT_OUTMSG_BTPOWERSTATUS");
  ids.getCallStatus = RegisterWindowMessageW(L"WM_ORXBT_INMSG_GETCALLSTATUS");
  ids.callStatus = RegisterWindowMessageW(L"WM_ORXBT_OUTMSG_CALLSTATUS");
  ids.hangUp = RegisterWindowMessageW(L"WM_ORXBT_INMSG_HANGUP");
  ids.getMissCall = RegisterWindowMessageW(L"WM_ORXBT_INMSG_GETMISSCALL");
  ids.missCall = RegisterWindowMessageW(L"WM_ORXBT_OUTMSG_MISSCALL");
  ids.queryFunction = RegisterWindowMessageW(L"WM_ORXBT_INMSG_QUERYFUCTION");
  ids.gprsConnection = RegisterWindowMessageW(L"WM_ORXBT_INMSG_GPRSCONNECTION");
  ids.changeLang = RegisterWindowMessageW(L"WM_ORXBT_INMSG_CHANGELANG");
  ids.errorCode = RegisterWindowMessageW(L"WM_ORXBT_OUTMSG_ERRORCODE");
  ids.getVersion = RegisterWindowMessageW(L"WM_ORXBT_INMSG_GETVERSION");
  ids.menuAnimation = RegisterWindowMessageW(L"WM_ORXBT_INMSG_MENUANIMATION");
  ids.chgForegroundApp = RegisterWindowMessageW(L"WM_ORXBT_OUTMSG_CHGFORGROUNDAPP");
  ids.volumeRequest = RegisterWindowMessageW(L"WM_ORXBT_INMSG_VOLUMEREQUEST");
  ids.volumeIndex = RegisterWindowMessageW(L"WM_ORXBT_OUTMSG_VOLUMEINDEX");
  ids.factoryReset = RegisterWindowMessageW(L"WM_ORXBT_INMSG_FACTORYRESET");
  return ids;
}

const Messages g_messages = Register();

}  // namespace

const Messages& RegisteredMessages() { return g_messages; }

std::size_t EncodeField(const wchar_t* text, BYTE* field, std::size_t units) {
  if (field == nullptr || units == 0) return 0;
  std::size_t at = 0;  // units written
  std::size_t characters = 0;
  auto put = [&](std::uint32_t unit) {
    field[2 * at] = static_cast<BYTE>(unit & 0xFF);
    field[2 * at + 1] = static_cast<BYTE>(unit >> 8);
    ++at;
  };
  for (; text != nullptr && text[characters] != L'\0'; ++characters) {
    auto c = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[characters]));
    if (c > 0x10FFFF) c = 0xFFFD;
    const std::size_t needed = c > 0xFFFF ? 2 : 1;
    if (at + needed > units - 1) break;
    if (needed == 2) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
  }
  put(0);
  return characters;
}

void SendStatusRecord(HWND telephone, ULONG_PTR kind, const wchar_t* title) {
  BYTE payload[2 * kTitleChars * 2] = {};  // the title, then an empty second field
  EncodeField(title, payload, kTitleChars);
  COPYDATASTRUCT record{kind, sizeof payload, payload};
  SendMessageW(telephone, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
}

}  // namespace Phone
