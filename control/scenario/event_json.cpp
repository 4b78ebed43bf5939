// Events as JSON, the same bytes in every stream.
#include "event_json.h"

#include <nlohmann/json.hpp>

namespace scenario {

std::string EventJson(const Event& event) {
  using Json = nlohmann::ordered_json;
  const bool listener = event.source == Event::Source::Listener;
  Json fields = Json::object();
  for (const pndsim::TraceField& field : event.fields) {
    fields[field.name] = field.number ? Json(*field.number) : Json(field.text);
  }
  Json object = {{"type", listener ? "listener" : "platform"}, {"kind", event.kind}};
  object[listener ? "call" : "detail"] = event.text;
  object["fields"] = std::move(fields);
  if (!listener) object["tick"] = event.tick;
  return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace scenario
