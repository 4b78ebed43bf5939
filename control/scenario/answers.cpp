// The exported query functions a scenario can ask, each answer written as the words an expectation of it
// would use.
#include "answers.h"

#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cstdio>

#include "lexer.h"
#include "names.h"

namespace scenario {
namespace {

std::string Bool(bool value) { return value ? "true" : "false"; }

// A text the library writes into a caller's buffer, as one word.
template <class Call>
std::string TextAnswer(Call call) {
  wchar_t buffer[256] = {};
  return call(buffer, 256) ? QuoteWord(pndsim::ToUtf8(buffer)) : "false";
}

std::string TimeAnswer(bool (*get)(CNavTime&)) {
  CNavTime time;
  if (!get(time)) return "false";
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", time.GetYear(), time.GetMonth(),
                time.GetDay(), time.GetHour(), time.GetMinute(), time.GetSecond());
  return text;
}

}  // namespace

const std::vector<Query>& Queries() {
  static const std::vector<Query> queries = {
      {"GetVolume", false, "PERCENT",
       [](long) {
         unsigned percent = 0;
         return GetVolume(percent) ? std::to_string(percent) : "false";
       }},
      {"IsMuted", false, "true|false",
       [](long) {
         bool muted = false;
         return IsMuted(muted) ? Bool(muted) : "false";
       }},
      {"GetBrightness", false, "PERCENT",
       [](long) {
         unsigned percent = 0;
         return GetBrightness(percent) ? std::to_string(percent) : "false";
       }},
      {"PMGetPowerInfo", false, "LEVEL STATE",
       [](long) {
         PMPowerInfo info{};
         if (!PMGetPowerInfo(info)) return std::string("false");
         return std::to_string(info.batteryLevel) + " " +
                PowerStates().NameOf(static_cast<long>(info.powerState));
       }},
      {"GetScreenOrientation", false, "portrait|landscape|square WIDTH HEIGHT",
       [](long) {
         DisplayInfo info{};
         if (!GetScreenOrientation(info)) return std::string("false");
         static const char* const kNames[] = {"portrait", "landscape", "square"};
         const std::string orientation =
             info.orientation < 3 ? kNames[info.orientation] : std::to_string(info.orientation);
         return orientation + " " + std::to_string(info.width) + " " + std::to_string(info.height);
       }},
      {"SearchStorageCard", false, "\"FOLDER\" TYPE",
       [](long) {
         CardInfo card{};
         if (!SearchStorageCard(card)) return std::string("false");
         return QuoteWord(pndsim::ToUtf8(card.path.c_str())) + " " + CardTypes().NameOf(card.cardType);
       }},
      {"GetDeviceID", false, "\"TEXT\"", [](long) { return TextAnswer(GetDeviceID); }},
      {"GetDeviceInfo", true, "\"TEXT\"",
       [](long id) {
         return TextAnswer([id](wchar_t* buffer, int length) {
           return GetDeviceInfo(static_cast<eDeviceInfoID>(id), buffer, static_cast<unsigned long>(length));
         });
       }},
      {"GetBtMACAddr", false, "\"TEXT\"", [](long) { return TextAnswer(GetBtMACAddr); }},
      {"GetLocalNavTime", false, "YYYY-MM-DDTHH:MM:SS", [](long) { return TimeAnswer(GetLocalNavTime); }},
      {"GetGMTNavTime", false, "YYYY-MM-DDTHH:MM:SS", [](long) { return TimeAnswer(GetGMTNavTime); }},
      {"IsFMTransmitterActive", false, "true|false", [](long) { return Bool(IsFMTransmitterActive()); }},
      {"GetCallStatus", false, "STATUS",
       [](long) {
         int status = -1;
         GetBTHAL()->GetCallStatus(status);
         return CallStatuses().NameOf(status);
       }},
      {"GetPhoneVolume", false, "PERCENT",
       [](long) {
         unsigned percent = 0;
         return GetBTHAL()->GetPhoneVolume(percent) ? std::to_string(percent) : "false";
       }},
      {"IsPhoneMuted", false, "true|false",
       [](long) {
         bool muted = false;
         return GetBTHAL()->IsPhoneMuted(muted) ? Bool(muted) : "false";
       }},
  };
  return queries;
}

}  // namespace scenario
