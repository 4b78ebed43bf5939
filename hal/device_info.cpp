// Device identity and the remaining device services: their exported functions
// and their operations at every level: the device identifier, the
// device-information strings, touch calibration, the contacts program, the
// system language and the split of memory between object store and programs.
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>

#include "ce/identity.h"
#include "ce/kernel.h"
#include "ce/power.h"
#include "ce/registry.h"
#include "hal/hal_levels.h"
#include "pndhal/zualloc.h"

namespace {

constexpr DWORD kDeviceIdRequestSize = 256;
// Both identifiers may each span the whole record (they may overlap), two
// hexadecimal digits a byte.
constexpr std::size_t kMaxDeviceIdChars = std::size_t{2} * 2 * kDeviceIdRequestSize;
constexpr std::size_t kNormalisedIdChars = 8;
constexpr DWORD kCalibrationBufferSize = 0x40000;
constexpr DWORD kCalibrationValueBytes = 253;
constexpr DWORD kMaxVersionTextBytes = 4096;
constexpr std::size_t kLevel4VersionChars = 7;
constexpr DWORD kMemoryMarginPages = 5;

// A buffer from the HAL's allocator, given back when it leaves scope.
struct ZuDeleter {
  void operator()(void* memory) const { ZuFree(memory); }
};
using ZuBytes = std::unique_ptr<std::uint8_t, ZuDeleter>;

ZuBytes AllocateBytes(std::size_t size) { return ZuBytes(static_cast<std::uint8_t*>(ZuAlloc(size))); }

// Writes `count` characters of `text` and a terminator when they fit in the
// caller's `length`; false with the buffer untouched otherwise.
bool WriteText(const wchar_t* text, std::size_t count, wchar_t* buffer, std::uint64_t length) {
  if (buffer == nullptr || length < count + 1) return false;
  std::wmemcpy(buffer, text, count);
  buffer[count] = L'\0';
  return true;
}

std::uint32_t Read16(const std::uint8_t* record, std::size_t offset) {
  return static_cast<std::uint32_t>(record[offset] | (record[offset + 1] << 8));
}

std::uint32_t Read32(const std::uint8_t* record, std::size_t offset) {
  return Read16(record, offset) | (Read16(record, offset + 2) << 16);
}

wchar_t HexDigit(unsigned value) {
  return static_cast<wchar_t>(value < 10 ? L'0' + value : L'A' + value - 10);
}

std::size_t AppendHex(const std::uint8_t* bytes, std::size_t count, wchar_t* text, std::size_t at) {
  for (std::size_t i = 0; i < count; ++i) {
    text[at++] = HexDigit(bytes[i] >> 4);
    text[at++] = HexDigit(bytes[i] & 0xF);
  }
  return at;
}

// Levels 2 and 3 give an 8-character identifier: zeros dropped, then cut or
// filled with the digits counting on from the length left.
std::size_t Normalise(wchar_t* text, std::size_t count) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (text[i] != L'0') text[kept++] = text[i];
  }
  // With n characters left, the fill is '0' + n, '0' + n + 1, ...: the digit
  // of each position.
  for (; kept < kNormalisedIdChars; ++kept) text[kept] = static_cast<wchar_t>(L'0' + kept);
  return kNormalisedIdChars;
}

// The identifier is requested into a record of the HAL's own, whatever the
// caller's buffer holds; a record whose identifiers lie outside it is refused.
bool DeviceIdText(bool normalise, wchar_t* buffer, int length) {
  if (buffer == nullptr || length <= 0) return false;
  alignas(DWORD) std::uint8_t record[kDeviceIdRequestSize] = {};
  std::memcpy(record, &kDeviceIdRequestSize, sizeof kDeviceIdRequestSize);
  DWORD returned = 0;
  if (KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, record, sizeof record, &returned) == FALSE) {
    return false;
  }
  DEVICE_ID head;
  std::memcpy(&head, record, sizeof head);
  auto inside = [](DWORD offset, DWORD bytes) {
    return offset <= kDeviceIdRequestSize && bytes <= kDeviceIdRequestSize - offset;
  };
  wchar_t text[kMaxDeviceIdChars + 1];
  std::size_t count = 0;
  if (head.dwPresetIDOffset != 0) {
    if (!inside(head.dwPresetIDOffset, head.dwPresetIDBytes)) return false;
    count = AppendHex(record + head.dwPresetIDOffset, head.dwPresetIDBytes, text, count);
    if (head.dwPlatformIDOffset != 0) {
      if (!inside(head.dwPlatformIDOffset, head.dwPlatformIDBytes)) return false;
      count = AppendHex(record + head.dwPlatformIDOffset, head.dwPlatformIDBytes, text, count);
    }
    if (normalise) count = Normalise(text, count);
  }
  return WriteText(text, count, buffer, static_cast<std::uint64_t>(length));
}

