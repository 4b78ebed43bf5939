// `pndhal time` and `pndhal zones`: the device clock, the current zone and
// the zone database as the HAL reads them.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cstdio>

#include "commands.h"
#include "text_output.h"
#include "time/zone_database.h"

namespace tool {
namespace {

std::string Formatted(CNavTime& time) {
  wchar_t text[32];
  time.Format(text, 32, L"%Y-%m-%d %H:%M:%S");
  return pndsim::ToUtf8(text);
}

long OffsetNow(const CNavTimeZone& zone) {
  CNavTime now;
  GetGMTNavTime(now);
  CNavTimeSpan span;
  zone.GetTimeSpan(now, span);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(span.GetTotalSeconds()));
}

bool ParseJsonFlag(const std::vector<std::string>& args, const char* command, bool& json) {
  json = false;
  for (const auto& arg : args) {
    if (arg == "--json") {
      json = true;
    } else {
      std::fprintf(stderr, "pndhal: %s: unknown argument '%s' (only --json)\n", command, arg.c_str());
      return false;
    }
  }
  return true;
}

class ZonePrinter final : public time_services::ZoneVisitor {
 public:
  explicit ZonePrinter(bool json) : json_(json) {}
  void Zone(const wchar_t* name, const wchar_t* display, const wchar_t* descriptor) override {
    const CNavTimeZone zone(descriptor);
    const long offset = OffsetNow(zone);
    if (json_) {
      std::printf("%s  {\"name\": %s, \"display\": %s, \"descriptor\": %s, \"offsetNowSeconds\": %ld}",
                  count_ == 0 ? "" : ",\n", JsonString(pndsim::ToUtf8(name)).c_str(),
                  JsonString(pndsim::ToUtf8(display)).c_str(), JsonString(pndsim::ToUtf8(descriptor)).c_str(),
                  offset);
    } else {
      std::printf("%-32s %+6.2f h  %-48s %s\n", pndsim::ToUtf8(name).c_str(),
                  static_cast<double>(offset) / 3600, pndsim::ToUtf8(descriptor).c_str(),
                  pndsim::ToUtf8(display).c_str());
    }
    ++count_;
  }
  int Count() const { return count_; }

 private:
  bool json_;
  int count_ = 0;
};

}  // namespace

int Time(const std::vector<std::string>& args) {
  bool json = false;
  if (!ParseJsonFlag(args, "time", json)) return 2;
  CNavTime local, utc;
  GetLocalNavTime(local);
  GetGMTNavTime(utc);
  wchar_t descriptor[time_services::kDescriptorChars] = L"";
  String::StringProxy<String::ZuStringImpl> daylightName;
  const bool zoneKnown = time_services::CurrentZoneDescriptor(descriptor, time_services::kDescriptorChars,
                                                              time_services::CurrentUtcYear(), daylightName);
  const long offset = OffsetNow(GetTimezone());
  const std::string zoneName = pndsim::TimeZoneName();
  if (json) {
    std::printf("{\"utc\": %s, \"local\": %s, \"zone\": %s, \"descriptor\": %s, \"offsetNowSeconds\": %ld}\n",
                JsonString(Formatted(utc)).c_str(), JsonString(Formatted(local)).c_str(),
                JsonString(zoneName).c_str(),
                zoneKnown ? JsonString(pndsim::ToUtf8(descriptor)).c_str() : "null", offset);
  } else {
    std::printf("device time (UTC):   %s\n", Formatted(utc).c_str());
    std::printf("device time (local): %s\n", Formatted(local).c_str());
    std::printf("time zone:           %s\n", zoneName.c_str());
    std::printf("descriptor:          %s\n",
                zoneKnown ? pndsim::ToUtf8(descriptor).c_str() : "(none: the system reports no zone)");
    std::printf("zone offset now:     %+.2f h\n", static_cast<double>(offset) / 3600);
  }
  FreeDLL();
  return 0;
}

int Zones(const std::vector<std::string>& args) {
  bool json = false;
  if (!ParseJsonFlag(args, "zones", json)) return 2;
  InitHAL();
  REG_TZI_FORMAT tzi{};
  String::StringProxy<String::ZuStringImpl> display;
  ZonePrinter printer(json);
  if (json) std::printf("[\n");
  time_services::WalkZoneDatabase(L"Time Zones", time_services::CurrentUtcYear(), tzi, display, printer);
  if (json) std::printf("%s]\n", printer.Count() == 0 ? "" : "\n");
  FreeDLL();
  return 0;
}

}  // namespace tool
