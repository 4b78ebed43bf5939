// The registry inside the simulator: a tree of keys with typed values, kept in creation order, the
// table of open key handles, and the lock that guards both.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ce/registry.h"
#include "sim/kernel/kernel.h"

namespace sim::registry {

struct Value {
  std::wstring name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

/// One key. Subkeys and values keep the order in which they were created, which is the order the
/// registry calls enumerate them in.
struct Key {
  explicit Key(std::wstring keyName);

  std::wstring name;
  std::vector<std::shared_ptr<Key>> subkeys;
  std::vector<Value> values;
  std::int64_t lastWriteMs = 0;  ///< device UTC time of the last change
  bool deleted = false;          ///< set on the whole subtree when it leaves the tree

  /// The subkey called `subkeyName` (case-insensitive), or null.
  std::shared_ptr<Key> Subkey(std::wstring_view subkeyName) const;
  /// The subkey called `subkeyName`, created at the end of the order when missing.
  std::shared_ptr<Key> CreateSubkey(std::wstring_view subkeyName);
  /// Takes the subkey `subkeyName` out of the tree and marks it and everything under it deleted.
  bool RemoveSubkey(std::wstring_view subkeyName);
  /// The value called `valueName` (case-insensitive; empty is the default value), or null.
  const Value* FindValue(std::wstring_view valueName) const;
  /// Replaces or appends a value.
  void SetValue(std::wstring_view valueName, DWORD type, std::vector<BYTE> data);
  bool RemoveValue(std::wstring_view valueName);
};

/// Marks `key` and its whole subtree deleted.
void MarkDeleted(Key& key);

/// Case-insensitive name comparison as the registry does it (ASCII and Latin-1 letters fold).
bool SameName(std::wstring_view a, std::wstring_view b);

/// Splits a "\\"-separated path into its components (one trailing separator is allowed). False when
/// a component is empty or longer than the 255 characters a key name may have.
bool SplitPath(std::wstring_view path, std::vector<std::wstring_view>& parts);

/// The roots, in the order of pndsim::RegistryRoot: HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
/// HKEY_CLASSES_ROOT.
using Roots = std::array<std::shared_ptr<Key>, 3>;

/// The whole registry. `mutex` guards the table of open keys and the tree: the keys reached from the roots
/// or an open handle (a key not yet in the tree belongs to whoever builds it).
struct Hive {
  /// A registry with the default content.
  Hive();

  Mutex mutex;
  Roots roots GUARDED_BY(mutex);
  std::unordered_map<std::uintptr_t, std::shared_ptr<Key>> open GUARDED_BY(mutex);  ///< handle value -> key
  std::uintptr_t nextHandle GUARDED_BY(mutex) = 0x40000000;
};

/// The device's registry, filled with the default content on first use (and again by
/// pndsim::Reset()).
Hive& TheHive();

/// The key a handle stands for (a predefined root or an open key), or null when it is neither.
std::shared_ptr<Key> ResolveHandle(Hive& hive, HKEY key) REQUIRES(hive.mutex);

/// The default content of a new device: the touch calibration and the time-zone database of the
/// host's current UTC year.
Roots DefaultRoots();

}  // namespace sim::registry
