// The exported Connect and Disconnect of every listener kind, made from the one list of kinds
// (PNDHAL_LISTENERS), and the operation that connects a key listener. A Disconnect only takes
// something away: it never creates a HAL.
#include "hal/hal.h"

namespace {

// Registers `listener` with its kind's registry; the kinds with more to do on connecting have their own.
template <class Listener>
void Register(CHAL& hal, Listener* listener) {
  hal.Registry<Listener>().Connect(listener);
}

// Key listeners are connected through operation 6.
template <>
void Register(CHAL& hal, IHardwareKeyListener* listener) {
  hal.Connect(listener);
}

// A new power listener learns the current state at once.
template <>
void Register(CHAL& hal, IPMPowerListener* listener) {
  if (listener == nullptr) return;
  hal.m_powerListeners.Connect(listener);
  PMPowerInfo info{};
  if (hal.PMGetPowerInfo(info)) listener->Notify(info);
}

}  // namespace

void CHAL::Connect(IHardwareKeyListener* listener) { m_keyListeners.Connect(listener); }

// A type cannot stand in parentheses.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define PNDHAL_CONNECT_AND_DISCONNECT(Interface, word)                                              \
  void Connect(Interface* listener) {                                                               \
    if (HalCall hal; hal) Register(*hal, listener);                                                 \
  }                                                                                                 \
  void Disconnect(Interface* listener) {                                                            \
    if (HalCall hal(HalCall::Use::kExisting); hal) hal->Registry<Interface>().Disconnect(listener); \
  }
// NOLINTEND(bugprone-macro-parentheses)
PNDHAL_LISTENERS(PNDHAL_CONNECT_AND_DISCONNECT)
#undef PNDHAL_CONNECT_AND_DISCONNECT
