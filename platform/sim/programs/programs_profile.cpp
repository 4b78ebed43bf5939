// The programs member of the device profile: the application the device starts and the telephone program
// (whether it is stored, and its settings), read and written with their checks, set on the device through
// the control API and captured from it.
#include "pndsim/programs.h"
#include "pndsim/telephone.h"
#include "sim/programs/programs.h"

namespace sim::programs {
namespace {

using profile::Json;

void ReadPrograms(const Json& value, const std::string& at, ProgramsSetting& programs) {
  profile::RequireMembers(value, at, {"application", "telephone"}, "programs");
  profile::IfPresent(value, at, "application", [&](const Json& m, const std::string& w) {
    programs.applicationPath = profile::Name(m, w, "a path");
  });
  profile::IfPresent(value, at, "telephone", [&](const Json& phone, const std::string& where) {
    profile::RequireMembers(phone, where,
                            {"installed", "windowDelay", "bluetoothPower", "volumeStep", "language"},
                            "the telephone program");
    profile::IfPresent(phone, where, "installed", [&](const Json& m, const std::string& w) {
      programs.telephoneInstalled = profile::Boolean(m, w);
    });
    profile::IfPresent(phone, where, "windowDelay", [&](const Json& m, const std::string& w) {
      programs.telephoneWindowDelay = static_cast<std::uint32_t>(profile::Integer(m, w, 0, 600000));
    });
    profile::IfPresent(phone, where, "bluetoothPower", [&](const Json& m, const std::string& w) {
      programs.telephoneBluetoothPower = profile::Boolean(m, w);
    });
    profile::IfPresent(phone, where, "volumeStep", [&](const Json& m, const std::string& w) {
      programs.telephoneVolumeStep = static_cast<unsigned>(profile::Integer(m, w, 0, 10));
    });
    profile::IfPresent(phone, where, "language", [&](const Json& m, const std::string& w) {
      programs.telephoneLanguage = static_cast<std::uint32_t>(profile::Integer(m, w, 0, 65535));
    });
  });
}

Json WritePrograms(const ProgramsSetting& programs) {
  return Json{{"application", programs.applicationPath},
              {"telephone",
               {{"installed", programs.telephoneInstalled},
                {"windowDelay", programs.telephoneWindowDelay},
                {"bluetoothPower", programs.telephoneBluetoothPower},
                {"volumeStep", programs.telephoneVolumeStep},
                {"language", programs.telephoneLanguage}}}};
}

// What the telephone program reports is set only when it differs from the reset device's, as the program
// reports every change to its status windows.
void ApplyPrograms(const ProgramsSetting& programs) {
  pndsim::SetApplicationPath(programs.applicationPath);
  if (pndsim::ProgramInstalled(pndsim::kTelephoneProgramPath) != programs.telephoneInstalled) {
    pndsim::SetTelephoneInstalled(programs.telephoneInstalled);
  }
  pndsim::SetTelephoneWindowDelay(programs.telephoneWindowDelay);
  const pndsim::TelephoneState telephone = pndsim::Telephone();
  const int bluetoothPower = programs.telephoneBluetoothPower ? 1 : 0;
  if (telephone.bluetoothPower != bluetoothPower) pndsim::SetTelephoneBluetoothPower(bluetoothPower);
  if (telephone.volumeStep != programs.telephoneVolumeStep) {
    pndsim::SetTelephoneVolumeStep(programs.telephoneVolumeStep);
  }
  pndsim::SetTelephoneLanguage(programs.telephoneLanguage);
}

ProgramsSetting CapturePrograms() {
  const pndsim::TelephoneState telephone = pndsim::Telephone();
  return ProgramsSetting{
      pndsim::ApplicationPath(),      pndsim::ProgramInstalled(pndsim::kTelephoneProgramPath),
      pndsim::TelephoneWindowDelay(), telephone.bluetoothPower != 0,
      telephone.volumeStep,           telephone.language};
}

}  // namespace

constinit const profile::Section<ProgramsSetting> kProgramsSection{
    "programs", 110, ReadPrograms, WritePrograms, ApplyPrograms, CapturePrograms};

namespace {
const profile::Registration kProgramsRegistration{kProgramsSection};
}  // namespace

}  // namespace sim::programs
