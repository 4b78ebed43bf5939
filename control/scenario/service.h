// The device services of the scenario language: each file of services/ describes one service — its verbs,
// its query functions, its expect forms and the listener kinds it owns — and registers the description
// with a namespace-scope Service object, so that adding a service touches that one file.
#pragma once

#include <pndhal/names.h>

#include <algorithm>
#include <any>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "answers.h"
#include "cursor.h"
#include "pndsim/control.h"
#include "scenario.h"

namespace scenario {

/// A verb of a service. `place` orders `help` and the list of verbs in messages: the services' verbs are
/// listed by place, whatever service they come from, and the language's own verbs after them.
struct ServiceVerb {
  int place = 0;
  VerbHelp help;
  Statement (*parse)(Cursor& cursor) = nullptr;
};

/// A form of `expect` a service adds beyond its listener kinds and queries: one or more leading words
/// (`expect file|folder|missing PATH`), its usage for help, and what it checks, for the summary of
/// `expect` ("a path"). `place` orders the forms as ServiceVerb::place orders verbs.
struct ExpectForm {
  int place = 0;
  std::vector<std::string_view> words;
  std::string_view usage;
  std::string_view checks;
  /// Reads the rest of the line after `word`, one of `words`, which the cursor has taken.
  Statement (*parse)(Cursor& cursor, std::string_view word) = nullptr;
};

/// Reads the fields of a listener expectation after its kind (`expect power 15 charging`): each field is
/// a word in canonical form, or '*' for any.
class CallPattern {
 public:
  explicit CallPattern(Cursor& cursor) : cursor_(cursor) {}

  /// The line's words, for a field that reads them itself.
  Cursor& Input() { return cursor_; }
  bool AtEnd() const { return cursor_.AtEnd(); }
  /// A field read by `read`, which returns its canonical word.
  template <class Read>
  void Field(Read read) {
    fields_.push_back(cursor_.TakeIf("*") ? std::string("*") : std::string(read()));
  }
  /// A name of `table`, or a number from `min` to `max` written as its name.
  void Named(const NameTable& table, long min, long max);
  /// A number from `min` to `max`; `what` names it in messages.
  void Number(long min, long max, std::string_view what);
  /// One of `choices`.
  void Choice(std::initializer_list<std::string_view> choices);

  /// The fields read so far.
  const std::vector<std::string>& Fields() const { return fields_; }

 private:
  Cursor& cursor_;
  std::vector<std::string> fields_;
};

/// What a listener call said, as the expectation that matches it reads: its fields by name, and the words
/// after the kind — the texts of the fields unless `words` says otherwise.
struct ListenerCall {
  std::vector<pndsim::TraceField> fields;
  std::string words;
};

/// A field of a listener call that is a text.
pndsim::TraceField TextField(const char* name, std::string text);
/// A field of a listener call that is a number, written as `text` when given.
pndsim::TraceField NumberField(const char* name, std::int64_t value, std::string text = {});

/// The argument of a listener interface's Notify: `unsigned long` for IHardwareKeyRecordListener.
template <class Method>
struct NotifyArgumentOf;
template <class Interface, class Argument>
struct NotifyArgumentOf<void (Interface::*)(Argument)> {
  using Type = Argument;
};
template <class Interface>
using NotifyArgument = typename NotifyArgumentOf<decltype(&Interface::Notify)>::Type;

/// How a call of a listener interface is worded.
template <class Interface>
using Wording = ListenerCall (*)(NotifyArgument<Interface> argument);

/// A listener kind a service owns: the grammar of its expectation and the wording of its calls.
struct ListenerDescription {
  std::string_view kind;
  void (*pattern)(CallPattern& pattern) = nullptr;
  std::any wording;  ///< the Wording of the kind's interface
};

/// The listener kind of `Interface` (its word is pndhal::ListenerKind<Interface>::kName).
template <class Interface>
ListenerDescription Listener(void (*pattern)(CallPattern& pattern), Wording<Interface> wording) {
  return {pndhal::ListenerKind<Interface>::kName, pattern, wording};
}

/// Everything the scenario language knows of one device service.
struct ServiceDescription {
  std::vector<ServiceVerb> verbs{};
  std::vector<Query> queries{};
  std::vector<ExpectForm> expectForms{};
  std::vector<ListenerDescription> listeners{};
  /// Whether the running library hears the device's events of this service yet (its notification thread
  /// has registered its queue); a session starts once every service says so, so that an action at once
  /// reaches the library. Null: from the start.
  bool (*listening)() = nullptr;
  /// Read before the library runs: the listener kind its polling thread's first round will report, as
  /// it does the state it finds when that is not its starting point; empty for none. Null: never.
  std::string_view (*reportAtStart)() = nullptr;
};

/// Registers a service: a namespace-scope object of a service file, constructed when the library loads.
/// The description is made on first use, by then every service of the library has registered.
class Service {
 public:
  explicit Service(ServiceDescription (*describe)()) noexcept;
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

 private:
  friend const std::vector<ServiceDescription>& Services();
  ServiceDescription (*describe_)();
  const Service* next_;
};

/// Every registered service's description, in no particular order.
const std::vector<ServiceDescription>& Services();

/// Whether every service says the running library hears its device events.
bool LibraryListening();

/// The rows `rows` of every service (its verbs, its queries, ...) by place, and rows of the same place by
/// `name`, so that their order never depends on the order the services registered in.
template <class Row, class Name>
std::vector<Row> RowsByPlace(std::vector<Row> ServiceDescription::*rows, Name name) {
  std::vector<Row> all;
  for (const ServiceDescription& service : Services()) {
    const std::vector<Row>& own = service.*rows;
    all.insert(all.end(), own.begin(), own.end());
  }
  std::sort(all.begin(), all.end(), [&name](const Row& a, const Row& b) {
    return a.place != b.place ? a.place < b.place : name(a) < name(b);
  });
  return all;
}

/// Every service's verbs, by place.
const std::vector<ServiceVerb>& ServiceVerbs();
/// Every service's expect forms, by place.
const std::vector<ExpectForm>& ExpectForms();
/// The service's description of listener kind `kind`; null when no service owns it.
const ListenerDescription* FindListenerKind(std::string_view kind);

/// How calls of `Interface` are worded; null when no service owns its kind.
template <class Interface>
Wording<Interface> WordingOf() {
  const ListenerDescription* kind = FindListenerKind(pndhal::ListenerKind<Interface>::kName);
  const auto* wording = kind != nullptr ? std::any_cast<Wording<Interface>>(&kind->wording) : nullptr;
  return wording != nullptr ? *wording : nullptr;
}

}  // namespace scenario
