// The display in the scenario language: the backlight and the display switched through the library; the
// brightness and screen queries.
#include <pndhal/pndhal.h>

#include "service.h"
#include "statement_makers.h"

namespace scenario {
namespace {

// The screen's orientation: portrait, landscape, square.
const NameTable& Orientations() {
  static const NameTable table("an orientation", pndhal::kOrientationNames);
  return table;
}

Statement ParseBrightness(Cursor& cursor) {
  const long percent = cursor.Integer(0, 100, "a brightness percentage");
  long fade = 0;
  if (!cursor.AtEnd()) {
    cursor.Choice({"fade"});
    fade = cursor.Integer(0, 100000, "a fade rate");
  }
  return Action("brightness " + std::to_string(percent) + " fade " + std::to_string(fade), [=] {
    SetBrightness(static_cast<unsigned>(percent), static_cast<unsigned>(fade));
    return std::string();
  });
}

Statement ParseDisplay(Cursor& cursor) {
  const bool on = cursor.OnOff();
  return Action(on ? "display on" : "display off", [on] {
    // What the library answers is for an expectation to check; the action is done either way.
    static_cast<void>(on ? PMDisplayOn() : PMDisplayOff());
    return std::string();
  });
}

std::string BrightnessAnswer(long) {
  unsigned percent = 0;
  return GetBrightness(percent) ? std::to_string(percent) : "false";
}

std::string OrientationAnswer(long) {
  DisplayInfo info{};
  if (!GetScreenOrientation(info)) return "false";
  return Orientations().NameOf(info.orientation) + " " + std::to_string(info.width) + " " +
         std::to_string(info.height);
}

ServiceDescription Describe() {
  return {
      .verbs =
          {
              {130,
               {"brightness", "brightness PERCENT [fade RATE]", "set the backlight through the library"},
               ParseBrightness},
              {140, {"display", "display on|off", "switch the display through the library"}, ParseDisplay},
          },
      .queries =
          {
              {30, "GetBrightness", false, "PERCENT", BrightnessAnswer},
              {50, "GetScreenOrientation", false, "portrait|landscape|square WIDTH HEIGHT",
               OrientationAnswer},
          },
  };
}

const Service kDisplay(Describe);

}  // namespace
}  // namespace scenario
