// Events as JSON, the same bytes in every stream.
#include "event_json.h"

#include <nlohmann/json.hpp>

namespace scenario {

std::string EventJson(const Event& event) {
  using EventDocument = nlohmann::ordered_json;
  const bool listener = event.source == Event::Source::Listener;
  EventDocument fields = EventDocument::object();
  for (const pndsim::TraceField& field : event.fields) {
    fields[field.name] = field.number ? EventDocument(*field.number) : EventDocument(field.text);
  }
  EventDocument object = {{"type", listener ? "listener" : "platform"}, {"kind", event.kind}};
  object[listener ? "call" : "detail"] = event.text;
  object["fields"] = std::move(fields);
  if (!listener) object["tick"] = event.tick;
  return object.dump(-1, ' ', false, EventDocument::error_handler_t::replace);
}

}  // namespace scenario
