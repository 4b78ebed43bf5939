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

struct InfoField {
  eDeviceInfoID id;
  const char* name;
};
constexpr InfoField kInfoFields[] = {
    {eDeviceInfoOEM, "oem"},         {eDeviceInfoValue5, "value5"},    {eDeviceInfoText6, "text6"},
    {eDeviceInfoValue7, "value7"},   {eDeviceInfoText8, "text8"},      {eDeviceInfoValue9, "value9"},
    {eDeviceInfoText10, "text10"},   {eDeviceInfoText11, "text11"},    {eDeviceInfoValue12, "value12"},
    {eDeviceInfoValue13, "value13"}, {eDeviceInfoValue14, "revision"}, {eDeviceInfoVersion, "version"},
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
  std::printf("device id:  %s\n", Plain(identity.id).c_str());
  for (std::size_t i = 0; i < std::size(kInfoFields); ++i) {
    std::printf("info %-9s %s\n", (std::string(kInfoFields[i].name) + ":").c_str(),
                Plain(identity.fields[i]).c_str());
  }
  std::printf("bluetooth:  %s\n", Plain(identity.mac).c_str());
  if (identity.divisionKnown) {
    std::printf("memory:     %u store pages, %u program pages of %u bytes\n", identity.storePages,
                identity.ramPages, identity.pageSize);
  }
  if (identity.storeKnown) {
    std::printf("store:      %u bytes, %u free\n", identity.store.dwStoreSize, identity.store.dwFreeSize);
  }
  std::printf("programs:   %zu bytes, %zu free\n", std::size_t{identity.memory.dwTotalPhys},
              std::size_t{identity.memory.dwAvailPhys});
}

}  // namespace tool
