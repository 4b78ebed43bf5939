// The simulated device's power: status report, suspend and resume (the power key's among them), the idle
// timer, the power broadcasts written to every queue registered for power notifications, and the profile's
// "power" member that sets the status. The kernel lock guards the state.
#include <cstdio>
#include <cstring>

#include "ce/power.h"
#include "pndsim/names.h"
#include "pndsim/power.h"
#include "sim/io_control/io_control.h"
#include "sim/kernel/kernel.h"
#include "sim/power/power.h"
#include "sim/profile/profile.h"
#include "sim/text_codec/text_codec.h"

namespace sim {
namespace {

// A queue's registration for power broadcasts.
class PowerRegistration final : public Object {
 public:
  PowerRegistration(std::weak_ptr<MsgQueueObject> target, DWORD kinds)
      : queue(std::move(target)), mask(kinds) {}
  std::weak_ptr<MsgQueueObject> queue;
  DWORD mask;
};

using profile::Json;

void ReadPower(const Json& value, const std::string& at, pndsim::PowerStatus& power) {
  profile::RequireMembers(value, at, {"battery", "batteryFlag", "ac"}, "power");
  profile::IfPresent(value, at, "battery", [&](const Json& m, const std::string& w) {
    power.batteryPercent =
        m.is_null() ? std::uint8_t{0xFF}
                    : static_cast<std::uint8_t>(profile::Integer(m, w, 0, 100, ", or null for unknown"));
  });
  profile::IfPresent(value, at, "batteryFlag", [&](const Json& m, const std::string& w) {
    power.batteryFlag = static_cast<std::uint8_t>(profile::Integer(m, w, 0, 255));
  });
  profile::IfPresent(value, at, "ac", [&](const Json& m, const std::string& w) {
    std::string expected;
    const std::size_t count = std::size(pndsim::kAcLineNames);
    for (std::size_t i = 0; i < count; ++i) {
      const auto& [name, state] = pndsim::kAcLineNames[i];
      if (m.is_string() && m.get_ref<const std::string&>() == name) {
        power.acLineStatus = static_cast<std::uint8_t>(state);
        return;
      }
      expected += std::string(i == 0 ? "" : i + 1 == count ? " or " : ", ") + "\"" + std::string(name) + "\"";
    }
    throw profile::Fault{w, false, "expected " + expected + ", got " + profile::Shown(m)};
  });
}

Json WritePower(const pndsim::PowerStatus& power) {
  Json ac = power.acLineStatus;
  if (const std::string_view name = pndsim::NameOf(pndsim::kAcLineNames, power.acLineStatus); !name.empty()) {
    ac = name;
  }
  Json battery = power.batteryPercent;
  if (power.batteryPercent == 0xFF) battery = nullptr;
  return Json{{"battery", battery}, {"batteryFlag", power.batteryFlag}, {"ac", ac}};
}

// Only a status that differs from the reset device's is set, as only a change is broadcast.
void ApplyPower(const pndsim::PowerStatus& power) {
  const pndsim::PowerStatus current = pndsim::GetPowerStatus();
  if (std::memcmp(&current, &power, sizeof power) != 0) pndsim::SetPowerStatus(power);
}

constinit const profile::Section<pndsim::PowerStatus> kPower{"power",    20,         ReadPower,
                                                             WritePower, ApplyPower, pndsim::GetPowerStatus};
const profile::Registration kPowerRegistration{kPower};

struct PowerModel {
  pndsim::PowerStatus status GUARDED_BY(KernelMutex()) = kPower.BuiltIn();
  bool suspended GUARDED_BY(KernelMutex()) = false;
  int suspends GUARDED_BY(KernelMutex()) = 0;
  int reboots GUARDED_BY(KernelMutex()) = 0;
  int idleResets GUARDED_BY(KernelMutex()) = 0;
  std::uint64_t statusReads GUARDED_BY(KernelMutex()) = 0;  // since the device started: no reset clears it
  std::vector<std::weak_ptr<PowerRegistration>> registrations GUARDED_BY(KernelMutex());
};

PowerModel& Model() {
  static auto* model = [] {
    auto* created = new PowerModel;
    OnReset([] {
      KernelLock lock(KernelMutex());
      PowerModel& power = Model();
      power.status = kPower.BuiltIn();
      power.suspended = false;
      power.suspends = power.reboots = power.idleResets = 0;
      // Registrations belong to running code and stay.
    });
    return created;
  }();
  return *model;
}

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

// Writes one broadcast to every matching queue.
int Broadcast(DWORD message, DWORD flags, const std::string& stateName) REQUIRES(KernelMutex()) {
  std::u16string name(stateName.begin(), stateName.end());  // state names are ASCII
  const DWORD nameBytes = static_cast<DWORD>((name.size() + 1) * sizeof(char16_t));
  std::vector<std::uint8_t> record(offsetof(POWER_BROADCAST, SystemPowerState) + nameBytes, 0);
  std::memcpy(record.data(), &message, sizeof message);
  std::memcpy(record.data() + 4, &flags, sizeof flags);
  std::memcpy(record.data() + 8, &nameBytes, sizeof nameBytes);
  std::memcpy(record.data() + 12, name.data(), name.size() * sizeof(char16_t));

  const int written = WriteToRegistered(
      Model().registrations, record,
      [message](const PowerRegistration& registration) { return (registration.mask & message) != 0; });
  Record("power.broadcast",
         {NumberField("message", message, Hex(message)), NumberField("flags", flags, Hex(flags)),
          TextField("state", stateName), NumberField("queues", written)});
  return written;
}

// Changes the status and broadcasts the change, as the battery driver does.
template <class Change>
void ChangeStatus(Change change) {
  KernelLock lock(KernelMutex());
  pndsim::PowerStatus& status = Model().status;
  change(status);
  char flag[8];
  std::snprintf(flag, sizeof flag, "0x%02X", status.batteryFlag);
  Record("power.status",
         {NumberField("ac", status.acLineStatus), NumberField("flag", status.batteryFlag, flag),
          NumberField("battery", status.batteryPercent)});
  Broadcast(PBT_POWERSTATUSCHANGE, 0, "");
}

}  // namespace

bool SuspendLocked(const std::string& cause) {
  PowerModel& power = Model();
  if (power.suspended) return false;
  power.suspended = true;
  ++power.suspends;
  Record("power.suspend", {TextField("cause", cause)}, "{cause}");
  Broadcast(PBT_TRANSITION, POWER_STATE_SUSPEND, "suspend");
  return true;
}

BOOL RebootIoControl(const IoControlRequest&) {
  KernelLock lock(KernelMutex());
  ++Model().reboots;
  Record("power.reboot", std::vector<pndsim::TraceField>{});
  return TRUE;
}

}  // namespace sim

