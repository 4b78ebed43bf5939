// The registry's control API: values stored with any type and size (corrupted on purpose), strings in
// UTF-16, DWORDs in little-endian order, listing, deleting, and the default content after a reset.
#include <ce/registry.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_guard.h"

namespace {

using pndsim::RegistryRoot;

LONG Query(const wchar_t* path, const wchar_t* value, DWORD* type, std::vector<BYTE>& data) {
  HKEY key = nullptr;
  const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key);
  if (opened != ERROR_SUCCESS) {
    return opened;
  }
  auto size = static_cast<DWORD>(data.size());
  const LONG result = RegQueryValueExW(key, value, nullptr, type, data.data(), &size);
  if (result == ERROR_SUCCESS) {
    data.resize(size);
  }
  RegCloseKey(key);
  return result;
}

TEST(RegistryControl, CorruptedValuesReachTheCallsWithTheirWrongTypeAndSize) {
  pndtest::SimGuard guard;
  const std::vector<std::uint8_t> short43(43, 0x11);
  ASSERT_TRUE(pndsim::SetRegistryValue(RegistryRoot::LocalMachine, "Time Zones\\Europe/Berlin", "TZI",
                                       pndsim::RegistryType::Binary, short43));
  std::vector<BYTE> data(44);
  DWORD type = 0;
  ASSERT_EQ(Query(L"Time Zones\\Europe/Berlin", L"TZI", &type, data), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(data.size(), 43u) << "a 44-byte buffer receives the 43 stored bytes";

  ASSERT_TRUE(
      pndsim::SetRegistryString(RegistryRoot::LocalMachine, "Time Zones\\Europe/Berlin", "TZI", "oops"));
  data.assign(44, 0);
  ASSERT_EQ(Query(L"Time Zones\\Europe/Berlin", L"TZI", &type, data), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);

  ASSERT_TRUE(pndsim::SetRegistryValue(RegistryRoot::LocalMachine, "Odd", "Type", 0x1234, {}));
  data.assign(4, 0);
  ASSERT_EQ(Query(L"Odd", L"Type", &type, data), ERROR_SUCCESS);
  EXPECT_EQ(type, 0x1234u);
  EXPECT_TRUE(data.empty());

  ASSERT_TRUE(pndsim::DeleteRegistryValue(RegistryRoot::LocalMachine, "Time Zones\\Europe/Berlin", "tzi"));
  EXPECT_EQ(Query(L"Time Zones\\Europe/Berlin", L"TZI", &type, data), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(pndsim::DeleteRegistryValue(RegistryRoot::LocalMachine, "Time Zones\\Europe/Berlin", "TZI"));
}

TEST(RegistryControl, StringsAreStoredAsUtf16WithTheirTerminator) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(
      pndsim::SetRegistryString(RegistryRoot::CurrentUser, "Text", "Name", "A\xC3\xA9\xF0\x9F\x98\x80"));
  const auto value = pndsim::GetRegistryValue(RegistryRoot::CurrentUser, "Text", "Name");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, pndsim::RegistryType::String);
  EXPECT_EQ(value->data, (std::vector<std::uint8_t>{'A', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0}))
      << "U+1F600 becomes a surrogate pair";
  EXPECT_EQ(pndsim::GetRegistryString(RegistryRoot::CurrentUser, "text", "NAME"),
            "A\xC3\xA9\xF0\x9F\x98\x80");

  ASSERT_TRUE(pndsim::SetRegistryString(RegistryRoot::CurrentUser, "Text", "Broken", "x\xFFy"));
  EXPECT_EQ(pndsim::GetRegistryString(RegistryRoot::CurrentUser, "Text", "Broken"), "x\xEF\xBF\xBDy");
  EXPECT_FALSE(pndsim::GetRegistryString(RegistryRoot::CurrentUser, "Text", "Missing"));
}

