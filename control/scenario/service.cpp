// The registry of the scenario language's device services, and what their descriptions are made of.
#include "service.h"

namespace scenario {
namespace {

// The services registered so far, the last first. Constant-initialized, so it is null before any
// service file's registration runs, whatever order the library's files are initialized in.
constinit const Service* gLastRegistered = nullptr;

}  // namespace

Service::Service(ServiceDescription (*describe)()) noexcept : describe_(describe), next_(gLastRegistered) {
  gLastRegistered = this;
}

const std::vector<ServiceDescription>& Services() {
  static const std::vector<ServiceDescription> services = [] {
    std::vector<ServiceDescription> described;
    for (const Service* service = gLastRegistered; service != nullptr; service = service->next_) {
      described.push_back(service->describe_());
    }
    return described;
  }();
  return services;
}

bool LibraryListening() {
  return std::all_of(Services().begin(), Services().end(), [](const ServiceDescription& service) {
    return service.listening == nullptr || service.listening();
  });
}

const std::vector<ServiceVerb>& ServiceVerbs() {
  static const std::vector<ServiceVerb> verbs =
      RowsByPlace(&ServiceDescription::verbs, [](const ServiceVerb& verb) { return verb.help.verb; });
  return verbs;
}

const std::vector<ExpectForm>& ExpectForms() {
  static const std::vector<ExpectForm> forms =
      RowsByPlace(&ServiceDescription::expectForms, [](const ExpectForm& form) { return form.usage; });
  return forms;
}

const ListenerDescription* FindListenerKind(std::string_view kind) {
  for (const ServiceDescription& service : Services()) {
    for (const ListenerDescription& listener : service.listeners) {
      if (listener.kind == kind) return &listener;
    }
  }
  return nullptr;
}

void CallPattern::Named(const NameTable& table, long min, long max) {
  Field([&] { return table.NameOf(cursor_.Named(table, true, min, max)); });
}

void CallPattern::Number(long min, long max, std::string_view what) {
  Field([&] { return std::to_string(cursor_.Integer(min, max, what)); });
}

void CallPattern::Choice(std::initializer_list<std::string_view> choices) {
  Field([&] { return choices.begin()[cursor_.Choice(choices)]; });
}

pndsim::TraceField TextField(const char* name, std::string text) { return {name, std::move(text), {}}; }

pndsim::TraceField NumberField(const char* name, std::int64_t value, std::string text) {
  return {name, text.empty() ? std::to_string(value) : std::move(text), value};
}

}  // namespace scenario
