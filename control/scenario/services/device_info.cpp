// The device's identity in the scenario language: its identifier, its information texts and its
// Bluetooth address, as the library's queries answer them.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include "lexer.h"
#include "service.h"

namespace scenario {
namespace {

// A text the library writes into a caller's buffer, as one word.
template <class Call>
std::string TextAnswer(Call call) {
  wchar_t buffer[256] = {};
  return call(buffer, 256) ? QuoteWord(pndsim::ToUtf8(buffer)) : "false";
}

std::string DeviceIdAnswer(long) { return TextAnswer(GetDeviceID); }

std::string DeviceInfoAnswer(long id) {
  return TextAnswer([id](wchar_t* buffer, int length) {
    return GetDeviceInfo(static_cast<eDeviceInfoID>(id), buffer, static_cast<unsigned long>(length));
  });
}

std::string BluetoothAddressAnswer(long) { return TextAnswer(GetBtMACAddr); }

ServiceDescription Describe() {
  return {
      .queries =
          {
              {70, "GetDeviceID", false, "\"TEXT\"", DeviceIdAnswer},
              {80, "GetDeviceInfo", true, "\"TEXT\"", DeviceInfoAnswer},
              {90, "GetBtMACAddr", false, "\"TEXT\"", BluetoothAddressAnswer},
          },
  };
}

const Service kDeviceInfo(Describe);

}  // namespace
}  // namespace scenario
