// The registry calls on the default device: value sizes and types, the buffer rules of the platform,
// enumeration order, case-insensitive and bad paths, handles and deleted keys.
#include <ce/registry.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "last_error.h"
#include "sim_guard.h"

namespace {

using pndsim::RegistryRoot;

constexpr const wchar_t* kTouch = L"HARDWARE\\DEVICEMAP\\TOUCH";
constexpr std::string_view kCalibration = "512,512 160,120 864,120 864,904 160,904";

// Opens a key, failing the test when it does not open; closes it at the end of the scope.
class OpenKey {
 public:
  OpenKey(HKEY root, const wchar_t* path) {
    EXPECT_EQ(RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &key_), ERROR_SUCCESS);
  }
  ~OpenKey() {
    if (key_ != nullptr) {
      RegCloseKey(key_);
    }
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::vector<std::wstring> EnumerateAll(HKEY key) {
  std::vector<std::wstring> names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD chars = 256;
    const LONG result = RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
    if (result == static_cast<LONG>(ERROR_NO_MORE_ITEMS)) {
      break;
    }
    EXPECT_EQ(result, ERROR_SUCCESS);
    if (result != ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, chars);
  }
  return names;
}

TEST(RegistryQuery, NullDataReportsTypeAndSizeOfTheUtf16String) {
  pndtest::SimGuard guard;
  OpenKey touch(HKEY_LOCAL_MACHINE, kTouch);
  DWORD type = 0;
  DWORD size = 0;
  ASSERT_EQ(RegQueryValueExW(touch.get(), L"CalibrationData", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, (kCalibration.size() + 1) * 2) << "two bytes per unit, terminator included";
  EXPECT_EQ(RegQueryValueExW(touch.get(), L"CalibrationData", nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS)
      << "asking for nothing checks that the value exists";
}

TEST(RegistryQuery, BufferTooSmallGivesMoreDataWithTheNeededSizeAndLeavesTheBufferAlone) {
  pndtest::SimGuard guard;
  OpenKey touch(HKEY_LOCAL_MACHINE, kTouch);
  const DWORD needed = static_cast<DWORD>((kCalibration.size() + 1) * 2);
  std::vector<BYTE> buffer(needed + 10, 0xCD);
  DWORD type = 0;
  DWORD size = needed - 1;
  EXPECT_EQ(RegQueryValueExW(touch.get(), L"CalibrationData", nullptr, &type, buffer.data(), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, needed);
  EXPECT_EQ(type, REG_SZ) << "the type is reported even when the data does not fit";
  EXPECT_EQ(buffer[0], 0xCD);

  size = needed;
  ASSERT_EQ(RegQueryValueExW(touch.get(), L"CalibrationData", nullptr, nullptr, buffer.data(), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, needed);
  wchar_t text[128];
  ce::Utf16BytesToWide(buffer.data(), size, text, 128);
  EXPECT_EQ(std::wstring(text), std::wstring(kCalibration.begin(), kCalibration.end()));

  size = needed + 10;
  ASSERT_EQ(RegQueryValueExW(touch.get(), L"CalibrationData", nullptr, nullptr, buffer.data(), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, needed) << "a larger buffer reports the value's own size";
  EXPECT_EQ(buffer[needed], 0xCD);
}

TEST(RegistryQuery, MissingKeysAndValuesAreNotFound) {
  pndtest::SimGuard guard;
  HKEY key = HKEY_CURRENT_USER;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\MOUSE", 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr) << "a failed open leaves no handle behind";
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kTouch, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND)
      << "the roots are separate trees";

  OpenKey touch(HKEY_LOCAL_MACHINE, kTouch);
  DWORD size = 4;
  BYTE data[4];
  EXPECT_EQ(RegQueryValueExW(touch.get(), L"Calibration", nullptr, nullptr, data, &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExW(touch.get(), nullptr, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND)
      << "the key has no default value";
}

TEST(RegistryQuery, InvalidArgumentsAreRejected) {
  pndtest::SimGuard guard;
  OpenKey touch(HKEY_LOCAL_MACHINE, kTouch);
  DWORD reserved = 0;
  DWORD size = 0;
  BYTE data[8];
  EXPECT_EQ(RegQueryValueExW(touch.get(), L"CalibrationData", &reserved, nullptr, nullptr, &size),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExW(touch.get(), L"CalibrationData", nullptr, nullptr, data, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTouch, 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
}

TEST(RegistryPaths, KeysAndValuesMatchWhateverTheirCase) {
  pndtest::SimGuard guard;
  OpenKey touch(HKEY_LOCAL_MACHINE, L"hardware\\DeviceMap\\touch");
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(touch.get(), L"CALIBRATIONDATA", nullptr, nullptr, nullptr, &size),
            ERROR_SUCCESS);
  ASSERT_TRUE(pndsim::SetRegistryDword(RegistryRoot::CurrentUser,
                                       "Stra\xC3\x9F"
                                       "e\\\xC3\x84pfel",
                                       "Z", 1));
  OpenKey latin(HKEY_CURRENT_USER, L"STRA\u00DFE\\\u00E4PFEL");
  EXPECT_NE(latin.get(), nullptr) << "Latin-1 letters fold too";
}

TEST(RegistryPaths, OpeningRelativeToAnOpenKeyAndEmptyPaths) {
  pndtest::SimGuard guard;
  OpenKey hardware(HKEY_LOCAL_MACHINE, L"HARDWARE");
  OpenKey touch(hardware.get(), L"DEVICEMAP\\TOUCH\\");
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(touch.get(), L"CalibrationData", nullptr, nullptr, nullptr, &size),
            ERROR_SUCCESS);

  OpenKey again(touch.get(), nullptr);
  EXPECT_NE(again.get(), touch.get()) << "an empty path opens the same key under a new handle";
  EXPECT_EQ(RegQueryValueExW(again.get(), L"CalibrationData", nullptr, nullptr, nullptr, &size),
            ERROR_SUCCESS);
}

TEST(RegistryPaths, ALeadingBackslashIsABadPathAndAnEmptyComponentNamesNoKey) {
  pndtest::SimGuard guard;
  OpenKey hardware(HKEY_LOCAL_MACHINE, L"HARDWARE");
  const struct {
    HKEY root;
    const wchar_t* path;
    DWORD expected;
  } kCases[] = {
      {HKEY_LOCAL_MACHINE, L"\\HARDWARE", ERROR_BAD_PATHNAME},
      {HKEY_LOCAL_MACHINE, L"\\", ERROR_BAD_PATHNAME},
      {hardware.get(), L"\\DEVICEMAP", ERROR_BAD_PATHNAME},
      {HKEY_LOCAL_MACHINE, L"HARDWARE\\\\DEVICEMAP", ERROR_FILE_NOT_FOUND},
      {HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\", ERROR_SUCCESS},
  };
  for (const auto& c : kCases) {
    HKEY key = reinterpret_cast<HKEY>(std::uintptr_t{0x1234});
    pndtest::PoisonLastError();
    EXPECT_EQ(RegOpenKeyExW(c.root, c.path, 0, KEY_READ, &key), static_cast<LONG>(c.expected))
        << pndsim::ToUtf8(c.path);
    EXPECT_EQ(key != nullptr, c.expected == ERROR_SUCCESS) << pndsim::ToUtf8(c.path);
    EXPECT_EQ(GetLastError(), pndtest::kPoisonError) << "the registry answers its error, not the last error";
    if (key != nullptr) {
      RegCloseKey(key);
    }
  }
}

TEST(RegistryEnumeration, SubkeysComeInCreationOrderThenNoMoreItems) {
  pndtest::SimGuard guard;
  for (const char* name : {"Zulu", "alpha", "Mike", "Bravo"}) {
    ASSERT_TRUE(pndsim::CreateRegistryKey(RegistryRoot::ClassesRoot, std::string("Order\\") + name));
  }
  ASSERT_TRUE(pndsim::CreateRegistryKey(RegistryRoot::ClassesRoot, "order\\ZULU\\Child"));
  OpenKey order(HKEY_CLASSES_ROOT, L"Order");
  EXPECT_EQ(EnumerateAll(order.get()), (std::vector<std::wstring>{L"Zulu", L"alpha", L"Mike", L"Bravo"}))
      << "creating an existing key (in another case) neither duplicates nor renames it";

  wchar_t name[8];
  DWORD chars = 8;
  EXPECT_EQ(RegEnumKeyExW(order.get(), 4, name, &chars, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegEnumKeyExW(order.get(), 0xFFFFFFFFu, name, &chars, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
}

TEST(RegistryEnumeration, NameBufferCountsCharactersWithTerminatorInAndWithoutItOut) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::CreateRegistryKey(RegistryRoot::LocalMachine, "Sizes\\Five5"));
  OpenKey sizes(HKEY_LOCAL_MACHINE, L"Sizes");
  wchar_t name[16];
  std::wmemset(name, L'#', 16);
  DWORD chars = 5;
  EXPECT_EQ(RegEnumKeyExW(sizes.get(), 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA)
      << "five characters need room for six";
  EXPECT_EQ(chars, 5u);
  EXPECT_EQ(name[0], L'#');

  chars = 6;
  ASSERT_EQ(RegEnumKeyExW(sizes.get(), 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(chars, 5u);
  EXPECT_EQ(std::wstring(name), L"Five5");

  wchar_t className[4] = L"xyz";
  DWORD classChars = 4;
  FILETIME written{};
  chars = 16;
  ASSERT_EQ(RegEnumKeyExW(sizes.get(), 0, name, &chars, nullptr, className, &classChars, &written),
            ERROR_SUCCESS);
  EXPECT_EQ(classChars, 0u);
  EXPECT_EQ(className[0], L'\0');
  const std::uint64_t ticks = (std::uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime;
  EXPECT_GT(ticks, 116444736000000000ull) << "written after 1970";

  DWORD reserved = 0;
  EXPECT_EQ(RegEnumKeyExW(sizes.get(), 0, name, &chars, &reserved, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegEnumKeyExW(sizes.get(), 0, nullptr, &chars, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegEnumKeyExW(sizes.get(), 0, name, &chars, nullptr, className, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
}

TEST(RegistryHandles, ClosedAndUnknownHandlesAreInvalidAndRootsAlwaysOpen) {
  pndtest::SimGuard guard;
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTouch, 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  DWORD size = 0;
  wchar_t name[8];
  DWORD chars = 8;
  HKEY sub = nullptr;
  EXPECT_EQ(RegQueryValueExW(key, L"CalibrationData", nullptr, nullptr, nullptr, &size),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExW(key, nullptr, 0, KEY_READ, &sub), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);

  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTouch, 0, KEY_READ, &sub), ERROR_SUCCESS);
  RegCloseKey(sub);
}

TEST(RegistryHandles, HandlesToDeletedKeysAnswerKeyDeletedEvenAfterTheKeyIsMadeAgain) {
  pndtest::SimGuard guard;
  HKEY touch = nullptr;
  HKEY hardware = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTouch, 0, KEY_READ, &touch), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE", 0, KEY_READ, &hardware), ERROR_SUCCESS);
  ASSERT_TRUE(pndsim::DeleteRegistryKey(RegistryRoot::LocalMachine, "hardware\\devicemap"));
  ASSERT_TRUE(pndsim::SetRegistryString(RegistryRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\TOUCH",
                                        "CalibrationData", "1,1"));
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(touch, L"CalibrationData", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(EnumerateAll(hardware), std::vector<std::wstring>{L"DEVICEMAP"}) << "the parent lives on";
  EXPECT_EQ(RegCloseKey(touch), ERROR_SUCCESS) << "a deleted key's handle still closes";
  RegCloseKey(hardware);
}

TEST(RegistryConcurrency, ReadersAndWritersOnSeveralThreads) {
  pndtest::SimGuard guard;
  std::atomic<bool> stop{false};
  std::atomic<int> unexpected{0};
  std::vector<std::thread> readers;
  readers.reserve(3);
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      while (!stop) {
        HKEY key = nullptr;
        const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Busy", 0, KEY_READ, &key);
        if (opened != ERROR_SUCCESS) {
          if (opened != static_cast<LONG>(ERROR_FILE_NOT_FOUND)) {
            ++unexpected;
          }
          continue;
        }
        for (DWORD index = 0;; ++index) {
          wchar_t name[16];
          DWORD chars = 16;
          const LONG listed = RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
          if (listed == ERROR_SUCCESS && std::wstring(name).rfind(L"Key", 0) == 0) {
            continue;
          }
          if (listed != static_cast<LONG>(ERROR_NO_MORE_ITEMS) &&
              listed != static_cast<LONG>(ERROR_KEY_DELETED)) {
            ++unexpected;
          }
          break;
        }
        DWORD value = 0;
        DWORD size = sizeof value;
        const LONG read =
            RegQueryValueExW(key, L"Counter", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        if (read != ERROR_SUCCESS && read != static_cast<LONG>(ERROR_FILE_NOT_FOUND) &&
            read != static_cast<LONG>(ERROR_KEY_DELETED)) {
          ++unexpected;
        }
        if (RegCloseKey(key) != ERROR_SUCCESS) {
          ++unexpected;
        }
      }
    });
  }
  for (std::uint32_t i = 0; i < 300; ++i) {
    pndsim::SetRegistryDword(RegistryRoot::LocalMachine, "Busy", "Counter", i);
    pndsim::CreateRegistryKey(RegistryRoot::LocalMachine, "Busy\\Key" + std::to_string(i % 7));
    if (i % 25 == 0) {
      pndsim::DeleteRegistryKey(RegistryRoot::LocalMachine, "Busy");
    }
  }
  stop = true;
  for (auto& reader : readers) {
    reader.join();
  }
  EXPECT_EQ(unexpected.load(), 0);
}

}  // namespace
