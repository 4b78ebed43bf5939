// `pndhal time` and `pndhal zones`: the device clock, the current zone and
// the zone database as the HAL reads them.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cstdio>
#include <memory>
#include <string>

#include "command_line.h"
#include "commands.h"
#include "json_output.h"
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

// Prints each zone as a text line, or collects it for the JSON array.
class ZonePrinter final : public time_services::ZoneVisitor {
 public:
  explicit ZonePrinter(bool json) : json_(json) {}
  bool Zone(const wchar_t* name, const wchar_t* display, const wchar_t* descriptor) override {
    const CNavTimeZone zone(descriptor);
    const long offset = OffsetNow(zone);
    if (json_) {
      zones_.push_back({{"name", pndsim::ToUtf8(name)},
                        {"display", pndsim::ToUtf8(display)},
                        {"descriptor", pndsim::ToUtf8(descriptor)},
                        {"offsetNowSeconds", offset}});
    } else {
      std::printf("%-32s %+6.2f h  %-48s %s\n", pndsim::ToUtf8(name).c_str(),
                  static_cast<double>(offset) / 3600, pndsim::ToUtf8(descriptor).c_str(),
                  pndsim::ToUtf8(display).c_str());
    }
    return true;
  }
  const Json& Zones() const { return zones_; }

 private:
  bool json_;
  Json zones_ = Json::array();
};

int Time(const CommonOptions& options) {
  CNavTime local, utc;
  GetLocalNavTime(local);
  GetGMTNavTime(utc);
  wchar_t descriptor[time_services::kDescriptorChars] = L"";
  String::StringProxy<String::ZuStringImpl> daylightName;
  const bool zoneKnown = time_services::CurrentZoneDescriptor(descriptor, time_services::kDescriptorChars,
                                                              time_services::CurrentUtcYear(), daylightName);
  const long offset = OffsetNow(GetTimezone());
  const std::string zoneName = pndsim::TimeZoneName();
  if (options.json) {
    PrintJson({{"utc", Formatted(utc)},
               {"local", Formatted(local)},
               {"zone", zoneName},
               {"descriptor", zoneKnown ? Json(pndsim::ToUtf8(descriptor)) : Json(nullptr)},
               {"offsetNowSeconds", offset}});
  } else {
    std::printf("device time (UTC):   %s\n", Formatted(utc).c_str());
    std::printf("device time (local): %s\n", Formatted(local).c_str());
    std::printf("time zone:           %s\n", zoneName.c_str());
    std::printf("descriptor:          %s\n",
                zoneKnown ? pndsim::ToUtf8(descriptor).c_str() : "(none: the system reports no zone)");
    std::printf("zone offset now:     %+.2f h\n", static_cast<double>(offset) / 3600);
  }
  FreeDLL();
  return kExitSuccess;
}

int Zones(const CommonOptions& options) {
  InitHAL();
  REG_TZI_FORMAT tzi{};
  String::StringProxy<String::ZuStringImpl> display;
  ZonePrinter printer(options.json);
  time_services::WalkZoneDatabase(L"Time Zones", time_services::CurrentUtcYear(), tzi, display, printer);
  if (options.json) PrintJson(printer.Zones());
  FreeDLL();
  return kExitSuccess;
}

}  // namespace

void AddTimeCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "time", "show the device's UTC and local time, its time zone and the zone's descriptor");
  auto options = std::make_shared<CommonOptions>();
  AddCommonOptions(*command, *options, {.json = true});
  SetAction(*command, [options] { return Time(*options); });
}

void AddZonesCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand("zones", "list the time-zone database as the HAL reads it");
  auto options = std::make_shared<CommonOptions>();
  AddCommonOptions(*command, *options, {.json = true});
  SetAction(*command, [options] { return Zones(*options); });
}

}  // namespace tool
