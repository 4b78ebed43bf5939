// The simulated device's storage cards: the mounted folders and the queues registered for mount
// notifications, which get one record per mount and removal, and the profile's "cards" member that lists
// the mounted folders. A mounted card is a folder of the device's file tree, which goes with everything in
// it when the card is removed. The kernel lock guards the state.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ce/storage.h"
#include "pndsim/storage.h"
#include "sim/files/files.h"
#include "sim/kernel/kernel.h"
#include "sim/profile/profile.h"
#include "sim/text_codec/text_codec.h"

namespace sim {
namespace {

constexpr std::size_t kMaxNameChars = 260;

// A queue's registration for the notifications of one device class.
class DeviceRegistration final : public Object {
 public:
  DeviceRegistration(std::weak_ptr<MsgQueueObject> target, bool everyClass, GUID kind)
      : queue(std::move(target)), anyClass(everyClass), deviceClass(kind) {}
  std::weak_ptr<MsgQueueObject> queue;
  bool anyClass;
  GUID deviceClass;
};

using profile::Json;
using CardList = std::vector<std::string>;

void ReadCards(const Json& value, const std::string& at, CardList& cards) {
  if (!value.is_array()) {
    throw profile::Fault{at, false, "expected an array of folder names, got " + profile::Shown(value)};
  }
  CardList read;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const std::string where = at + "/" + std::to_string(i);
    std::string name = profile::Name(value[i], where, "a folder name of 1 to 260 characters");
    if (Widen(name).size() > kMaxNameChars) {
      throw profile::Fault{where, false,
                           "expected a folder name of 1 to 260 characters, got " + profile::Shown(value[i])};
    }
    if (std::find(read.begin(), read.end(), name) != read.end()) {
      throw profile::Fault{where, false, "card listed twice"};
    }
    read.push_back(std::move(name));
  }
  cards = std::move(read);
}

Json WriteCards(const CardList& cards) { return Json(cards); }

// A card is a folder of the file tree: its section comes after the files', so that a card mounted once the
// tree is the profile's keeps the files the profile lists in it.
void ApplyCards(const CardList& cards) {
  for (const std::string& card : cards) pndsim::MountCard(card);
}

constinit const profile::Section<CardList> kCards{"cards",    100,        ReadCards,
                                                  WriteCards, ApplyCards, pndsim::MountedCards};
const profile::Registration kCardsRegistration{kCards};

struct StorageModel {
  StorageModel() { Restore(); }  // not shared yet

  std::vector<std::wstring> mounted GUARDED_BY(KernelMutex());
  std::vector<std::weak_ptr<DeviceRegistration>> registrations GUARDED_BY(KernelMutex());

  // The cards of the built-in profile, mounted without an announcement, each a folder of the file tree;
  // registrations belong to running code and stay.
  void Restore() REQUIRES(KernelMutex()) {
    mounted.clear();
    for (const std::string& card : kCards.BuiltIn()) {
      mounted.push_back(Widen(card));
      files::Create(L"\\" + mounted.back(), true);
    }
  }
};

StorageModel& Model() {
  static auto* model = [] {
    // The file tree is made, and its reset hook added, first: a reset empties the tree before the cards'
    // folders go back into it.
    files::Find(L"\\");
    auto* created = new StorageModel;
    OnReset([] {
      KernelLock lock(KernelMutex());
      Model().Restore();
    });
    return created;
  }();
  return *model;
}

std::vector<std::uint8_t> MountRecord(const std::wstring& name, bool attached) {
  const std::vector<std::uint8_t> nameBytes = Utf16Z(name);
  struct {
    GUID deviceClass;
    DWORD reserved;
    BOOL attached;
    int nameBytes;
  } const header{FATFS_MOUNT_GUID, 0, attached ? TRUE : FALSE, static_cast<int>(nameBytes.size())};
  static_assert(sizeof header == offsetof(DEVDETAIL, szName));
  std::vector<std::uint8_t> record(sizeof header + nameBytes.size());
  std::uint8_t* out = record.data();
  if (out == nullptr) return record;
  std::memcpy(out, &header, sizeof header);
  std::memcpy(out + sizeof header, nameBytes.data(), nameBytes.size());
  return record;
}

bool Wants(const DeviceRegistration& registration) {
  return registration.anyClass || registration.deviceClass == FATFS_MOUNT_GUID;
}

// Writes one mount record to every registered queue.
void Announce(const std::wstring& name, bool attached) REQUIRES(KernelMutex()) {
  const std::vector<std::uint8_t> record = MountRecord(name, attached);
  const int written = WriteToRegistered(Model().registrations, record, Wants);
  Record(attached ? "card.mount" : "card.remove",
         {TextField("folder", Narrow(name.c_str())), NumberField("queues", written)},
         "{folder} queues={queues}");
}

}  // namespace
}  // namespace sim

using namespace sim;

HANDLE RequestDeviceNotifications(const GUID* deviceClass, HANDLE queue, BOOL all) {
  KernelLock lock(KernelMutex());
  auto object = LookupAs<MsgQueueObject>(queue);
  if (!object) {
    return FailCall(ERROR_INVALID_HANDLE, nullptr);
  }
  auto registration = std::make_shared<DeviceRegistration>(object, deviceClass == nullptr,
                                                           deviceClass ? *deviceClass : GUID{});
  Model().registrations.push_back(registration);
  Record("card.notify", {FlagField("present", all != FALSE, all != FALSE ? "with present folders" : "")},
         "{present}");
  if (all != FALSE && Wants(*registration)) {
    for (const std::wstring& name : Model().mounted) object->Write(MountRecord(name, true));
  }
  return InsertHandle(std::move(registration));
}

BOOL StopDeviceNotifications(HANDLE registration) {
  return CloseRegistration<DeviceRegistration>(registration);
}

bool pndsim::MountCard(const std::string& name) {
  const std::wstring folder = Widen(name);
  if (folder.empty() || folder.size() > kMaxNameChars) return false;
  KernelLock lock(KernelMutex());
  std::vector<std::wstring>& mounted = Model().mounted;
  if (std::find(mounted.begin(), mounted.end(), folder) != mounted.end()) return false;
  mounted.push_back(folder);
  files::Create(L"\\" + folder, true);
  Announce(folder, true);
  return true;
}

bool pndsim::RemoveCard(const std::string& name) {
  const std::wstring folder = Widen(name);
  KernelLock lock(KernelMutex());
  std::vector<std::wstring>& mounted = Model().mounted;
  auto found = std::find(mounted.begin(), mounted.end(), folder);
  if (found == mounted.end()) return false;
  mounted.erase(found);
  files::Delete(L"\\" + folder);
  Announce(folder, false);
  return true;
}

std::vector<std::string> pndsim::MountedCards() {
  KernelLock lock(KernelMutex());
  std::vector<std::string> names;
  for (const std::wstring& name : Model().mounted) names.push_back(Narrow(name.c_str()));
  return names;
}

int pndsim::DeviceNotificationCount() {
  KernelLock lock(KernelMutex());
  int count = 0;
  for (const auto& entry : Model().registrations) {
    auto registration = entry.lock();
    if (registration && !registration->queue.expired()) ++count;
  }
  return count;
}