bool IsPrintable(std::uint32_t c) { return (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF); }

// A stretch of the information record as text: UTF-16 text when its units up
// to the first 0 are printable Latin-1, else single-byte text when its bytes
// up to the first 0 are, else its bytes in hexadecimal without the trailing
// zeros. An all-zero stretch is the empty text.
std::size_t RenderStretch(const std::uint8_t* bytes, std::size_t size, wchar_t* text) {
  std::size_t units = 0;
  while (units < size / 2 && Read16(bytes, 2 * units) != 0 && IsPrintable(Read16(bytes, 2 * units))) ++units;
  if (units > 0 && (units == size / 2 || Read16(bytes, 2 * units) == 0)) {
    for (std::size_t i = 0; i < units; ++i) text[i] = static_cast<wchar_t>(Read16(bytes, 2 * i));
    return units;
  }
  std::size_t chars = 0;
  while (chars < size && bytes[chars] != 0 && IsPrintable(bytes[chars])) ++chars;
  if (chars > 0 && (chars == size || bytes[chars] == 0)) {
    for (std::size_t i = 0; i < chars; ++i) text[i] = static_cast<wchar_t>(bytes[i]);
    return chars;
  }
  std::size_t used = size;
  while (used > 0 && bytes[used - 1] == 0) --used;
  return AppendHex(bytes, used, text, 0);
}

struct Stretch {
  std::size_t offset;
  std::size_t size;
};

bool StretchOf(eDeviceInfoID id, Stretch& stretch) {
  switch (id) {
    case eDeviceInfoText6:
      stretch = {2, 80};
      return true;
    case eDeviceInfoText8:
      stretch = {84, 80};
      return true;
    case eDeviceInfoText10:
      stretch = {166, 200};
      return true;
    case eDeviceInfoText11:
      stretch = {366, 202};
      return true;
    default:
      return false;
  }
}

bool ValueOf(eDeviceInfoID id, const std::uint8_t* record, std::uint32_t& value) {
  switch (id) {
    case eDeviceInfoValue5:
      value = Read16(record, 0);
      return true;
    case eDeviceInfoValue7:
      value = Read16(record, 82);
      return true;
    case eDeviceInfoValue9:
      value = Read16(record, 164);
      return true;
    case eDeviceInfoValue12:
      value = Read32(record, 568);
      return true;
    case eDeviceInfoValue13:
      value = Read32(record, 572);
      return true;
    case eDeviceInfoValue14:
      value = Read16(record, 576);
      return true;
    default:
      return false;
  }
}

// Selector 15 of levels 2 and 3: one byte a character, '=' shown as '.'. A
// text without its terminator within the caller's length is refused.
bool VersionText(wchar_t* buffer, unsigned long length) {
  if (buffer == nullptr || length == 0) return false;
  const DWORD size = length < kMaxVersionTextBytes ? static_cast<DWORD>(length) : kMaxVersionTextBytes;
  ZuBytes bytes = AllocateBytes(size);
  if (!bytes) return false;
  DWORD returned = 0;
  if (KernelIoControl(IOCTL_HAL_GET_VERSION_TEXT, nullptr, 0, bytes.get(), size, &returned) == FALSE) {
    return false;
  }
  if (returned > size) returned = size;
  std::size_t count = 0;
  while (count < returned && bytes.get()[count] != 0) ++count;
  if (count + 1 > length) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const wchar_t c = bytes.get()[i];
    buffer[i] = c == L'=' ? L'.' : c;
  }
  buffer[count] = L'\0';
  return true;
}

// The division figures SetMemorySplit works from, in pages.
struct MemoryFigures {
  DWORD total;
  DWORD store;
  DWORD storeUsed;
  DWORD ramUsed;
};

bool ReadMemoryFigures(MemoryFigures& figures) {
  DWORD storePages = 0;
  DWORD ramPages = 0;
  DWORD pageSize = 0;
  STORE_INFORMATION store{};
  MEMORYSTATUS status{};
  status.dwLength = sizeof status;
  if (GetSystemMemoryDivision(&storePages, &ramPages, &pageSize) == FALSE ||
      GetStoreInformation(&store) == FALSE) {
    return false;
  }
  GlobalMemoryStatus(&status);
  const std::uint64_t total = std::uint64_t{storePages} + ramPages;
  if (pageSize == 0 || total == 0 || total > 0xFFFFFFFFu) return false;
  // Figures that contradict each other count as nothing used rather than
  // wrapping round to nearly everything.
  const DWORD storeFree = store.dwFreeSize / pageSize;
  const DWORD physTotal = status.dwTotalPhys / pageSize;
  const DWORD physFree = status.dwAvailPhys / pageSize;
  figures.total = static_cast<DWORD>(total);
  figures.store = storePages;
  figures.storeUsed = storePages > storeFree ? storePages - storeFree : 0;
  figures.ramUsed = (physTotal > physFree ? physTotal - physFree : 0) + 1;
  return true;
}

}  // namespace

