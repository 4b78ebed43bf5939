// The JSON object of an event in the schema every machine-readable stream shares: `pndhal run --json`,
// `pndhal tour --json` and the console's JSON mode (docs/events.schema.json, docs/console.md).
#pragma once

#include <string>

#include "observer.h"

namespace scenario {

/// The event as one line of JSON without its line end: a listener call as
/// {"type":"listener","kind":...,"call":...,"fields":{...}}, a platform effect as
/// {"type":"platform","kind":...,"detail":...,"fields":{...},"tick":...}. Members keep that order, numbers
/// are numbers, and text that is not UTF-8 has U+FFFD in place of its bad bytes, so the same event gives
/// the same bytes in every stream.
std::string EventJson(const Event& event);

}  // namespace scenario
