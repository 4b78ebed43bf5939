// The identity part of `pndhal info` and the storage-card part of `pndhal
// tour`: the device identifier, information strings, Bluetooth address and
// memory figures as the HAL and the platform report them, and cards mounted
// and removed as a listener receives them.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

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

// Prints every card notification and lets the tour wait for them.
class PrintingCardListener : public ICardListener {
 public:
  void Notify(CardInfo const& card) override {
    std::lock_guard lock(mutex_);
    std::printf("    card listener: %s \"%s\", kind %d\n", card.removed ? "removed" : "mounted",
                pndsim::ToUtf8(card.path.c_str()).c_str(), card.cardType);
    ++calls_;
    arrived_.notify_all();
  }
  bool WaitFor(int count) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(5), [&] { return calls_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  int calls_ = 0;
};

}  // namespace

bool TourStorageCards() {
  std::printf("\n== Storage cards\n");
  PrintingCardListener listener;
  Connect(&listener);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (pndsim::DeviceNotificationCount() == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  struct Step {
    const char* what;
    const char* folder;
    bool mount;
  };
  const Step steps[] = {{"insert an SD card", "SD-Karte", true},
                        {"insert a CF card", "CF-Karte", true},
                        {"take the SD card out", "SD-Karte", false},
                        {"take the CF card out", "CF-Karte", false}};
  bool ok = true;
  int expected = 0;
  for (const Step& step : steps) {
    std::printf("  %s (folder \"%s\")\n", step.what, step.folder);
    const bool done = step.mount ? pndsim::MountCard(step.folder) : pndsim::RemoveCard(step.folder);
    if (!done || !listener.WaitFor(++expected)) {
      std::fprintf(stderr, "pndhal: tour: no card listener call after: %s\n", step.what);
      ok = false;
      break;
    }
  }
  PrintNewTrace(stdout);
  Disconnect(&listener);
  return ok;
}

namespace {

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
  for (std::size_t i = 0; i < std::size(kInfoFields); ++i)
    fields[kInfoFields[i].name] = JsonOf(identity.fields[i]);
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
  std::printf("programs:   %u bytes, %u free\n", identity.memory.dwTotalPhys, identity.memory.dwAvailPhys);
}

}  // namespace tool
