// The phone link's listener registries, which the link's window thread
// notifies and the application connects to.
#pragma once

#include "pndhal/bthal.h"
#include "runtime/listener_registry.h"
#include "runtime/zu_new.h"

struct CBTHAL::ListenerLists : runtime::ZuAllocated {
  runtime::ListenerRegistry<IBTForegroundListener> m_foregroundListeners;
  runtime::ListenerRegistry<IBTCallStatusListener> m_callStatusListeners;
};
