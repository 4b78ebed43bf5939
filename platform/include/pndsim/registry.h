// Control of the simulated device's registry: create, change, delete and corrupt keys and values,
// read them back, and regenerate the time-zone database. Paths are "\\"-separated, relative to a
// root, and matched case-insensitively like the registry calls match them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pndsim/control.h"

namespace pndsim {

/// The predefined root a control path starts from.
enum class RegistryRoot { LocalMachine, CurrentUser, ClassesRoot };

/// Value type codes, as the registry calls report them. Any other number can be stored too.
struct RegistryType {
  static constexpr std::uint32_t None = 0;
  static constexpr std::uint32_t String = 1;
  static constexpr std::uint32_t ExpandString = 2;
  static constexpr std::uint32_t Binary = 3;
  static constexpr std::uint32_t Dword = 4;
  static constexpr std::uint32_t MultiString = 7;
};

/// A value's type and raw bytes (strings are UTF-16 little-endian with their terminator).
struct RegistryValue {
  std::uint32_t type = RegistryType::None;
  std::vector<std::uint8_t> data;
};

/// Creates the key `path` under `root` with every missing key on the way (an existing key is left
/// as it is). Returns false for an empty path or one with an empty component.
PNDSIM_CONTROL_API bool CreateRegistryKey(RegistryRoot root, std::string_view path);

/// Deletes the key `path` with its whole subtree; handles still open on them answer
/// ERROR_KEY_DELETED from then on. Returns false when the key does not exist or `path` is empty.
PNDSIM_CONTROL_API bool DeleteRegistryKey(RegistryRoot root, std::string_view path);

/// Stores a value of any `type` with exactly the bytes `data` (so a test can store a value of the
/// wrong type or size), replacing a value of the same name and creating the key path when missing.
/// An empty `name` is the key's default value. Returns false for an invalid path.
PNDSIM_CONTROL_API bool SetRegistryValue(RegistryRoot root, std::string_view path, std::string_view name,
                                         std::uint32_t type, std::span<const std::uint8_t> data);

/// Stores the UTF-8 `text` as a REG_SZ value in UTF-16 with its terminator; otherwise as
/// SetRegistryValue. Malformed UTF-8 sequences become U+FFFD.
PNDSIM_CONTROL_API bool SetRegistryString(RegistryRoot root, std::string_view path, std::string_view name,
                                          std::string_view text);

/// Stores `value` as a 4-byte little-endian REG_DWORD; otherwise as SetRegistryValue.
PNDSIM_CONTROL_API bool SetRegistryDword(RegistryRoot root, std::string_view path, std::string_view name,
                                         std::uint32_t value);

/// Deletes one value. Returns false when the key or the value does not exist.
PNDSIM_CONTROL_API bool DeleteRegistryValue(RegistryRoot root, std::string_view path, std::string_view name);

/// The type and bytes of a value, or nothing when the key or the value does not exist. An empty
/// `path` names the root itself.
PNDSIM_CONTROL_API std::optional<RegistryValue> GetRegistryValue(RegistryRoot root, std::string_view path,
                                                                 std::string_view name);

/// A string value decoded from UTF-16 to UTF-8, up to its first NUL; nothing when the value does not
/// exist or its type is not REG_SZ or REG_EXPAND_SZ.
PNDSIM_CONTROL_API std::optional<std::string> GetRegistryString(RegistryRoot root, std::string_view path,
                                                                std::string_view name);

/// Names of the subkeys of `path` (empty: the root) in enumeration order; empty when the key does not
/// exist.
PNDSIM_CONTROL_API std::vector<std::string> ListRegistrySubkeys(RegistryRoot root, std::string_view path);

/// Names of the values of `path` in the order they were created; empty when the key does not exist.
PNDSIM_CONTROL_API std::vector<std::string> ListRegistryValues(RegistryRoot root, std::string_view path);

/// Replaces HKEY_LOCAL_MACHINE\\Time Zones with the database generated from the host's tz data for
/// `year` (the device does so for the current UTC year at start and at Reset()). Returns false, and
/// changes nothing, for a year outside 1601-30827.
PNDSIM_CONTROL_API bool RegenerateTimeZoneDatabase(int year);

}  // namespace pndsim
