// The device's records of what happened (the trace, the backlight writes, the telephone program's message
// log, the process list, the message boxes shown) keep their newest entries up to a capacity, count what
// they drop, and give their memory back when cleared.
#include <ce/kernel.h>
#include <ce/process.h>
#include <ce/window.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <pndsim/pndsim.h>

#include <functional>
#include <string>
#include <vector>

#include "sim_guard.h"

namespace {

using Ids = std::vector<long>;

// One record, driven through the control API: `fill` makes entries numbered `first` onward, `ids` reads the
// numbers of those kept; `clear` is null for a record the control API does not clear.
struct RecordCase {
  const char* name;
  std::size_t defaultCapacity;
  std::function<void()> prepare;
  std::function<void(long first, long count)> fill;
  std::function<Ids()> ids;
  std::function<pndsim::RecordStatus()> status;
  std::function<void(std::size_t)> setCapacity;
  std::function<void()> clear;
};

constexpr const wchar_t* kQuickProgram = L"\\Apps\\quick.exe";

void WriteBacklights(long first, long count) {
  for (long i = first; i < first + count; ++i) pndsim::WriteBacklight(static_cast<unsigned>(i), "");
}

void SendToTelephone(long first, long count) {
  HWND window = FindWindowW(nullptr, L"ORX_TELBRIDGE");
  const UINT changeLanguage = RegisterWindowMessageW(L"WM_ORXBT_INMSG_CHANGELANG");
  for (long i = first; i < first + count; ++i) {
    SendMessageW(window, changeLanguage, static_cast<WPARAM>(i), 0);
  }
}

void StartQuickPrograms(long first, long count) {
  for (long i = first; i < first + count; ++i) {
    std::wstring commandLine = std::to_wstring(i);
    PROCESS_INFORMATION information{};
    ASSERT_TRUE(CreateProcessW(kQuickProgram, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, nullptr, &information));
    ASSERT_EQ(WaitForSingleObject(information.hProcess, 5000), WAIT_OBJECT_0);
    CloseHandle(information.hProcess);
    CloseHandle(information.hThread);
  }
}

void ShowMessageBoxes(long first, long count) {
  for (long i = first; i < first + count; ++i) {
    ASSERT_EQ(MessageBoxW(nullptr, std::to_wstring(i).c_str(), L"caption", MB_OK), IDOK);
  }
}

// The number each entry of `entries` carries, as `number` reads it.
template <typename Entries, typename Number>
Ids Numbers(const Entries& entries, Number number) {
  Ids ids;
  for (const auto& entry : entries) ids.push_back(number(entry));
  return ids;
}

Ids ListedProcesses() {
  return Numbers(pndsim::Processes(), [](const auto& process) { return std::stol(process.commandLine); });
}

std::vector<RecordCase> Records() {
  return {
      {"trace", pndsim::kDefaultTraceCapacity, pndsim::ClearTrace, WriteBacklights,
       [] {
         return Numbers(pndsim::Trace(), [](const auto& event) { return std::stol(event.detail.substr(6)); });
       },
       pndsim::TraceStatus, pndsim::SetTraceCapacity, pndsim::ClearTrace},
      {"backlight writes", pndsim::kDefaultBacklightWritesCapacity, [] {}, WriteBacklights,
       [] { return Numbers(pndsim::BacklightWrites(), [](const auto& write) { return long{write.level}; }); },
       pndsim::BacklightWritesStatus, pndsim::SetBacklightWritesCapacity, pndsim::ClearBacklightWrites},
      {"telephone log", pndsim::kDefaultTelephoneLogCapacity,
       [] {
         ASSERT_TRUE(pndsim::StartTelephone());
         pndsim::ClearTelephoneLog();
       },
       SendToTelephone,
       [] {
         return Numbers(pndsim::TelephoneLog(),
                        [](const auto& message) { return static_cast<long>(message.wParam); });
       },
       pndsim::TelephoneLogStatus, pndsim::SetTelephoneLogCapacity, pndsim::ClearTelephoneLog},
      {"processes", pndsim::kDefaultProcessesCapacity,
       [] {
         ASSERT_TRUE(pndsim::InstallProgram("\\Apps\\quick.exe", [](const std::string&) { return 0u; }));
       },
       StartQuickPrograms, ListedProcesses, pndsim::ProcessesStatus, pndsim::SetProcessesCapacity, nullptr},
      {"message boxes", pndsim::kDefaultMessageBoxesCapacity, [] {}, ShowMessageBoxes,
       [] { return Numbers(pndsim::MessageBoxes(), [](const auto& box) { return std::stol(box.text); }); },
       pndsim::MessageBoxesStatus, pndsim::SetMessageBoxesCapacity, pndsim::ClearMessageBoxes},
  };
}

Ids Range(long first, long last) {
  Ids ids;
  for (long i = first; i <= last; ++i) ids.push_back(i);
  return ids;
}

void ExpectStatus(const pndsim::RecordStatus& status, std::size_t kept, std::size_t capacity,
                  std::uint64_t dropped) {
  EXPECT_EQ(status.kept, kept);
  EXPECT_EQ(status.capacity, capacity);
  EXPECT_EQ(status.dropped, dropped);
}

TEST(RecordsTest, EachKeepsItsNewestEntriesAndCountsWhatItDropped) {
  for (const RecordCase& record : Records()) {
    SCOPED_TRACE(record.name);
    pndtest::SimGuard guard;
    record.prepare();
    const auto capacity = static_cast<long>(record.defaultCapacity);
    ExpectStatus(record.status(), 0, record.defaultCapacity, 0);

    // The default capacity holds: one entry beyond it pushes out the oldest.
    record.fill(0, capacity + 1);
    ExpectStatus(record.status(), record.defaultCapacity, record.defaultCapacity, 1);
    const Ids full = record.ids();
    ASSERT_EQ(full.size(), record.defaultCapacity);
    EXPECT_EQ(full.front(), 1);
    EXPECT_EQ(full.back(), capacity);

    // A smaller capacity forgets the oldest at once, and new entries keep pushing the oldest out.
    record.setCapacity(5);
    EXPECT_EQ(record.ids(), Range(capacity - 4, capacity));
    record.fill(capacity + 1, 3);
    EXPECT_EQ(record.ids(), Range(capacity - 1, capacity + 3));
    ExpectStatus(record.status(), 5, 5, static_cast<std::uint64_t>(capacity) - 1);

    record.setCapacity(0);
    EXPECT_EQ(record.ids(), Ids{});
    ExpectStatus(record.status(), 0, 0, static_cast<std::uint64_t>(capacity) + 4);

    // Clearing forgets the count too; the capacity stays.
    if (record.clear) {
      record.setCapacity(2);
      record.fill(0, 3);
      record.clear();
      ExpectStatus(record.status(), 0, 2, 0);
      record.fill(3, 1);
      EXPECT_EQ(record.ids(), Ids{3});
    }

    // A reset empties the record, forgets the count and restores the default capacity.
    pndsim::Reset();
    ExpectStatus(record.status(), 0, record.defaultCapacity, 0);
  }
}

TEST(RecordsTest, ARunningProcessStaysListedUntilItHasEnded) {
  pndtest::SimGuard guard;
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(pndsim::InstallProgram("\\Apps\\quick.exe", [](const std::string&) { return 0u; }));
  ASSERT_TRUE(pndsim::InstallProgram("\\Apps\\waiting.exe", [release](const std::string&) {
    WaitForSingleObject(release, INFINITE);
    return 0u;
  }));
  pndsim::SetProcessesCapacity(1);
  wchar_t waitingLine[] = L"100";
  PROCESS_INFORMATION waiting{};
  ASSERT_TRUE(CreateProcessW(L"\\Apps\\waiting.exe", waitingLine, nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, nullptr, &waiting));
  StartQuickPrograms(0, 2);
  EXPECT_EQ(ListedProcesses(), (Ids{100, 1}));
  ExpectStatus(pndsim::ProcessesStatus(), 2, 1, 1);
  EXPECT_FALSE(pndsim::WaitForProcessesToEnd(0));

  SetEvent(release);
  ASSERT_EQ(WaitForSingleObject(waiting.hProcess, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(pndsim::WaitForProcessesToEnd(0));
  StartQuickPrograms(2, 1);
  EXPECT_EQ(ListedProcesses(), Ids{2});
  ExpectStatus(pndsim::ProcessesStatus(), 1, 1, 3);
  CloseHandle(waiting.hProcess);
  CloseHandle(waiting.hThread);
  CloseHandle(release);
}

TEST(RecordsTest, ClearingTheTraceGivesItsMemoryBack) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers' allocators keep their own accounts";
#endif
  pndtest::SimGuard guard;
  // Short details live inside their events, so what clearing frees is the record's own storage.
  WriteBacklights(0, static_cast<long>(pndsim::kDefaultTraceCapacity));
  ASSERT_EQ(pndsim::TraceStatus().kept, pndsim::kDefaultTraceCapacity);
  const auto before = static_cast<long long>(mallinfo2().uordblks);
  pndsim::ClearTrace();
  const auto after = static_cast<long long>(mallinfo2().uordblks);
  EXPECT_GE(before - after,
            static_cast<long long>(pndsim::kDefaultTraceCapacity * sizeof(pndsim::TraceEvent)));
}

}  // namespace
