// The phone link as the application holds it: GetBTHAL() hands out one object
// for the life of the library, whose operations reach the current HAL's phone
// link while holding the HAL. A pointer kept across FreeDLL therefore never
// reaches freed memory: while no HAL runs its operations answer false, and
// once a HAL runs again they reach that HAL's new phone link.
#include <atomic>

#include "hal/hal.h"

namespace {

class CPhoneLinkHandle final : public CBTHAL, public runtime::ZuAllocated {
 public:
  bool ConnectCallStatusListener(IBTCallStatusListener* listener) override {
    return OnLink([&](CBTHAL& link) { return link.ConnectCallStatusListener(listener); });
  }
  bool ConnectForegroundListener(IBTForegroundListener* listener) override {
    return OnLink([&](CBTHAL& link) { return link.ConnectForegroundListener(listener); });
  }
  void DisconnectCallStatusListener(IBTCallStatusListener* listener) override {
    OnLink([&](CBTHAL& link) {
      link.DisconnectCallStatusListener(listener);
      return true;
    });
  }
  void DisconnectForegroundListener(IBTForegroundListener* listener) override {
    OnLink([&](CBTHAL& link) {
      link.DisconnectForegroundListener(listener);
      return true;
    });
  }
  bool LaunchPhone(wchar_t const* path) override {
    return OnLink([&](CBTHAL& link) { return link.LaunchPhone(path); });
  }
  bool ClosePhone() override {
    return OnLink([](CBTHAL& link) { return link.ClosePhone(); });
  }
  bool ShowPhoneWindow() override {
    return OnLink([](CBTHAL& link) { return link.ShowPhoneWindow(); });
  }
  bool HidePhoneWindow() override {
    return OnLink([](CBTHAL& link) { return link.HidePhoneWindow(); });
  }
  bool SendPhoneText(wchar_t const* text) override {
    return OnLink([&](CBTHAL& link) { return link.SendPhoneText(text); });
  }
  bool HangUp() override {
    return OnLink([](CBTHAL& link) { return link.HangUp(); });
  }
  bool ChangePhoneLanguage(wchar_t const* languageHex) override {
    return OnLink([&](CBTHAL& link) { return link.ChangePhoneLanguage(languageHex); });
  }
  bool SetPhoneVolume(unsigned int percent) override {
    return OnLink([&](CBTHAL& link) { return link.SetPhoneVolume(percent); });
  }
  bool MutePhone(bool mute) override {
    return OnLink([&](CBTHAL& link) { return link.MutePhone(mute); });
  }
  bool GetPhoneVolume(unsigned int& percent) override {
    return OnLink([&](CBTHAL& link) { return link.GetPhoneVolume(percent); });
  }
  bool IsPhoneMuted(bool& muted) override {
    return OnLink([&](CBTHAL& link) { return link.IsPhoneMuted(muted); });
  }
  bool FactoryResetPhone() override {
    return OnLink([](CBTHAL& link) { return link.FactoryResetPhone(); });
  }
  void GetCallStatus(int& status) override {
    OnLink([&](CBTHAL& link) {
      link.GetCallStatus(status);
      return true;
    });
  }
  bool SetBTPowerOn() override {
    return OnLink([](CBTHAL& link) { return link.SetBTPowerOn(); });
  }
  bool SetBTPowerOff() override {
    return OnLink([](CBTHAL& link) { return link.SetBTPowerOff(); });
  }

 private:
  // Runs `operation` on the current phone link, holding the HAL; false when
  // no HAL or no link runs. Never creates a HAL: the handle is only had from
  // GetBTHAL, which does.
  template <class Operation>
  static bool OnLink(Operation&& operation) {
    HalCall hal(HalCall::Use::kExisting);
    CBTHAL* link = hal ? BTHALPointer().load() : nullptr;
    return link != nullptr && operation(*link);
  }
};

// Made on first use and freed when the library is unloaded.
struct HandleHolder {
  std::atomic<CPhoneLinkHandle*> handle{nullptr};
  ~HandleHolder() { delete handle.load(); }
};

HandleHolder g_handle;

// The handle, made when it does not exist yet; null when memory ran out (the
// next call tries again).
CBTHAL* Handle() {
  if (CPhoneLinkHandle* handle = g_handle.handle.load()) return handle;
  auto* made = new (std::nothrow) CPhoneLinkHandle();
  if (made == nullptr) return nullptr;
  CPhoneLinkHandle* expected = nullptr;
  if (g_handle.handle.compare_exchange_strong(expected, made)) return made;
  delete made;
  return expected;
}

}  // namespace

CBTHAL* GetBTHAL() {
  HalCall hal;
  if (!hal) return nullptr;
  // A phone link that could not be made at start-up is made now.
  hal->EnsureBTHAL();
  return BTHALPointer().load() != nullptr ? Handle() : nullptr;
}
