// The simulated device's platform calls: message queues and the power
// broadcasts written to them, the backlight behind the I/O control call, and
// loading the vendor library by name.
#include <gtest/gtest.h>

#include <cstring>

#include "ce/display.h"
#include "ce/kernel.h"
#include "ce/modules.h"
#include "ce/power.h"
#include "sim_guard.h"

namespace pndtest {
namespace {

HANDLE NewQueue(DWORD maxMessage = 4096) {
  MSGQUEUEOPTIONS options{sizeof(MSGQUEUEOPTIONS), 0, 0, maxMessage, TRUE};
  return CreateMsgQueue(nullptr, &options);
}

TEST(DeviceTest, APowerBroadcastReachesEachQueueRegisteredForItsKind) {
  SimGuard guard;
  HANDLE all = NewQueue();
  HANDLE resumeOnly = NewQueue();
  ASSERT_NE(all, nullptr);
  HANDLE allRegistration = RequestPowerNotifications(all, POWER_NOTIFY_ALL);
  HANDLE resumeRegistration = RequestPowerNotifications(resumeOnly, PBT_RESUME);
  ASSERT_NE(allRegistration, nullptr);
  EXPECT_EQ(pndsim::PowerNotificationCount(), 2);
  EXPECT_EQ(WaitForSingleObject(all, 0), WAIT_TIMEOUT);

  ASSERT_TRUE(pndsim::Suspend());
  EXPECT_FALSE(pndsim::Suspend());
  ASSERT_EQ(WaitForSingleObject(all, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(resumeOnly, 0), WAIT_TIMEOUT);

  alignas(DWORD) std::uint8_t buffer[552];
  DWORD read = 0;
  DWORD flags = 7;
  ASSERT_TRUE(ReadMsgQueue(all, buffer, sizeof buffer, &read, 0, &flags));
  POWER_BROADCAST header{};
  std::memcpy(&header, buffer, 12);
  EXPECT_EQ(header.Message, PBT_TRANSITION);
  EXPECT_EQ(header.Flags, POWER_STATE_SUSPEND);
  EXPECT_EQ(header.Length, 16u);  // "suspend" and its terminator in UTF-16
  EXPECT_EQ(read, 12u + 16u);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer + 12)), u"suspend");

  ASSERT_TRUE(pndsim::Resume());
  ASSERT_TRUE(ReadMsgQueue(resumeOnly, buffer, sizeof buffer, &read, 0, &flags));
  std::memcpy(&header, buffer, 12);
  EXPECT_EQ(header.Message, PBT_RESUME);

  EXPECT_TRUE(StopPowerNotifications(allRegistration));
  EXPECT_TRUE(CloseMsgQueue(resumeOnly));  // its registration goes with it
  EXPECT_EQ(pndsim::PowerNotificationCount(), 0);
  StopPowerNotifications(resumeRegistration);
  CloseMsgQueue(all);
}

