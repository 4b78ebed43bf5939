// Audio in the scenario language: the volume and muting through the library, the mixer as another program
// sets it; the volume listener and the audio queries.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include "service.h"
#include "statement_makers.h"

namespace scenario {
namespace {

Statement ParseVolume(Cursor& cursor) {
  const long percent = cursor.Integer(0, 100, "a volume percentage");
  return Action("volume " + std::to_string(percent), [percent] {
    SetVolume(static_cast<unsigned>(percent));
    return std::string();
  });
}

Statement ParseMute(Cursor& cursor) {
  const bool on = cursor.OnOff();
  return Action(on ? "mute on" : "mute off", [on] {
    Mute(on);
    return std::string();
  });
}

Statement ParseMixer(Cursor& cursor) {
  const long left = cursor.Integer(0, 0xFFFF, "a mixer level");
  const long right = cursor.AtEnd() ? left : cursor.Integer(0, 0xFFFF, "a mixer level for the right channel");
  return Action("mixer " + std::to_string(left) + " " + std::to_string(right), [=] {
    pndsim::SetVolumeChannels(static_cast<std::uint16_t>(left), static_cast<std::uint16_t>(right));
    return std::string();
  });
}

std::string VolumeAnswer(long) {
  unsigned percent = 0;
  return GetVolume(percent) ? std::to_string(percent) : "false";
}

std::string MutedAnswer(long) {
  bool muted = false;
  return IsMuted(muted) ? BoolAnswer(muted) : "false";
}

std::string FmTransmitterAnswer(long) { return BoolAnswer(IsFMTransmitterActive()); }

// expect volume PERCENT [muted|unmuted]
void VolumePattern(CallPattern& pattern) {
  pattern.Number(0, 255, "a volume percentage");
  if (!pattern.AtEnd()) pattern.Choice({"muted", "unmuted"});
}

ListenerCall VolumeCall(VolumeInfo const& volume) {
  return {{NumberField("volume", volume.volume),
           NumberField("muted", volume.muted ? 1 : 0, volume.muted ? "muted" : "unmuted")},
          {}};
}

// The polling thread's first round reports the volume it finds when it is not 0, its starting point.
std::string_view ReportAtStart() {
  unsigned volume = 0;
  GetVolume(volume);
  return volume != 0 ? pndhal::ListenerKind<IVolumeListener>::kName : std::string_view();
}

ServiceDescription Describe() {
  return {
      .verbs =
          {
              {100, {"volume", "volume PERCENT", "set the volume through the library"}, ParseVolume},
              {110, {"mute", "mute on|off", "mute or unmute through the library"}, ParseMute},
              {120,
               {"mixer", "mixer LEFT [RIGHT]",
                "set the mixer's channels (0 to 65535) as another program would"},
               ParseMixer},
          },
      .queries =
          {
              {10, "GetVolume", false, "PERCENT", VolumeAnswer},
              {20, "IsMuted", false, "true|false", MutedAnswer},
              {120, "IsFMTransmitterActive", false, "true|false", FmTransmitterAnswer},
          },
      .listeners = {Listener<IVolumeListener>(VolumePattern, VolumeCall)},
      .reportAtStart = ReportAtStart,
  };
}

const Service kAudio(Describe);

}  // namespace
}  // namespace scenario
