// The identity part of `pndhal info`: the device identifier, information
// strings, Bluetooth address and memory figures as the HAL and the platform
// report them.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cstdio>
#include <string>

#include "ce/identity.h"
#include "commands.h"

namespace tool {
namespace {

constexpr std::size_t kTextChars = 512;

// A device-information selector: its JSON member and what the value is, in the words of `info`'s labels.
struct InfoField {
  eDeviceInfoID id;
  const char* name;
  const char* meaning;
};
constexpr InfoField kInfoFields[] = {
    {eDeviceInfoOEM, "oem", "OEM text"},
    {eDeviceInfoValue5, "value5", "16-bit value"},
    {eDeviceInfoText6, "text6", "text, 80 bytes"},
    {eDeviceInfoValue7, "value7", "value"},
    {eDeviceInfoText8, "text8", "text, 80 bytes"},
    {eDeviceInfoValue9, "value9", "value"},
    {eDeviceInfoText10, "text10", "text, 200 bytes"},
    {eDeviceInfoText11, "text11", "text, 202 bytes"},
    {eDeviceInfoValue12, "value12", "32-bit value"},
    {eDeviceInfoValue13, "value13", "32-bit value"},
    {eDeviceInfoValue14, "revision", "revision"},
    {eDeviceInfoVersion, "version", "version text"},
};

// A text the HAL wrote, or nothing when it answered false.
struct Answer {
  bool known = false;
  std::string text;
};

template <class Call>
Answer Ask(Call call) {
  wchar_t buffer[kTextChars] = {};
  Answer answer;
  answer.known = call(buffer, kTextChars);
  if (answer.known) answer.text = pndsim::ToUtf8(buffer);
  return answer;
}

Json JsonOf(const Answer& answer) { return answer.known ? Json(answer.text) : Json(nullptr); }
std::string Plain(const Answer& answer) { return answer.known ? answer.text : "unavailable"; }

// The identity figures as the HAL and the platform report them.
struct Identity {
  Answer id;
  Answer mac;
  Answer fields[std::size(kInfoFields)];
  bool divisionKnown = false;
  DWORD storePages = 0;
  DWORD ramPages = 0;
  DWORD pageSize = 0;
  bool storeKnown = false;
  STORE_INFORMATION store{};
  MEMORYSTATUS memory{};
};

Identity ReadIdentity() {
  Identity identity;
  identity.id = Ask([](wchar_t* buffer, std::size_t n) { return GetDeviceID(buffer, static_cast<int>(n)); });
  identity.mac =
      Ask([](wchar_t* buffer, std::size_t n) { return GetBtMACAddr(buffer, static_cast<int>(n)); });
  for (std::size_t i = 0; i < std::size(kInfoFields); ++i) {
    identity.fields[i] =
        Ask([&](wchar_t* buffer, std::size_t n) { return GetDeviceInfo(kInfoFields[i].id, buffer, n); });
  }
  identity.divisionKnown =
      GetSystemMemoryDivision(&identity.storePages, &identity.ramPages, &identity.pageSize) != FALSE;
  identity.storeKnown = GetStoreInformation(&identity.store) != FALSE;
  identity.memory.dwLength = sizeof identity.memory;
  GlobalMemoryStatus(&identity.memory);
  return identity;
}

}  // namespace

void AddIdentity(Json& info) {
  const Identity identity = ReadIdentity();
  info["deviceId"] = JsonOf(identity.id);
  Json fields = Json::object();
  for (std::size_t i = 0; i < std::size(kInfoFields); ++i) {
    fields[kInfoFields[i].name] = JsonOf(identity.fields[i]);
  }
  info["deviceInfo"] = fields;
  info["bluetoothMac"] = JsonOf(identity.mac);
  // Figures the platform did not report are 0, as its records hold them then.
  const bool division = identity.divisionKnown;
  const bool store = identity.storeKnown;
  info["memory"] = {{"storePages", division ? identity.storePages : 0},
                    {"programPages", division ? identity.ramPages : 0},
                    {"pageSize", division ? identity.pageSize : 0},
                    {"storeBytes", store ? identity.store.dwStoreSize : 0},
                    {"storeFreeBytes", store ? identity.store.dwFreeSize : 0},
                    {"programBytes", identity.memory.dwTotalPhys},
                    {"programFreeBytes", identity.memory.dwAvailPhys}};
}

void PrintIdentity() {
  const Identity identity = ReadIdentity();
  // Each label says what the value is and the call (and selector) a script asks for it.
  PrintField("device id (GetDeviceID)", Plain(identity.id));
  for (std::size_t i = 0; i < std::size(kInfoFields); ++i) {
    PrintField(
        std::string(kInfoFields[i].meaning) + " (GetDeviceInfo " + std::to_string(kInfoFields[i].id) + ")",
        Plain(identity.fields[i]));
  }
  PrintField("Bluetooth address (GetBtMACAddr)", Plain(identity.mac));
  if (identity.divisionKnown) {
    PrintField("memory division", std::to_string(identity.storePages) + " store pages, " +
                                      std::to_string(identity.ramPages) + " program pages of " +
                                      std::to_string(identity.pageSize) + " bytes");
  }
  if (identity.storeKnown) {
    PrintField("object store", std::to_string(identity.store.dwStoreSize) + " bytes, " +
                                   std::to_string(identity.store.dwFreeSize) + " free");
  }
  PrintField("program memory", std::to_string(std::size_t{identity.memory.dwTotalPhys}) + " bytes, " +
                                   std::to_string(std::size_t{identity.memory.dwAvailPhys}) + " free");
}

void PrintField(const std::string& label, const std::string& value) {
  std::printf("%-36s %s\n", (label + ":").c_str(), value.c_str());
}

}  // namespace tool
