// The words of the values the library exchanges with the application: each enumeration's table stands
// beside it (records.h, listeners.h); here are the words of the listener kinds, which follow from the
// listener tables. The tool, scenario scripts and their recordings, device profiles and every JSON output
// say these words and no others.
#pragma once

#include <string_view>

#include "pndhal/listeners.h"
#include "pndhal/named_value.h"
#include "pndhal/records.h"

namespace pndhal {

/// The words of the listener kinds: those of PNDHAL_LISTENERS, then those of PNDHAL_PHONE_LISTENERS.
inline constexpr std::string_view kListenerKindNames[] = {
#define PNDHAL_LISTENER_WORD(Interface, word) word,
    PNDHAL_LISTENERS(PNDHAL_LISTENER_WORD) PNDHAL_PHONE_LISTENERS(PNDHAL_LISTENER_WORD)
#undef PNDHAL_LISTENER_WORD
};

/// The word of a listener interface's kind: ListenerKind<IPMPowerListener>::kName is "power".
template <class Listener>
struct ListenerKind;
#define PNDHAL_LISTENER_KIND(Interface, word)       \
  template <>                                       \
  struct ListenerKind<Interface> {                  \
    static constexpr std::string_view kName = word; \
  };
PNDHAL_LISTENERS(PNDHAL_LISTENER_KIND)
PNDHAL_PHONE_LISTENERS(PNDHAL_LISTENER_KIND)
#undef PNDHAL_LISTENER_KIND

}  // namespace pndhal
