// The registry's key tree, its handle table and its reset to the default content.
#include "sim/registry/key_tree.h"

#include <algorithm>

#include "sim/clock/clock.h"
#include "sim/kernel/kernel.h"
#include "sim/text_codec/text_codec.h"

namespace sim::registry {
Key::Key(std::wstring keyName) : name(std::move(keyName)), lastWriteMs(DeviceNowMs()) {}

std::shared_ptr<Key> Key::Subkey(std::wstring_view subkeyName) const {
  for (const auto& subkey : subkeys) {
    if (SameName(subkey->name, subkeyName)) {
      return subkey;
    }
  }
  return nullptr;
}

std::shared_ptr<Key> Key::CreateSubkey(std::wstring_view subkeyName) {
  if (auto existing = Subkey(subkeyName)) {
    return existing;
  }
  lastWriteMs = DeviceNowMs();
  return subkeys.emplace_back(std::make_shared<Key>(std::wstring(subkeyName)));
}

bool Key::RemoveSubkey(std::wstring_view subkeyName) {
  auto it = std::find_if(subkeys.begin(), subkeys.end(),
                         [&](const auto& subkey) { return SameName(subkey->name, subkeyName); });
  if (it == subkeys.end()) {
    return false;
  }
  MarkDeleted(**it);
  subkeys.erase(it);
  lastWriteMs = DeviceNowMs();
  return true;
}

const Value* Key::FindValue(std::wstring_view valueName) const {
  for (const auto& value : values) {
    if (SameName(value.name, valueName)) {
      return &value;
    }
  }
  return nullptr;
}

void Key::SetValue(std::wstring_view valueName, DWORD type, std::vector<BYTE> data) {
  lastWriteMs = DeviceNowMs();
  for (auto& value : values) {
    if (SameName(value.name, valueName)) {
      value.type = type;
      value.data = std::move(data);
      return;
    }
  }
  values.push_back({std::wstring(valueName), type, std::move(data)});
}

bool Key::RemoveValue(std::wstring_view valueName) {
  auto it = std::find_if(values.begin(), values.end(),
                         [&](const Value& value) { return SameName(value.name, valueName); });
  if (it == values.end()) {
    return false;
  }
  values.erase(it);
  lastWriteMs = DeviceNowMs();
  return true;
}

void MarkDeleted(Key& key) {
  key.deleted = true;
  for (auto& subkey : key.subkeys) {
    MarkDeleted(*subkey);
  }
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](wchar_t x, wchar_t y) { return FoldCase(x) == FoldCase(y); });
}

bool SplitPath(std::wstring_view path, std::vector<std::wstring_view>& parts) {
  parts.clear();
  if (!path.empty() && path.back() == L'\\') {
    path.remove_suffix(1);
  }
  if (path.empty()) {
    return true;
  }
  std::size_t begin = 0;
  while (true) {
    const std::size_t end = path.find(L'\\', begin);
    const std::wstring_view part = path.substr(begin, end == std::wstring_view::npos ? end : end - begin);
    if (part.empty() || part.size() > 255) {
      return false;
    }
    parts.push_back(part);
    if (end == std::wstring_view::npos) {
      return true;
    }
    begin = end + 1;
  }
}

Hive::Hive() : roots(DefaultRoots()) {}

Hive& TheHive() {
  static Hive* hive = [] {
    auto* created = new Hive;
    OnReset([created] {
      Roots fresh = DefaultRoots();
      MutexLock lock(created->mutex);
      for (auto& root : created->roots) {
        MarkDeleted(*root);
      }
      created->roots = std::move(fresh);
    });
    return created;
  }();
  return *hive;
}

std::shared_ptr<Key> ResolveHandle(Hive& hive, HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) {
    return hive.roots[0];
  }
  if (key == HKEY_CURRENT_USER) {
    return hive.roots[1];
  }
  if (key == HKEY_CLASSES_ROOT) {
    return hive.roots[2];
  }
  auto it = hive.open.find(reinterpret_cast<std::uintptr_t>(key));
  return it == hive.open.end() ? nullptr : it->second;
}

}  // namespace sim::registry
