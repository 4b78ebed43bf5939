// Copy-data messages between threads: the receiver gets its own copy of the
// record and its bytes, as it would in another process's address space.
#include <cstring>

#include "sim/window/window_system.h"

namespace sim::window {
namespace {

struct CopiedData {
  COPYDATASTRUCT record{};
  std::unique_ptr<unsigned char[]> bytes;
};

}  // namespace

LPARAM CopyForReceiver(UINT message, LPARAM lParam, std::shared_ptr<void>& payload) {
  if (message != WM_COPYDATA || lParam == 0) return lParam;
  const auto* source = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  auto copy = std::make_shared<CopiedData>();
  copy->record.dwData = source->dwData;
  copy->record.cbData = source->lpData != nullptr ? source->cbData : 0;
  if (copy->record.cbData != 0) {
    copy->bytes = std::make_unique<unsigned char[]>(copy->record.cbData);
    std::memcpy(copy->bytes.get(), source->lpData, copy->record.cbData);
    copy->record.lpData = copy->bytes.get();
  }
  const auto delivered = reinterpret_cast<LPARAM>(&copy->record);
  payload = std::move(copy);
  return delivered;
}

}  // namespace sim::window
