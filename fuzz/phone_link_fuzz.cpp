// Fuzz target: the phone link's report handlers. Any sequence of reports,
// with any parameters and also with message numbers meant for another
// handler, keeps the call status, foreground state and volume within their
// ranges, notifies exactly on the changes the link promises, and never tells
// a call-status listener the same value twice in a row.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "bt/bthal_impl.h"
#include "bt/phone_messages.h"
#include "fuzz/fuzz_text.h"

namespace {

template <class Interface>
class Recorder : public Interface {
 public:
  void Notify(int const* value) override { values.push_back(*value); }
  std::vector<int> values;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using fuzztext::Require;
  const Phone::Messages& ids = Phone::RegisteredMessages();
  const unsigned int handlerMessages[] = {ids.callStatus, ids.chgForegroundApp, ids.volumeIndex,
                                          ids.btPowerStatus};

  auto link = std::make_unique<CBTHALImpl>();
  Recorder<IBTCallStatusListener> calls;
  Recorder<IBTForegroundListener> foreground;
  link->ConnectCallStatusListener(&calls);
  link->ConnectForegroundListener(&foreground);

  int power = -1;  // as the link must have understood the power reports
  while (size != 0) {
    const std::uint32_t selector = fuzztext::Take(data, size, 1);
    const std::uint32_t wParam = fuzztext::Take(data, size, 4);
    const auto lParam = static_cast<long>(static_cast<std::int32_t>(fuzztext::Take(data, size, 4)));
    const unsigned int handler = selector & 3;
    // Mostly the handler's own message, sometimes another handler's.
    const unsigned int message = handlerMessages[(selector & 0x10) != 0 ? (selector >> 2) & 3 : handler];
    const bool own = message == handlerMessages[handler];

    int before = -9;
    link->GetCallStatus(before);
    const std::size_t callsBefore = calls.values.size();
    const std::size_t foregroundBefore = foreground.values.size();
    unsigned int percentBefore = 0;
    const bool volumeBefore = link->GetPhoneVolume(percentBefore);
    bool handled = false;

    switch (handler) {
      case 0:
        link->OnCallStatus(message, wParam, lParam, &handled);
        break;
      case 1:
        link->OnForegroundApp(message, wParam, lParam, &handled);
        break;
      case 2:
        link->OnVolumeIndex(message, wParam, lParam, &handled);
        break;
      default:
        link->OnBTPowerStatus(message, wParam, lParam, &handled);
        break;
    }
    Require(handled == own);

    int status = -9;
    link->GetCallStatus(status);
    Require(status >= -1 && status <= 5);
    unsigned int percent = 0;
    const bool volume = link->GetPhoneVolume(percent);
    Require(!volume || percent <= 100);

    if (!own) {
      Require(status == before && calls.values.size() == callsBefore &&
              foreground.values.size() == foregroundBefore && volume == volumeBefore &&
              (!volume || percent == percentBefore));
      continue;
    }
    if (handler == 0) {
      if (power != 1) {
        Require(status == 0);
      } else if (wParam <= 4) {
        Require(status == static_cast<int>(wParam) + 1);
      } else {
        Require(status == before);
      }
    }
    if (handler == 3) {
      power = wParam == 0 ? 0 : wParam == 1 ? 1 : -1;
      if (power != 1) Require(status == 0);
      if (power == 1) Require(status == ((before == 0 || before == -1) ? 1 : before));
    }
    if (handler == 1) {
      const bool known = wParam == 1 || wParam == 2;
      Require(foreground.values.size() == foregroundBefore + (known ? 1 : 0));
      if (known) Require(foreground.values.back() == (wParam == 1 ? 0 : 1));
    } else {
      Require(foreground.values.size() == foregroundBefore);
    }
    if (handler == 2) {
      const auto index = static_cast<unsigned int>(lParam);
      Require(volume == (index <= 10));
      if (volume) Require(percent == index * 10);
    }
    // A notification tells the new status, and only when it changed.
    Require(calls.values.size() <= callsBefore + 1);
    if (calls.values.size() == callsBefore + 1) {
      Require(calls.values.back() == status);
      Require(callsBefore == 0 || calls.values[callsBefore - 1] != status);
    }
  }
  // Without a telephone program no request gets through.
  Require(!link->HangUp() && !link->SetBTPowerOn() && !link->ShowPhoneWindow());
  link->DisconnectCallStatusListener(&calls);
  link->DisconnectForegroundListener(&foreground);
  return 0;
}