// --- Exported functions ------------------------------------------------------

bool GetDeviceID(wchar_t* buffer, int length) {
  HalCall hal;
  return hal && hal->GetDeviceID(buffer, length);
}

bool CalibrateTouchscreen() {
  HalCall hal;
  return hal && hal->CalibrateTouchscreen();
}

void SetMemorySplit(int percent) {
  if (HalCall hal; hal) hal->SetMemorySplit(percent);
}

void RestoreMemorySplit() {
  if (HalCall hal; hal) hal->RestoreMemorySplit();
}

bool OpenContacts() {
  HalCall hal;
  return hal && hal->OpenContacts();
}

bool SetSystemLanguage(unsigned long language) {
  HalCall hal;
  return hal && hal->SetSystemLanguage(language);
}

bool GetDeviceInfo(eDeviceInfoID id, wchar_t* buffer, unsigned long length) {
  HalCall hal;
  return hal && hal->GetDeviceInfo(id, buffer, length);
}

// --- Level 0 -----------------------------------------------------------------

bool CHAL::GetDeviceID(wchar_t*, int) { return false; }
bool CHAL::CalibrateTouchscreen() { return false; }
void CHAL::SetMemorySplit(int) {}
void CHAL::RestoreMemorySplit() {}
bool CHAL::OpenContacts() { return false; }
bool CHAL::SetSystemLanguage(unsigned long) { return false; }
bool CHAL::GetDeviceInfo(eDeviceInfoID, wchar_t*, unsigned long) { return false; }

// --- Level 2 -----------------------------------------------------------------

bool CHALWinCE::GetDeviceID(wchar_t* buffer, int length) { return DeviceIdText(true, buffer, length); }

bool CHALWinCE::GetDeviceInfo(eDeviceInfoID id, wchar_t* buffer, unsigned long length) {
  if (buffer == nullptr || length == 0) return false;
  if (id == eDeviceInfoOEM) {
    // The platform takes the buffer's size in bytes.
    constexpr unsigned long kMaxChars = 0xFFFFFFFFu / sizeof(wchar_t);
    const auto bytes = static_cast<UINT>((length < kMaxChars ? length : kMaxChars) * sizeof(wchar_t));
    return SystemParametersInfoW(SPI_GETOEMINFO, bytes, buffer, 0) != FALSE;
  }
  if (id == eDeviceInfoVersion) return VersionText(buffer, length);
  if (id < eDeviceInfoValue5 || id > eDeviceInfoValue14) return false;

  alignas(DWORD) std::uint8_t record[DEVICE_INFO_RECORD_SIZE] = {};
  DWORD returned = 0;
  if (KernelIoControl(IOCTL_HAL_GET_DEVICE_RECORD, nullptr, 0, record, sizeof record, &returned) == FALSE) {
    return false;
  }
  AdjustDeviceInfo(record);
  wchar_t text[2 * 202 + 1];
  std::size_t count = 0;
  Stretch stretch{};
  std::uint32_t value = 0;
  if (StretchOf(id, stretch)) {
    count = RenderStretch(record + stretch.offset, stretch.size, text);
  } else if (ValueOf(id, record, value)) {
    const int written = std::swprintf(text, sizeof text / sizeof text[0], L"%u", value);
    count = written < 0 ? 0 : static_cast<std::size_t>(written);
  }
  return WriteText(text, count, buffer, length);
}

void CHALWinCE::RunTouchCalibration() {}

