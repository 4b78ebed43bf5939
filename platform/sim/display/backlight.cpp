// The simulated display: the raw backlight level and every write to it, the screen resolution, and the
// screen's device context; the profile's "backlight" and "screen" members set the level and the resolution.
#include "sim/display/backlight.h"

#include "ce/display.h"
#include "ce/window.h"
#include "pndsim/display.h"
#include "sim/io_control/io_control.h"
#include "sim/kernel/kernel.h"
#include "sim/profile/profile.h"

namespace sim {
namespace {

using profile::Json;

struct Screen {
  int width = 0;
  int height = 0;
};

void ReadLevel(const Json& value, const std::string& at, unsigned& level) {
  profile::RequireMembers(value, at, {"level"}, "the backlight");
  profile::IfPresent(value, at, "level", [&](const Json& m, const std::string& w) {
    level = static_cast<unsigned>(profile::Integer(m, w, 0, 255));
  });
}

Json WriteLevel(const unsigned& level) { return Json{{"level", level}}; }

void ApplyLevel(const unsigned& level) { pndsim::SetBacklightLevel(level); }

unsigned CaptureLevel() { return pndsim::BacklightLevel(); }

void ReadScreen(const Json& value, const std::string& at, Screen& screen) {
  profile::RequireMembers(value, at, {"width", "height"}, "the screen");
  profile::IfPresent(value, at, "width", [&](const Json& m, const std::string& w) {
    screen.width = static_cast<int>(profile::Integer(m, w, 0, 32767));
  });
  profile::IfPresent(value, at, "height", [&](const Json& m, const std::string& w) {
    screen.height = static_cast<int>(profile::Integer(m, w, 0, 32767));
  });
}

Json WriteScreen(const Screen& screen) { return Json{{"width", screen.width}, {"height", screen.height}}; }

void ApplyScreen(const Screen& screen) { pndsim::SetScreenSize(screen.width, screen.height); }

Screen CaptureScreen() {
  const auto [width, height] = pndsim::ScreenSize();
  return Screen{width, height};
}

constinit const profile::Section<unsigned> kBacklight{"backlight", 30,         ReadLevel,
                                                      WriteLevel,  ApplyLevel, CaptureLevel};
const profile::Registration kBacklightRegistration{kBacklight};

constinit const profile::Section<Screen> kScreen{"screen",    50,          ReadScreen,
                                                 WriteScreen, ApplyScreen, CaptureScreen};
const profile::Registration kScreenRegistration{kScreen};

struct Display {
  Display() { Restore(); }  // not shared yet: no lock to take

  Mutex mutex;
  unsigned level GUARDED_BY(mutex) = 0;
  BoundedRecord<pndsim::BacklightWrite> writes GUARDED_BY(mutex){pndsim::kDefaultBacklightWritesCapacity};
  int width GUARDED_BY(mutex) = 0;
  int height GUARDED_BY(mutex) = 0;

  // Back to the built-in profile, with no writes recorded.
  void Restore() REQUIRES(mutex) {
    level = kBacklight.BuiltIn();
    writes.Reset(pndsim::kDefaultBacklightWritesCapacity);
    width = kScreen.BuiltIn().width;
    height = kScreen.BuiltIn().height;
  }
};

Display& Model() {
  static auto* model = [] {
    auto* created = new Display;
    OnReset([] {
      Display& display = Model();
      sim::MutexLock lock(display.mutex);
      display.Restore();
    });
    return created;
  }();
  return *model;
}

// The one device context there is: the screen's.
HDC const kScreenContext = reinterpret_cast<HDC>(static_cast<std::uintptr_t>(0x5C00));

}  // namespace

unsigned ReadBacklight() {
  Display& display = Model();
  sim::MutexLock lock(display.mutex);
  return display.level;
}

// The driver takes its request in the size arguments: a read request stores
// the level where the byte count would go, a write carries it.
BOOL BacklightIoControl(const IoControlRequest& request) {
  if (request.inputSize == BACKLIGHT_READ_REQUEST) {
    if (request.bytesReturned == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    *request.bytesReturned = ReadBacklight();
    Record("ioctl", {TextField("request", "backlight read")}, "{request}");
    return TRUE;
  }
  WriteBacklightLevel(request.inputSize, "ioctl");
  return TRUE;
}

void WriteBacklightLevel(unsigned level, const std::string& via) {
  const std::uint32_t tick = GetTickCount();
  {
    Display& display = Model();
    sim::MutexLock lock(display.mutex);
    display.level = level;
    display.writes.Add({level, tick, via});
  }
  Record("backlight", {NumberField("level", level), TextField("via", via)});
}

}  // namespace sim

using namespace sim;

HDC GetDC(HWND window) {
  if (window != nullptr && !IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return kScreenContext;
}

int ReleaseDC(HWND, HDC context) { return context == kScreenContext ? 1 : 0; }

int GetDeviceCaps(HDC context, int index) {
  if (context != kScreenContext) return 0;
  Display& display = Model();
  sim::MutexLock lock(display.mutex);
  switch (index) {
    case HORZRES:
      return display.width;
    case VERTRES:
      return display.height;
    case BITSPIXEL:
      return 16;
    default:
      return 0;
  }
}

unsigned pndsim::BacklightLevel() { return ReadBacklight(); }

void pndsim::SetBacklightLevel(unsigned level) {
  Display& display = Model();
  sim::MutexLock lock(display.mutex);
  display.level = level;
}

void pndsim::WriteBacklight(unsigned level, const std::string& via) { WriteBacklightLevel(level, via); }

std::vector<pndsim::BacklightWrite> pndsim::BacklightWrites() {
  Display& display = Model();
  sim::MutexLock lock(display.mutex);
  return display.writes.Copy();
}

void pndsim::ClearBacklightWrites() {
  Display& display = Model();
  sim::MutexLock lock(display.mutex);
  display.writes.Clear();
}

void pndsim::SetBacklightWritesCapacity(std::size_t capacity) {
  Display& display = Model();
  sim::MutexLock lock(display.mutex);
  display.writes.SetCapacity(capacity);
}

pndsim::RecordStatus pndsim::BacklightWritesStatus() {
  Display& display = Model();
  sim::MutexLock lock(display.mutex);
  return display.writes.Status();
}

void pndsim::SetScreenSize(int width, int height) {
  Display& display = Model();
  sim::MutexLock lock(display.mutex);
  display.width = width < 0 ? 0 : width;
  display.height = height < 0 ? 0 : height;
}

std::pair<int, int> pndsim::ScreenSize() {
  Display& display = Model();
  sim::MutexLock lock(display.mutex);
  return {display.width, display.height};
}
