// The device data behind the vendor library: the 2048-byte flash area and the
// Bluetooth device address.
#include <algorithm>

#include "pndsim/vendor.h"
#include "sim/identity/identity.h"
#include "sim/kernel/kernel.h"

namespace sim {
namespace {

struct VendorData {
  VendorData() { Restore(); }  // not shared yet: no lock to take

  Mutex mutex;
  std::array<std::uint8_t, pndsim::kFlashSize> flash GUARDED_BY(mutex){};
  std::array<std::uint8_t, 6> address GUARDED_BY(mutex){};

  // Back to the built-in profile's flash area and address, which its identity member holds.
  void Restore() REQUIRES(mutex) {
    const IdentitySetting& builtIn = kIdentitySection.BuiltIn();
    flash.fill(0);
    std::copy_n(builtIn.flash.begin(), std::min(builtIn.flash.size(), flash.size()), flash.begin());
    address = builtIn.btAddress;
  }
};

VendorData& Data() {
  static auto* data = [] {
    auto* created = new VendorData;
    OnReset([] {
      VendorData& vendor = Data();
      sim::MutexLock lock(vendor.mutex);
      vendor.Restore();
    });
    return created;
  }();
  return *data;
}

bool InArea(std::size_t offset, std::size_t length) {
  return offset <= pndsim::kFlashSize && length <= pndsim::kFlashSize - offset;
}

}  // namespace
}  // namespace sim

bool pndsim::ReadFlashArea(std::size_t offset, std::span<std::uint8_t> out) {
  sim::Record("vendor.flash.read", {sim::NumberField("offset", static_cast<std::int64_t>(offset)),
                                    sim::NumberField("length", static_cast<std::int64_t>(out.size()))});
  if (!sim::InArea(offset, out.size())) return false;
  sim::VendorData& vendor = sim::Data();
  sim::MutexLock lock(vendor.mutex);
  std::copy_n(vendor.flash.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
  return true;
}

bool pndsim::WriteFlashArea(std::size_t offset, std::span<const std::uint8_t> bytes) {
  sim::Record("vendor.flash.write", {sim::NumberField("offset", static_cast<std::int64_t>(offset)),
                                     sim::NumberField("length", static_cast<std::int64_t>(bytes.size()))});
  if (!sim::InArea(offset, bytes.size())) return false;
  sim::VendorData& vendor = sim::Data();
  sim::MutexLock lock(vendor.mutex);
  std::copy(bytes.begin(), bytes.end(), vendor.flash.begin() + static_cast<std::ptrdiff_t>(offset));
  return true;
}

std::array<std::uint8_t, pndsim::kFlashSize> pndsim::FlashArea() {
  sim::VendorData& vendor = sim::Data();
  sim::MutexLock lock(vendor.mutex);
  return vendor.flash;
}

std::array<std::uint8_t, 6> pndsim::BtAddress() {
  sim::VendorData& vendor = sim::Data();
  sim::MutexLock lock(vendor.mutex);
  return vendor.address;
}

void pndsim::SetBtAddress(const std::array<std::uint8_t, 6>& address) {
  sim::VendorData& vendor = sim::Data();
  sim::MutexLock lock(vendor.mutex);
  vendor.address = address;
}
