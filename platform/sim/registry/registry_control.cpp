// The control API of the simulated registry: keys and values changed, corrupted and read back from
// UTF-8 paths, and the time-zone database regenerated for a chosen year.
#include <algorithm>

#include "pndsim/registry.h"
#include "sim/calendar/calendar.h"
#include "sim/kernel/kernel.h"
#include "sim/registry/key_tree.h"
#include "sim/registry/time_zone_database.h"
#include "sim/text_codec/text_codec.h"

namespace sim::registry {
namespace {

// The key at `path` under `root`, created on the way when `create`; null when missing or the path is
// invalid.
std::shared_ptr<Key> Walk(Hive& hive, pndsim::RegistryRoot root, std::string_view path, bool create)
    REQUIRES(hive.mutex) {
  const std::wstring widePath = Widen(path);
  std::vector<std::wstring_view> parts;
  if (!SplitPath(widePath, parts)) {
    return nullptr;
  }
  std::shared_ptr<Key> key = hive.roots[static_cast<std::size_t>(root)];
  for (std::wstring_view part : parts) {
    key = create ? key->CreateSubkey(part) : key->Subkey(part);
    if (!key) {
      return nullptr;
    }
  }
  return key;
}

bool StoreValue(pndsim::RegistryRoot root, std::string_view path, std::string_view name, DWORD type,
                std::vector<BYTE> data) {
  Hive& hive = TheHive();
  sim::MutexLock lock(hive.mutex);
  const auto key = Walk(hive, root, path, true);
  if (!key) {
    return false;
  }
  key->SetValue(Widen(name), type, std::move(data));
  return true;
}

}  // namespace
}  // namespace sim::registry

using sim::registry::Hive;
using sim::registry::TheHive;
using sim::registry::Walk;

bool pndsim::CreateRegistryKey(RegistryRoot root, std::string_view path) {
  if (path.empty()) {
    return false;
  }
  Hive& hive = TheHive();
  sim::MutexLock lock(hive.mutex);
  return Walk(hive, root, path, true) != nullptr;
}

bool pndsim::DeleteRegistryKey(RegistryRoot root, std::string_view path) {
  const std::wstring widePath = sim::Widen(path);
  std::vector<std::wstring_view> parts;
  if (!sim::registry::SplitPath(widePath, parts) || parts.empty()) {
    return false;
  }
  Hive& hive = TheHive();
  sim::MutexLock lock(hive.mutex);
  std::shared_ptr<sim::registry::Key> parent = hive.roots[static_cast<std::size_t>(root)];
  for (std::size_t i = 0; i + 1 < parts.size() && parent; ++i) {
    parent = parent->Subkey(parts[i]);
  }
  return parent && parent->RemoveSubkey(parts.back());
}

bool pndsim::SetRegistryValue(RegistryRoot root, std::string_view path, std::string_view name,
                              std::uint32_t type, std::span<const std::uint8_t> data) {
  return sim::registry::StoreValue(root, path, name, type, std::vector<BYTE>(data.begin(), data.end()));
}

bool pndsim::SetRegistryString(RegistryRoot root, std::string_view path, std::string_view name,
                               std::string_view text) {
  return sim::registry::StoreValue(root, path, name, REG_SZ, sim::Utf16Z(sim::Widen(text)));
}

bool pndsim::SetRegistryDword(RegistryRoot root, std::string_view path, std::string_view name,
                              std::uint32_t value) {
  std::vector<BYTE> bytes{static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                          static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  return sim::registry::StoreValue(root, path, name, REG_DWORD, std::move(bytes));
}

bool pndsim::DeleteRegistryValue(RegistryRoot root, std::string_view path, std::string_view name) {
  Hive& hive = TheHive();
  sim::MutexLock lock(hive.mutex);
  const auto key = Walk(hive, root, path, false);
  return key && key->RemoveValue(sim::Widen(name));
}

std::optional<pndsim::RegistryValue> pndsim::GetRegistryValue(RegistryRoot root, std::string_view path,
                                                              std::string_view name) {
  Hive& hive = TheHive();
  sim::MutexLock lock(hive.mutex);
  const auto key = Walk(hive, root, path, false);
  if (!key) {
    return std::nullopt;
  }
  const sim::registry::Value* value = key->FindValue(sim::Widen(name));
  if (value == nullptr) {
    return std::nullopt;
  }
  return RegistryValue{value->type, value->data};
}

std::optional<std::string> pndsim::GetRegistryString(RegistryRoot root, std::string_view path,
                                                     std::string_view name) {
  const auto value = GetRegistryValue(root, path, name);
  if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) {
    return std::nullopt;
  }
  return sim::Narrow(sim::FromUtf16(value->data));
}

std::vector<std::string> pndsim::ListRegistrySubkeys(RegistryRoot root, std::string_view path) {
  std::vector<std::string> names;
  Hive& hive = TheHive();
  sim::MutexLock lock(hive.mutex);
  if (const auto key = Walk(hive, root, path, false)) {
    for (const auto& subkey : key->subkeys) {
      names.push_back(sim::Narrow(subkey->name.c_str()));
    }
  }
  return names;
}

std::vector<std::string> pndsim::ListRegistryValues(RegistryRoot root, std::string_view path) {
  std::vector<std::string> names;
  Hive& hive = TheHive();
  sim::MutexLock lock(hive.mutex);
  if (const auto key = Walk(hive, root, path, false)) {
    for (const auto& value : key->values) {
      names.push_back(sim::Narrow(value.name.c_str()));
    }
  }
  return names;
}

bool pndsim::RegenerateTimeZoneDatabase(int year) {
  if (year < sim::civil::kMinYear || year > sim::civil::kMaxYear) {
    return false;
  }
  auto fresh = std::make_shared<sim::registry::Key>(L"Time Zones");
  sim::registry::FillTimeZoneDatabase(*fresh, year);
  Hive& hive = TheHive();
  sim::MutexLock lock(hive.mutex);
  auto& subkeys = hive.roots[0]->subkeys;
  auto it = std::find_if(subkeys.begin(), subkeys.end(),
                         [](const auto& key) { return sim::registry::SameName(key->name, L"Time Zones"); });
  if (it == subkeys.end()) {
    subkeys.push_back(std::move(fresh));
  } else {
    sim::registry::MarkDeleted(**it);
    *it = std::move(fresh);
  }
  return true;
}
