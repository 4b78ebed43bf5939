// The storage-card service: its exported function, which no level provides,
// and the detection thread that turns the platform's mount notifications into
// ICardListener calls, with the card kind its folder name gives.
#include <cstddef>
#include <cstring>

#include "ce/kernel.h"
#include "ce/power.h"
#include "ce/storage.h"
#include "ce/utf16.h"
#include "hal/hal_levels.h"
#include "hal/notification_queue.h"

namespace {

// One record as the platform writes it: the fixed part and a name of up to
// 278 UTF-16 units.
constexpr DWORD kRecordBufferSize = 584;
constexpr DWORD kQueueMaxMessage = 4096;
constexpr DWORD kNameOffset = offsetof(DEVDETAIL, szName);
constexpr std::size_t kMaxNameChars = (kRecordBufferSize - kNameOffset) / 2;

// Folder names are compared without regard to letter case, as the file
// system names them.
bool StartsWith(const wchar_t* name, const wchar_t* prefix) {
  for (; *prefix != L'\0'; ++name, ++prefix) {
    auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
    if (*name == L'\0' || lower(*name) != lower(*prefix)) return false;
  }
  return true;
}

// A mounted "CF-Karte" gets the kind its removal reports, so an application
// can match the two.
std::int32_t CardKind(const wchar_t* name) {
  if (StartsWith(name, L"SD-Karte") || StartsWith(name, L"\\Storage Card")) return eCardTypeSD;
  if (StartsWith(name, L"CF-Karte")) return eCardTypeCF;
  return eCardTypeOther;
}

}  // namespace

// --- Exported functions ------------------------------------------------------

bool SearchStorageCard(CardInfo& card) {
  HalCall hal;
  return hal && hal->SearchStorageCard(card);
}

// --- Level 0 -----------------------------------------------------------------

bool CHAL::SearchStorageCard(CardInfo&) { return false; }

// --- Thread ------------------------------------------------------------------

unsigned long CStorageCardThread::Run(void* param) {
  if (param == nullptr) return 0;
  CHAL& hal = *static_cast<CHAL*>(param);
  m_cardInfo.cardType = eCardTypeSD;
  m_cardInfo.path.Assign(L"");
  m_cardInfo.removed = false;

  // Folders mounted already are reported as mounts, also when the queue is
  // only had after a refusal.
  CNotificationQueueReader reader(
      StopEvent().GetHandle(), kQueueMaxMessage, hal.PollPeriodMs(),
      [](HANDLE queue) { return RequestDeviceNotifications(&FATFS_MOUNT_GUID, queue, TRUE); },
      &StopDeviceNotifications);
  alignas(DWORD) std::uint8_t record[kRecordBufferSize];
  wchar_t name[kMaxNameChars + 1];
  DWORD read = 0;
  while (reader.Next(record, read)) {
    if (read < kNameOffset) continue;
    BOOL attached = FALSE;
    std::memcpy(&attached, record + 20, sizeof attached);
    ce::Utf16BytesToWide(record + kNameOffset, read - kNameOffset, name, kMaxNameChars + 1);
    m_cardInfo.cardType = CardKind(name);
    m_cardInfo.removed = attached == FALSE;
    m_cardInfo.path.Assign(name);
    hal.Notify<ICardListener>(m_cardInfo);
  }
  m_cardInfo.path = String::StringProxy<String::ZuStringImpl>();
  return 0;
}
