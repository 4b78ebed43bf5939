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
#include "text_output.h"

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

std::string Json(const Answer& answer) { return answer.known ? JsonString(answer.text) : "null"; }
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

void PrintIdentity(bool json) {
  const Answer id =
      Ask([](wchar_t* buffer, std::size_t n) { return GetDeviceID(buffer, static_cast<int>(n)); });
  const Answer mac =
      Ask([](wchar_t* buffer, std::size_t n) { return GetBtMACAddr(buffer, static_cast<int>(n)); });
  Answer fields[std::size(kInfoFields)];
  for (std::size_t i = 0; i < std::size(kInfoFields); ++i) {
    fields[i] =
        Ask([&](wchar_t* buffer, std::size_t n) { return GetDeviceInfo(kInfoFields[i].id, buffer, n); });
  }
  DWORD storePages = 0;
  DWORD ramPages = 0;
  DWORD pageSize = 0;
  const bool divisionKnown = GetSystemMemoryDivision(&storePages, &ramPages, &pageSize) != FALSE;
  STORE_INFORMATION store{};
  const bool storeKnown = GetStoreInformation(&store) != FALSE;
  MEMORYSTATUS memory{};
  memory.dwLength = sizeof memory;
  GlobalMemoryStatus(&memory);

  if (json) {
    std::printf("  \"deviceId\": %s,\n  \"deviceInfo\": {", Json(id).c_str());
    for (std::size_t i = 0; i < std::size(kInfoFields); ++i) {
      std::printf("%s\"%s\": %s", i == 0 ? "" : ", ", kInfoFields[i].name, Json(fields[i]).c_str());
    }
    std::printf("},\n  \"bluetoothMac\": %s,\n", Json(mac).c_str());
    std::printf("  \"memory\": {\"storePages\": %u, \"programPages\": %u, \"pageSize\": %u, ",
                divisionKnown ? storePages : 0, divisionKnown ? ramPages : 0, divisionKnown ? pageSize : 0);
    std::printf("\"storeBytes\": %u, \"storeFreeBytes\": %u, ", storeKnown ? store.dwStoreSize : 0,
                storeKnown ? store.dwFreeSize : 0);
    std::printf("\"programBytes\": %u, \"programFreeBytes\": %u}\n", memory.dwTotalPhys, memory.dwAvailPhys);
    return;
  }
  std::printf("device id:  %s\n", Plain(id).c_str());
  for (std::size_t i = 0; i < std::size(kInfoFields); ++i) {
    std::printf("info %-9s %s\n", (std::string(kInfoFields[i].name) + ":").c_str(), Plain(fields[i]).c_str());
  }
  std::printf("bluetooth:  %s\n", Plain(mac).c_str());
  if (divisionKnown) {
    std::printf("memory:     %u store pages, %u program pages of %u bytes\n", storePages, ramPages, pageSize);
  }
  if (storeKnown) std::printf("store:      %u bytes, %u free\n", store.dwStoreSize, store.dwFreeSize);
  std::printf("programs:   %u bytes, %u free\n", memory.dwTotalPhys, memory.dwAvailPhys);
}

}  // namespace tool
