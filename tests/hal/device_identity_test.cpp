// Device identity and the vendor level end to end: identifier, information
// strings, calibration, contacts, memory split, flash and the Bluetooth
// address, each caller's buffer checked for a write past its length.
#include <climits>
#include <cstring>
#include <string>

#include "device_fixture.h"
#include "pndsim/identity.h"
#include "pndsim/registry.h"
#include "pndsim/vendor.h"

namespace pndtest {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr wchar_t kCanary = L'#';
constexpr std::size_t kGuarded = 64;

// A caller's buffer with canaries after the length the operation is given.
struct GuardedBuffer {
  wchar_t chars[kGuarded + 8];
  GuardedBuffer() { std::wmemset(chars, kCanary, kGuarded + 8); }
  std::string Text() const { return pndsim::ToUtf8(chars); }
  bool Untouched() const {
    for (wchar_t c : chars) {
      if (c != kCanary) return false;
    }
    return true;
  }
  // Nothing written from `from` on.
  bool IntactFrom(std::size_t from) const {
    for (std::size_t i = from; i < kGuarded + 8; ++i) {
      if (chars[i] != kCanary) return false;
    }
    return true;
  }
};

int CountTrace(const std::string& kind) {
  int count = 0;
  for (const auto& event : pndsim::Trace()) count += event.kind == kind ? 1 : 0;
  return count;
}

class DeviceIdentityTest : public DeviceTest {};

TEST_F(DeviceIdentityTest, DeviceIdIsNormalisedAtLevelThreeAndWholeAtLevelFour) {
  InitHAL();
  PlatformHal platform;
  struct Case {
    Bytes preset;
    Bytes platformId;
    const char* level3;
    const char* level4;
  };
  const Case cases[] = {
      {{0x0A, 0x0B, 0x0C}, {}, "ABC34567", "0A0B0C"},
      {{0x12, 0x34, 0x56, 0x78}, {0x9A, 0xBC, 0xDE, 0xF0}, "12345678", "123456789ABCDEF0"},
      {{0x11, 0x22, 0x33, 0x44, 0x55}, {}, "11223344", "1122334455"},
      {{0x00, 0x00}, {0x01}, "11234567", "000001"},
      {{}, {0xAB}, "", ""},  // no preset identifier: the identifier is empty
  };
  for (const Case& c : cases) {
    pndsim::SetDeviceId(c.preset, c.platformId);
    GuardedBuffer three;
    GuardedBuffer four;
    EXPECT_TRUE(platform.GetDeviceID(three.chars, kGuarded)) << c.level4;
    EXPECT_TRUE(GetDeviceID(four.chars, kGuarded)) << c.level4;
    EXPECT_EQ(three.Text(), c.level3);
    EXPECT_EQ(four.Text(), c.level4);
  }
}

TEST_F(DeviceIdentityTest, DeviceIdRequestsIntoItsOwnRecordAndWritesAtMostLength) {
  InitHAL();
  PlatformHal platform;
  struct Case {
    bool level4;
    int length;
    bool result;
  };
  // Default identifier: 16 characters at level 4, 8 at level 3.
  const Case cases[] = {{true, 16, false}, {true, 17, true},  {true, 1, false}, {true, 0, false},
                        {true, -3, false}, {false, 8, false}, {false, 9, true}, {false, 2, false}};
  for (const Case& c : cases) {
    GuardedBuffer buffer;
    pndsim::ClearTrace();
    const bool result =
        c.level4 ? GetDeviceID(buffer.chars, c.length) : platform.GetDeviceID(buffer.chars, c.length);
    EXPECT_EQ(result, c.result) << c.length;
    EXPECT_TRUE(result ? buffer.IntactFrom(static_cast<std::size_t>(c.length)) : buffer.Untouched())
        << c.length;
    // Always a full request, whatever the caller gave.
    std::vector<std::string> requests;
    for (const auto& event : pndsim::Trace()) {
      if (event.kind == "identity.deviceid") requests.push_back(event.detail);
    }
    EXPECT_EQ(requests, c.length > 0 ? std::vector<std::string>{"size=256"} : std::vector<std::string>{});
  }
  EXPECT_FALSE(GetDeviceID(nullptr, 100));
}

TEST_F(DeviceIdentityTest, ADeviceIdRecordPointingOutsideItselfIsRefused) {
  InitHAL();
  struct Case {
    std::uint32_t presetOffset, presetBytes, platformOffset, platformBytes;
  };
  const Case cases[] = {{250, 10, 0, 0}, {20, 4, 255, 2}, {0xFFFFFFF0u, 0x20, 0, 0}, {20, 0xFFFFFFFFu, 0, 0}};
  for (const Case& c : cases) {
    Bytes record(32, 0xEE);
    const std::uint32_t head[] = {32, c.presetOffset, c.presetBytes, c.platformOffset, c.platformBytes};
    std::memcpy(record.data(), head, sizeof head);
    pndsim::SetDeviceIdRecord(record);
    GuardedBuffer buffer;
    EXPECT_FALSE(GetDeviceID(buffer.chars, kGuarded)) << c.presetOffset;
    EXPECT_TRUE(buffer.Untouched());
  }
  // Both identifiers spanning the record after its first byte: 1020 characters.
  Bytes whole(256, 0xAB);
  const std::uint32_t head[] = {256, 1, 255, 1, 255};
  std::memcpy(whole.data(), head, sizeof head);
  pndsim::SetDeviceIdRecord(whole);
  std::vector<wchar_t> large(1100, kCanary);
  EXPECT_FALSE(GetDeviceID(large.data(), 1020));
  EXPECT_TRUE(GetDeviceID(large.data(), 1021));
  EXPECT_EQ(std::wcslen(large.data()), 1020u);
  EXPECT_EQ(large[1021], kCanary);
  pndsim::SetDeviceIdRecord(Bytes(300, 0));  // larger than any request
  GuardedBuffer buffer;
  EXPECT_FALSE(GetDeviceID(buffer.chars, kGuarded));
  EXPECT_TRUE(buffer.Untouched());
}

// Every selector's text on the default device, and its length bound: one
// character short is refused untouched, exactly enough is written and
// terminated with nothing after it.
TEST_F(DeviceIdentityTest, EachSelectorReportsItsOwnFieldWithinTheCallersLength) {
  InitHAL();
  PlatformHal platform;
  struct Case {
    eDeviceInfoID id;
    const char* level4;
    const char* level3;
  };
  const Case cases[] = {
      {eDeviceInfoOEM, "PND Navigator 5000", nullptr},
      {eDeviceInfoValue5, "1", nullptr},
      {eDeviceInfoText6, "Navigator 5000", nullptr},  // UTF-16 text
      {eDeviceInfoValue7, "3", nullptr},
      {eDeviceInfoText8, "NV5-0042-EU", nullptr},  // single-byte text
      {eDeviceInfoValue9, "7", nullptr},
      {eDeviceInfoText10, "Navigation device", nullptr},
      {eDeviceInfoText11, "010203A0FF", nullptr},  // bytes that are no text
      {eDeviceInfoValue12, "123456", nullptr},
      {eDeviceInfoValue13, "4000000000", nullptr},  // unsigned
      {eDeviceInfoValue14, "2", nullptr},           // the device stores 1
      {eDeviceInfoVersion, "5.1234", "4.20.1871"},
  };
  for (const Case& c : cases) {
    for (bool level4 : {true, false}) {
      const std::string expected = level4 || c.level3 == nullptr ? c.level4 : c.level3;
      auto call = [&](wchar_t* buffer, unsigned long length) {
        return level4 ? GetDeviceInfo(c.id, buffer, length) : platform.GetDeviceInfo(c.id, buffer, length);
      };
      GuardedBuffer wide;
      EXPECT_TRUE(call(wide.chars, kGuarded)) << c.id;
      EXPECT_EQ(wide.Text(), expected) << c.id << " level4=" << level4;
      GuardedBuffer exact;
      EXPECT_TRUE(call(exact.chars, expected.size() + 1)) << c.id;
      EXPECT_EQ(exact.Text(), expected);
      EXPECT_TRUE(exact.IntactFrom(expected.size() + 1)) << c.id;
      GuardedBuffer shortBuffer;
      EXPECT_FALSE(call(shortBuffer.chars, expected.size())) << c.id << " level4=" << level4;
      EXPECT_TRUE(shortBuffer.Untouched()) << c.id;
    }
  }
}

TEST_F(DeviceIdentityTest, UnknownSelectorsAndFailedRequestsLeaveTheBufferAlone) {
  InitHAL();
  PlatformHal platform;
  for (int id : {0, 3, 16, -1, 1000}) {
    GuardedBuffer buffer;
    EXPECT_FALSE(GetDeviceInfo(static_cast<eDeviceInfoID>(id), buffer.chars, kGuarded)) << id;
    EXPECT_TRUE(buffer.Untouched());
  }
  for (int id = eDeviceInfoValue5; id <= eDeviceInfoVersion; ++id) {
    for (bool level4 : {true, false}) {
      GuardedBuffer buffer;
      pndsim::FailNext(pndsim::Call::KernelIoControl);
      const auto selector = static_cast<eDeviceInfoID>(id);
      EXPECT_FALSE(level4 ? GetDeviceInfo(selector, buffer.chars, kGuarded)
                          : platform.GetDeviceInfo(selector, buffer.chars, kGuarded))
          << id;
      EXPECT_TRUE(buffer.Untouched()) << id;
    }
  }
}

TEST_F(DeviceIdentityTest, SelectorFourteenIsTwoWhateverTheDeviceStores) {
  InitHAL();
  PlatformHal platform;
  Bytes record = pndsim::DeviceInfoRecord();
  record[576] = 9;
  record[577] = 1;
  pndsim::SetDeviceInfoRecord(record);
  GuardedBuffer three;
  GuardedBuffer four;
  EXPECT_TRUE(platform.GetDeviceInfo(eDeviceInfoValue14, three.chars, kGuarded));
  EXPECT_TRUE(GetDeviceInfo(eDeviceInfoValue14, four.chars, kGuarded));
  EXPECT_EQ(three.Text(), "2");
  EXPECT_EQ(four.Text(), "2");
}

TEST_F(DeviceIdentityTest, VersionTextShowsDotsAndIsAlwaysTerminated) {
  PlatformHal platform;
  struct Case {
    std::string bytes;  // as the device sends them, terminator included where given
    unsigned long length;
    bool result;
    const char* text;
  };
  const Case cases[] = {
      {std::string("1=2=3\0", 6), 6, true, "1.2.3"},
      {std::string("1=2=3\0", 6), 5, false, nullptr},  // the terminator does not fit
      {std::string("123456789"), 5, false, nullptr},   // fills every byte without a terminator
      {std::string("12\0", 3), 64, true, "12"},
  };
  for (const Case& c : cases) {
    pndsim::SetVersionText(Bytes(c.bytes.begin(), c.bytes.end()));
    GuardedBuffer buffer;
    EXPECT_EQ(platform.GetDeviceInfo(eDeviceInfoVersion, buffer.chars, c.length), c.result) << c.bytes;
    if (c.result) {
      EXPECT_EQ(buffer.Text(), c.text);
      EXPECT_TRUE(buffer.IntactFrom(c.length));
    } else {
      EXPECT_TRUE(buffer.Untouched()) << c.bytes;
    }
  }
}

TEST_F(DeviceIdentityTest, CalibrationSendsTheMarkerAndTheWholeBoundedText) {
  InitHAL();
  constexpr auto kMachine = pndsim::RegistryRoot::LocalMachine;
  const char* kTouch = "HARDWARE\\DEVICEMAP\\TOUCH";
  struct Case {
    Bytes value;  // the registry value's bytes
    std::string sent;
  };
  Bytes unterminated(400, 0);
  for (std::size_t i = 0; i < unterminated.size(); i += 2) unterminated[i] = '7';
  const Case cases[] = {
      {{'1', 0, ',', 0, '2', 0, 0, 0}, "1,2"},
      {{'9', 0, 0, 0, '8', 0}, "9"},
      {Bytes(unterminated.begin(), unterminated.begin() + 253), std::string(126, '7')},  // cut at 253 bytes
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(pndsim::SetRegistryValue(kMachine, kTouch, "CalibrationData", 1, c.value));
    const int before = pndsim::TouchCalibrationCount();
    EXPECT_TRUE(CalibrateTouchscreen());
    EXPECT_EQ(pndsim::TouchCalibrationCount(), before + 1);
    Bytes expected(4 + c.sent.size());
    const std::uint8_t marker[] = {0x55, 0xAA, 0x55, 0xAA};
    std::copy(std::begin(marker), std::end(marker), expected.begin());
    std::copy(c.sent.begin(), c.sent.end(), expected.begin() + 4);
    EXPECT_EQ(pndsim::SentCalibration(), expected) << c.sent;
  }
  ASSERT_TRUE(pndsim::SetRegistryValue(kMachine, kTouch, "CalibrationData", 1, unterminated));  // 400 bytes
  EXPECT_FALSE(CalibrateTouchscreen());
  ASSERT_TRUE(pndsim::DeleteRegistryValue(kMachine, kTouch, "CalibrationData"));
  EXPECT_FALSE(CalibrateTouchscreen());
}

TEST_F(DeviceIdentityTest, ContactsPreferTheTodayProgram) {
  InitHAL();
  struct Case {
    bool today;
    bool outlook;
    bool result;
    const char* file;
    const char* parameters;
  };
  const Case cases[] = {{true, true, true, "tcontacts.exe", ""},
                        {false, true, true, "poutlook.exe", "contacts"},
                        {false, false, false, nullptr, nullptr}};
  for (const Case& c : cases) {
    pndsim::Reset();
    pndsim::RemoveFile("\\Windows\\poutlook.exe");
    if (c.today) pndsim::SetFile("\\Windows\\tcontacts.exe");
    if (c.outlook) pndsim::SetFile("\\Windows\\poutlook.exe");
    EXPECT_EQ(OpenContacts(), c.result);
    const auto launches = pndsim::ShellLaunches();
    ASSERT_EQ(launches.size(), c.result ? 1u : 0u);
    if (!c.result) continue;
    EXPECT_EQ(launches[0].file, c.file);
    EXPECT_EQ(launches[0].parameters, c.parameters);
    EXPECT_EQ(launches[0].verb, "Open");
    EXPECT_EQ(launches[0].mask, 0x440u);
    EXPECT_EQ(launches[0].show, 1);
  }
  // A folder of the program's name is no program.
  pndsim::Reset();
  pndsim::RemoveFile("\\Windows\\poutlook.exe");
  pndsim::SetFile("\\Windows\\tcontacts.exe", true);
  EXPECT_FALSE(OpenContacts());
}

TEST_F(DeviceIdentityTest, MemorySplitKeepsMarginsAndRestoresTheFirstShare) {
  PlatformHal platform;
  // 16384 pages of 4 KiB, half each; the store uses 2048 pages, programs 5120.
  struct Case {
    int percent;
    std::uint32_t store;
  };
  const Case cases[] = {{150, 16384 - 5121 - 5}, {-5, 2048 + 5}, {50, 8192}, {25, 4096}};
  for (const Case& c : cases) {
    platform.SetMemorySplit(c.percent);
    EXPECT_EQ(pndsim::Memory().storePages, c.store) << c.percent;
  }
  platform.RestoreMemorySplit();
  EXPECT_EQ(pndsim::Memory().storePages, 8192u);
  const std::size_t requests = pndsim::MemoryDivisionRequests().size();
  platform.RestoreMemorySplit();  // nothing saved any more
  EXPECT_EQ(pndsim::MemoryDivisionRequests().size(), requests);
}

TEST_F(DeviceIdentityTest, MemorySplitNeverWrapsOnFiguresThatLeaveNoRoom) {
  PlatformHal platform;
  struct Case {
    pndsim::MemoryDivision memory;
    std::vector<std::uint32_t> requests;
  };
  const Case cases[] = {
      {{2, 3, 4096, 0, 3 * 4096}, {}},          // programs need more than there is
      {{10, 10, 4096, 40960, 40960}, {}},       // both sides full
      {{8192, 8192, 0, 0, 0}, {}},              // no page size
      {{0, 0, 4096, 0, 0}, {}},                 // no memory
      {{100, 100, 4096, 900000, 4096}, {105}},  // the store uses more than it has: all of it, plus the margin
  };
  for (const Case& c : cases) {
    pndsim::Reset();
    pndsim::SetMemory(c.memory);
    platform.SetMemorySplit(50);
    EXPECT_EQ(pndsim::MemoryDivisionRequests(), c.requests) << c.memory.storePages;
  }
}

TEST_F(DeviceIdentityTest, TheDeviceLevelLeavesMemoryAlone) {
  InitHAL();
  SetMemorySplit(80);
  RestoreMemorySplit();
  EXPECT_TRUE(pndsim::MemoryDivisionRequests().empty());
}

TEST_F(DeviceIdentityTest, FlashRangesReachTheVendorOnlyInsideTheArea) {
  InitHAL();
  struct Case {
    unsigned long offset;
    unsigned long length;
    bool result;
  };
  const Case cases[] = {
      {2040, 8, true},
      {2040, 9, false},
      {0, 2048, true},
      {2048, 0, true},
      {2049, 0, false},
      {1UL << 32, 8, false},
      {(1UL << 32) - 1, 2, false},
      {ULONG_MAX - 3, 8, false},
      {8, ULONG_MAX - 3, false},
  };
  std::vector<unsigned char> bytes(2048, 0x5A);
  std::vector<unsigned char> readBack(2048, 0);
  for (const Case& c : cases) {
    pndsim::ClearTrace();
    EXPECT_EQ(ReadFlash(c.offset, readBack.data(), c.length), c.result) << c.offset << "+" << c.length;
    EXPECT_EQ(WriteFlash(c.offset, bytes.data(), c.length), c.result) << c.offset << "+" << c.length;
    EXPECT_EQ(CountTrace("vendor.flash.read") + CountTrace("vendor.flash.write"), c.result ? 2 : 0);
  }
  std::uint8_t area[2048];
  ASSERT_TRUE(pndsim::ReadFlashArea(0, area));
  EXPECT_EQ(area[0], 0x5A);  // the write of the whole area
  const std::uint8_t pattern[] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(pndsim::WriteFlashArea(2040, pattern));
  unsigned char read[8] = {};
  EXPECT_TRUE(ReadFlash(2040, read, 8));
  EXPECT_EQ(std::memcmp(read, pattern, 8), 0);
  EXPECT_FALSE(ReadFlash(0, nullptr, 8));
}

TEST_F(DeviceIdentityTest, MacTextNeedsTwentyThreeCharacters) {
  InitHAL();
  pndsim::SetBtAddress({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
  for (int length : {0, 1, 22, -1}) {
    GuardedBuffer buffer;
    EXPECT_FALSE(GetBtMACAddr(buffer.chars, length)) << length;
    EXPECT_TRUE(buffer.Untouched());
  }
  GuardedBuffer buffer;
  EXPECT_TRUE(GetBtMACAddr(buffer.chars, 23));
  EXPECT_EQ(buffer.Text(), "MAC: 00-1a-2b-3c-4d-5e");
  EXPECT_TRUE(buffer.IntactFrom(23));
  pndsim::SetBtAddress({0xFF, 0xEE, 0x0D, 0xC0, 0x01, 0x10});
  EXPECT_TRUE(GetBtMACAddr(buffer.chars, 40));
  EXPECT_EQ(buffer.Text(), "MAC: ff-ee-0d-c0-01-10");
}

TEST_F(DeviceIdentityTest, FmDefaultsAndBandLimits) {
  InitHAL();
  unsigned low = 0;
  unsigned high = 0;
  GetFMBandwidth(low, high);
  EXPECT_EQ(low, 880u);
  EXPECT_EQ(high, 1070u);
  SetFMBandwidth(875, 1080);
  GetFMBandwidth(low, high);
  EXPECT_EQ(low, 875u);
  EXPECT_EQ(high, 1080u);
  EXPECT_FALSE(ActivateFMTransmitter(true));
  EXPECT_FALSE(IsFMTransmitterActive());
  unsigned value = 77;
  EXPECT_FALSE(GetFMFrequency(value));
  EXPECT_FALSE(GetFMMode(value));
  EXPECT_EQ(value, 77u);
  EXPECT_FALSE(SetFMFrequency(1000));
  EXPECT_FALSE(SetFMPiCode(1));
  EXPECT_FALSE(SetFMStationName(L"x"));
  EXPECT_FALSE(SetFMRadioText(L"x"));
  EXPECT_FALSE(MuteFM(true));
  EXPECT_FALSE(StepFMFrequencyForward(1));
  EXPECT_FALSE(StepFMFrequencyBackward(1));
  EXPECT_FALSE(SetFMPower(1));
  EXPECT_FALSE(SetFMMode(1));
  EXPECT_FALSE(SetFMEmphasis(1));
  EXPECT_FALSE(ActivateRemoteControl(true));
  EXPECT_FALSE(SetSystemLanguage(0x409));
}

}  // namespace
}  // namespace pndtest