TEST(RegistryControl, DwordsAreLittleEndianAndTheDefaultValueHasAnEmptyName) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::SetRegistryDword(RegistryRoot::LocalMachine, "Numbers", "", 0x01020304));
  const auto value = pndsim::GetRegistryValue(RegistryRoot::LocalMachine, "Numbers", "");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, pndsim::RegistryType::Dword);
  EXPECT_EQ(value->data, (std::vector<std::uint8_t>{4, 3, 2, 1}));

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Numbers", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  DWORD number = 0;
  DWORD size = sizeof number;
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(number, 0x01020304u);
  RegCloseKey(key);
}

TEST(RegistryControl, ListsKeepCreationOrderAndReplacingAValueKeepsItsPlace) {
  pndtest::SimGuard guard;
  for (const char* name : {"b", "a", "c"}) {
    ASSERT_TRUE(pndsim::SetRegistryDword(RegistryRoot::ClassesRoot, "Lists", name, 1));
  }
  ASSERT_TRUE(pndsim::SetRegistryDword(RegistryRoot::ClassesRoot, "Lists", "A", 2));
  EXPECT_EQ(pndsim::ListRegistryValues(RegistryRoot::ClassesRoot, "Lists"),
            (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(pndsim::GetRegistryValue(RegistryRoot::ClassesRoot, "Lists", "a")->data[0], 2);

  ASSERT_TRUE(pndsim::CreateRegistryKey(RegistryRoot::ClassesRoot, "Lists\\Second\\Deep"));
  ASSERT_TRUE(pndsim::CreateRegistryKey(RegistryRoot::ClassesRoot, "Lists\\First"));
  EXPECT_EQ(pndsim::ListRegistrySubkeys(RegistryRoot::ClassesRoot, "Lists"),
            (std::vector<std::string>{"Second", "First"}));
  EXPECT_TRUE(pndsim::ListRegistrySubkeys(RegistryRoot::ClassesRoot, "Nothing").empty());
}

TEST(RegistryControl, InvalidPathsAndMissingKeysAreRefused) {
  pndtest::SimGuard guard;
  EXPECT_FALSE(pndsim::CreateRegistryKey(RegistryRoot::LocalMachine, ""));
  EXPECT_FALSE(pndsim::CreateRegistryKey(RegistryRoot::LocalMachine, "A\\\\B"));
  EXPECT_FALSE(pndsim::CreateRegistryKey(RegistryRoot::LocalMachine, std::string(256, 'k')));
  EXPECT_TRUE(pndsim::CreateRegistryKey(RegistryRoot::LocalMachine, std::string(255, 'k')));
  EXPECT_FALSE(pndsim::DeleteRegistryKey(RegistryRoot::LocalMachine, ""));
  EXPECT_FALSE(pndsim::DeleteRegistryKey(RegistryRoot::LocalMachine, "No\\Such\\Key"));
  EXPECT_FALSE(pndsim::SetRegistryDword(RegistryRoot::LocalMachine, "\\Lead", "x", 1));
  EXPECT_FALSE(pndsim::GetRegistryValue(RegistryRoot::LocalMachine, "No\\Such", "x"));
}

TEST(RegistryControl, ResetRestoresTheDefaultRegistry) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::SetRegistryString(RegistryRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\TOUCH",
                                        "CalibrationData", "0,0"));
  ASSERT_TRUE(pndsim::DeleteRegistryKey(RegistryRoot::LocalMachine, "Time Zones"));
  ASSERT_TRUE(pndsim::CreateRegistryKey(RegistryRoot::CurrentUser, "Leftover"));
  pndsim::Reset();
  EXPECT_EQ(
      pndsim::GetRegistryString(RegistryRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\TOUCH", "CalibrationData"),
      "512,512 160,120 864,120 864,904 160,904");
  EXPECT_EQ(pndsim::ListRegistrySubkeys(RegistryRoot::LocalMachine, ""),
            (std::vector<std::string>{"HARDWARE", "Time Zones"}));
  EXPECT_TRUE(pndsim::ListRegistrySubkeys(RegistryRoot::CurrentUser, "").empty());
}

}  // namespace