using namespace sim;

BOOL GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX status, BOOL) {
  if (status == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  KernelLock lock(KernelMutex());
  ++Model().statusReads;
  const pndsim::PowerStatus& current = Model().status;
  *status = SYSTEM_POWER_STATUS_EX{};
  status->ACLineStatus = current.acLineStatus;
  status->BatteryFlag = current.batteryFlag;
  status->BatteryLifePercent = current.batteryPercent;
  status->BatteryLifeTime = status->BatteryFullLifeTime = 0xFFFFFFFF;  // unknown, as the device reports
  status->BackupBatteryFlag = BATTERY_FLAG_UNKNOWN;
  status->BackupBatteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
  status->BackupBatteryLifeTime = status->BackupBatteryFullLifeTime = 0xFFFFFFFF;
  return TRUE;
}

DWORD SetSystemPowerState(LPCWSTR stateName, DWORD stateFlags, DWORD options) {
  const bool byName = stateName != nullptr && Narrow(stateName) == "suspend";
  KernelLock lock(KernelMutex());
  Record("power.request",
         {NumberField("state", stateFlags, Hex(stateFlags)), NumberField("options", options, Hex(options))});
  if (!byName && stateFlags != POWER_STATE_SUSPEND) return ERROR_NOT_SUPPORTED;
  SuspendLocked("SetSystemPowerState");
  return ERROR_SUCCESS;
}

void SystemIdleTimerReset() {
  KernelLock lock(KernelMutex());
  ++Model().idleResets;
  Record("idle.reset", {NumberField("count", Model().idleResets)}, "{count}");
}

HANDLE RequestPowerNotifications(HANDLE queue, DWORD mask) {
  KernelLock lock(KernelMutex());
  auto object = LookupAs<MsgQueueObject>(queue);
  if (!object) {
    return FailCall(ERROR_INVALID_HANDLE, nullptr);
  }
  auto registration = std::make_shared<PowerRegistration>(object, mask);
  Model().registrations.push_back(registration);
  Record("power.notify", {NumberField("mask", mask, Hex(mask))});
  return InsertHandle(std::move(registration));
}

BOOL StopPowerNotifications(HANDLE registration) {
  return CloseRegistration<PowerRegistration>(registration);
}

pndsim::PowerStatus pndsim::GetPowerStatus() {
  KernelLock lock(KernelMutex());
  return Model().status;
}

void pndsim::SetPowerStatus(PowerStatus status) {
  ChangeStatus([&](PowerStatus& current) { current = status; });
}

void pndsim::PlugAc() {
  ChangeStatus([](PowerStatus& current) { current.acLineStatus = AC_LINE_ONLINE; });
}

void pndsim::UnplugAc() {
  ChangeStatus([](PowerStatus& current) { current.acLineStatus = AC_LINE_OFFLINE; });
}

void pndsim::SetBattery(std::uint8_t percent, std::uint8_t flag) {
  ChangeStatus([&](PowerStatus& current) {
    current.batteryPercent = percent;
    current.batteryFlag = flag;
  });
}

bool pndsim::Suspend() {
  KernelLock lock(KernelMutex());
  return SuspendLocked("control");
}

bool pndsim::Resume() {
  KernelLock lock(KernelMutex());
  PowerModel& power = Model();
  if (!power.suspended) return false;
  power.suspended = false;
  Record("power.resume", std::vector<pndsim::TraceField>{});
  Broadcast(PBT_RESUME, 0, "");
  Broadcast(PBT_TRANSITION, POWER_STATE_ON, "on");
  return true;
}

bool pndsim::IsSuspended() {
  KernelLock lock(KernelMutex());
  return Model().suspended;
}

int pndsim::SuspendCount() {
  KernelLock lock(KernelMutex());
  return Model().suspends;
}

int pndsim::RebootCount() {
  KernelLock lock(KernelMutex());
  return Model().reboots;
}

int pndsim::IdleTimerResets() {
  KernelLock lock(KernelMutex());
  return Model().idleResets;
}

std::uint64_t pndsim::PowerStatusReads() {
  KernelLock lock(KernelMutex());
  return Model().statusReads;
}

int pndsim::BroadcastPower(std::uint32_t message, std::uint32_t flags, const std::string& stateName) {
  KernelLock lock(KernelMutex());
  return Broadcast(message, flags, stateName);
}

int pndsim::PowerNotificationCount() {
  KernelLock lock(KernelMutex());
  int count = 0;
  for (const auto& entry : Model().registrations) {
    auto registration = entry.lock();
    if (registration && !registration->queue.expired()) ++count;
  }
  return count;
}