bool CHALWinCE::CalibrateTouchscreen() {
  ZuBytes transfer = AllocateBytes(kCalibrationBufferSize);
  if (!transfer) return false;
  std::uint8_t* bytes = transfer.get();
  DWORD returned = 0;
  KernelIoControl(IOCTL_HAL_GET_CALIBRATION, nullptr, 0, bytes, kCalibrationBufferSize, &returned);
  RunTouchCalibration();
  const std::uint8_t marker[] = {0x55, 0xAA, 0x55, 0xAA};
  std::memcpy(bytes, marker, sizeof marker);

  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\TOUCH", 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  BYTE value[kCalibrationValueBytes] = {};
  DWORD valueBytes = sizeof value;
  DWORD type = 0;
  const LONG read = RegQueryValueExW(key, L"CalibrationData", nullptr, &type, value, &valueBytes);
  if (read != ERROR_SUCCESS) {
    RegCloseKey(key);
    return false;
  }
  // The text ends at its terminator or at the end of the bytes read,
  // whichever comes first.
  if (valueBytes > sizeof value) valueBytes = sizeof value;
  std::size_t n = 0;
  while (n < valueBytes / 2 && (value[2 * n] | value[2 * n + 1]) != 0) ++n;
  for (std::size_t i = 0; i < n; ++i) bytes[sizeof marker + i] = value[2 * i];
  // The device gets the marker and every character; the calibration is done
  // only once they reached it.
  const BOOL sent = KernelIoControl(IOCTL_HAL_SET_CALIBRATION, bytes, static_cast<DWORD>(n + sizeof marker),
                                    nullptr, 0, nullptr);
  RegCloseKey(key);
  return sent != FALSE;
}

bool CHALWinCE::OpenContacts() {
  auto isFile = [](const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  };
  const wchar_t* file = nullptr;
  const wchar_t* parameters = nullptr;
  if (isFile(L"\\Windows\\tcontacts.exe")) {
    file = L"tcontacts.exe";
    parameters = L"";
  } else if (isFile(L"\\Windows\\poutlook.exe")) {
    file = L"poutlook.exe";
    parameters = L"contacts";
  } else {
    return false;
  }
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = L"Open";
  info.lpFile = file;
  info.lpParameters = parameters;
  info.lpDirectory = L"";
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteEx(&info) == FALSE) return false;
  // The program is not waited for; its handle is not kept either.
  if (info.hProcess != nullptr) CloseHandle(info.hProcess);
  return true;
}

// --- Level 3 -----------------------------------------------------------------

void CHALPlatform::RunTouchCalibration() { TouchCalibrate(); }

void CHALPlatform::AdjustDeviceInfo(unsigned char* record) {
  // The device reports the wrong hardware revision; it is always 2.
  record[576] = 2;
  record[577] = 0;
}

void CHALPlatform::SetMemorySplit(int percent) {
  MemoryFigures figures{};
  if (!ReadMemoryFigures(figures)) return;
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  if (m_iSavedMemorySplit == 0) {
    m_iSavedMemorySplit = static_cast<int>(std::uint64_t{figures.store} * 100 / figures.total);
  }
  // Both sides keep a margin of 5 pages over what they use; when the memory
  // cannot give both their margin, the division stays as it is.
  const std::uint64_t storeLeast = std::uint64_t{figures.storeUsed} + kMemoryMarginPages;
  const std::uint64_t ramLeast = std::uint64_t{figures.ramUsed} + kMemoryMarginPages;
  if (storeLeast + ramLeast > figures.total) return;
  std::uint64_t newStore = std::uint64_t{figures.total} * static_cast<unsigned>(percent) / 100;
  if (newStore < storeLeast) newStore = storeLeast;
  if (figures.total - newStore < ramLeast) newStore = figures.total - ramLeast;
  SetSystemMemoryDivision(static_cast<DWORD>(newStore));
}

void CHALPlatform::RestoreMemorySplit() {
  if (m_iSavedMemorySplit == 0) return;
  CHALPlatform::SetMemorySplit(m_iSavedMemorySplit);
  m_iSavedMemorySplit = 0;
}

// --- Level 4 -----------------------------------------------------------------

bool CHALExternApi::GetDeviceID(wchar_t* buffer, int length) { return DeviceIdText(false, buffer, length); }

bool CHALExternApi::GetDeviceInfo(eDeviceInfoID id, wchar_t* buffer, unsigned long length) {
  if (id != eDeviceInfoVersion) return CHALPlatform::GetDeviceInfo(id, buffer, length);
  if (buffer == nullptr || length < kLevel4VersionChars) return false;
  alignas(DWORD) std::uint8_t record[VERSION_RECORD_SIZE] = {};
  DWORD returned = 0;
  if (KernelIoControl(IOCTL_HAL_GET_VERSION_RECORD, nullptr, 0, record, sizeof record, &returned) == FALSE) {
    return false;
  }
  const wchar_t text[kLevel4VersionChars] = {static_cast<wchar_t>(Read16(record, 96)),
                                             L'.',
                                             static_cast<wchar_t>(Read16(record, 100)),
                                             static_cast<wchar_t>(Read16(record, 102)),
                                             static_cast<wchar_t>(Read16(record, 108)),
                                             static_cast<wchar_t>(Read16(record, 110)),
                                             L'\0'};
  std::wmemcpy(buffer, text, kLevel4VersionChars);
  return true;
}

void CHALExternApi::SetMemorySplit(int) {}

void CHALExternApi::RestoreMemorySplit() {}