TEST(DeviceTest, ReadingAQueueTimesOutAndDropsAMessageTooLargeForTheBuffer) {
  SimGuard guard(100);
  HANDLE queue = NewQueue();
  HANDLE registration = RequestPowerNotifications(queue, POWER_NOTIFY_ALL);
  std::uint8_t buffer[552];
  DWORD read = 0;
  EXPECT_FALSE(ReadMsgQueue(queue, buffer, sizeof buffer, &read, 500, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);

  pndsim::PlugAc();
  EXPECT_FALSE(ReadMsgQueue(queue, buffer, 8, &read, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(WaitForSingleObject(queue, 0), WAIT_TIMEOUT);

  EXPECT_FALSE(ReadMsgQueue(nullptr, buffer, sizeof buffer, &read, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  pndsim::FailNext(pndsim::Call::CreateMsgQueue);
  EXPECT_EQ(NewQueue(), nullptr);
  EXPECT_EQ(NewQueue(0), nullptr);
  StopPowerNotifications(registration);
  CloseMsgQueue(queue);
}

TEST(DeviceTest, PowerStatusControlsAreReportedByTheSystem) {
  SimGuard guard;
  pndsim::SetBattery(42, BATTERY_FLAG_LOW);
  pndsim::PlugAc();
  SYSTEM_POWER_STATUS_EX status{};
  ASSERT_TRUE(GetSystemPowerStatusEx(&status, FALSE));
  EXPECT_EQ(status.ACLineStatus, AC_LINE_ONLINE);
  EXPECT_EQ(status.BatteryFlag, BATTERY_FLAG_LOW);
  EXPECT_EQ(status.BatteryLifePercent, 42);
  pndsim::UnplugAc();
  ASSERT_TRUE(GetSystemPowerStatusEx(&status, TRUE));
  EXPECT_EQ(status.ACLineStatus, AC_LINE_OFFLINE);
  EXPECT_FALSE(GetSystemPowerStatusEx(nullptr, FALSE));
  SystemIdleTimerReset();
  EXPECT_EQ(pndsim::IdleTimerResets(), 1);
  EXPECT_EQ(SetSystemPowerState(nullptr, POWER_STATE_OFF, 0), ERROR_NOT_SUPPORTED);
  EXPECT_FALSE(pndsim::IsSuspended());
  keybd_event(VK_OFF, 0, KEYEVENTF_SILENT | KEYEVENTF_KEYUP, 0);
  EXPECT_FALSE(pndsim::IsSuspended());  // the release alone does nothing
  keybd_event(VK_OFF, 0, KEYEVENTF_SILENT, 0);
  EXPECT_TRUE(pndsim::IsSuspended());
}

TEST(DeviceTest, TheBacklightDriverReadsAndWritesThroughTheSizeArguments) {
  SimGuard guard;
  pndsim::SetBacklightLevel(6);
  DWORD level = 0;
  ASSERT_TRUE(KernelIoControl(IOCTL_BACKLIGHT, nullptr, BACKLIGHT_READ_REQUEST, nullptr, 0, &level));
  EXPECT_EQ(level, 6u);
  ASSERT_TRUE(KernelIoControl(IOCTL_BACKLIGHT, nullptr, 3, nullptr, 0, nullptr));
  EXPECT_EQ(pndsim::BacklightLevel(), 3u);
  ASSERT_EQ(pndsim::BacklightWrites().size(), 1u);
  EXPECT_EQ(pndsim::BacklightWrites()[0].via, "ioctl");
  EXPECT_FALSE(KernelIoControl(0x1234, nullptr, 0, nullptr, 0, nullptr));
  pndsim::FailNext(pndsim::Call::KernelIoControl);
  EXPECT_FALSE(KernelIoControl(IOCTL_BACKLIGHT, nullptr, 5, nullptr, 0, nullptr));
  EXPECT_EQ(pndsim::BacklightLevel(), 3u);

  pndsim::SetScreenSize(800, 480);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 800);
  EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 480);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
  EXPECT_EQ(GetDeviceCaps(nullptr, HORZRES), 0);
}

TEST(DeviceTest, TheVendorLibraryLoadsByNameAndServesTheDevice) {
  SimGuard guard;
  HMODULE first = LoadLibraryW(L"ExternApi.dll");
  ASSERT_NE(first, nullptr);
  HMODULE second = LoadLibraryW(L"externapi.dll");
  EXPECT_EQ(first, second);

  using SetLevel = std::int32_t (*)(unsigned);
  using GetLevel = std::int32_t (*)(unsigned*);
  using Flash = std::int32_t (*)(std::uint32_t, std::uint8_t*, std::uint32_t);
  using Address = std::int32_t (*)(std::uint8_t*);
  // Through the generic function type, as FARPROC's own type is not the function's.
  const auto lookup = [first]<class F>(F, const wchar_t* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddressW(first, name)));
  };
  auto set = lookup(SetLevel{}, L"SetBrightness");
  auto get = lookup(GetLevel{}, L"GetBrightness");
  auto write = lookup(Flash{}, L"WriteFlash");
  auto read = lookup(Flash{}, L"ReadFlash");
  auto address = lookup(Address{}, L"GetBtMacAddrFromAssetData");
  ASSERT_TRUE(set && get && write && read && address);
  EXPECT_EQ(GetProcAddressW(first, L"NoSuchFunction"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

  EXPECT_NE(set(4), 0);
  unsigned level = 0;
  EXPECT_NE(get(&level), 0);
  EXPECT_EQ(level, 4u);
  EXPECT_EQ(pndsim::BacklightWrites().back().via, "vendor");

  std::uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_NE(write(2040, bytes, 8), 0);
  EXPECT_EQ(write(2041, bytes, 8), 0);
  std::uint8_t back[8] = {};
  EXPECT_NE(read(2040, back, 8), 0);
  EXPECT_EQ(std::memcmp(bytes, back, 8), 0);
  EXPECT_EQ(read(0xFFFFFFFF, back, 2), 0);  // no wrap-around

  std::uint8_t mac[6] = {};
  pndsim::SetBtAddress({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
  EXPECT_NE(address(mac), 0);
  EXPECT_EQ(mac[1], 0x1A);
  EXPECT_EQ(mac[5], 0x5E);

  pndsim::FailNext(pndsim::Call::FreeLibrary);
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_FALSE(FreeLibrary(first));
  pndsim::FailNext(pndsim::Call::LoadLibrary);
  EXPECT_EQ(LoadLibraryW(L"externapi.dll"), nullptr);
  EXPECT_EQ(LoadLibraryW(L"nosuchlibrary.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

}  // namespace
}  // namespace pndtest
