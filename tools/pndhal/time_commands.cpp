// `pndhal time` and `pndhal zones`: the device clock, the current zone and the zone database as the HAL
// reports them through its exported functions, beside the names the simulated device gives them.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "command_line.h"
#include "commands.h"
#include "json_output.h"

namespace tool {
namespace {

std::string Formatted(CNavTime& time) {
  wchar_t text[32];
  time.Format(text, 32, L"%Y-%m-%d %H:%M:%S");
  return pndsim::ToUtf8(text);
}

// The zone's offset from UTC at the device's current time, in seconds.
long OffsetNow(const CNavTimeZone& zone) {
  CNavTime now;
  GetGMTNavTime(now);
  CNavTimeSpan span;
  zone.GetTimeSpan(now, span);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(span.GetTotalSeconds()));
}

// An offset as the zones' display names write it: "+05:30", "-09:30", "+00:00".
std::string OffsetText(long seconds) {
  const long minutes = std::labs(seconds) / 60;
  char text[48];
  std::snprintf(text, sizeof text, "%c%02ld:%02ld", seconds < 0 ? '-' : '+', minutes / 60, minutes % 60);
  return text;
}

std::string Description(const CNavTimeZone& zone) {
  wchar_t text[512];
  zone.GetDescription(text, 512);
  return pndsim::ToUtf8(text);
}

int Time(const CommonOptions& options) {
  CNavTime local, utc;
  GetLocalNavTime(local);
  GetGMTNavTime(utc);
  const CNavTimeZone& zone = GetTimezone();
  const long offset = OffsetNow(zone);
  const std::string zoneName = pndsim::TimeZoneName();
  const std::string description = Description(zone);
  if (options.json) {
    PrintJson({{"utc", Formatted(utc)},
               {"local", Formatted(local)},
               {"zone", zoneName},
               {"description", description},
               {"offsetNowSeconds", offset}});
  } else {
    std::printf("device time (UTC):   %s\n", Formatted(utc).c_str());
    std::printf("device time (local): %s\n", Formatted(local).c_str());
    std::printf("time zone:           %s\n", zoneName.c_str());
    std::printf("zone description:    %s\n", description.empty() ? "(none)" : description.c_str());
    std::printf("zone offset now:     %s\n", OffsetText(offset).c_str());
  }
  FreeDLL();
  return kExitSuccess;
}

int Zones(const CommonOptions& options) {
  // The library's zones come in the order the device enumerates its database, which names them.
  const Container::ZuVector<CNavTimeZone>& zones = GetAvailableTimezones();
  const std::vector<std::string> names =
      pndsim::ListRegistrySubkeys(pndsim::RegistryRoot::LocalMachine, "Time Zones");
  Json listed = Json::array();
  for (std::size_t i = 0; i < zones.size(); ++i) {
    const std::string name = i < names.size() ? names[i] : std::string();
    const long offset = OffsetNow(zones[i]);
    const std::string display = Description(zones[i]);
    if (options.json) {
      listed.push_back({{"name", name}, {"display", display}, {"offsetNowSeconds", offset}});
    } else {
      std::printf("%-32s %s  %s\n", name.c_str(), OffsetText(offset).c_str(), display.c_str());
    }
  }
  if (options.json) PrintJson(listed);
  FreeDLL();
  return kExitSuccess;
}

}  // namespace

void AddTimeCommand(CLI::App& app) {
  CLI::App* command =
      app.add_subcommand("time", "show the device's UTC and local time, its time zone and the zone's offset");
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
