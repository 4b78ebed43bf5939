// The keys in the scenario language: pressing and releasing the device's keys, record mode and the key
// map; the key and record listeners.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "service.h"
#include "statement_makers.h"

namespace scenario {
namespace {

// The application's key codes (eHardwareKey): Up, Down, ..., F6, Device16, Unmapped.
const NameTable& ApplicationKeys() {
  static const NameTable table("an application key", pndhal::kApplicationKeyNames);
  return table;
}

std::string Hex(unsigned long value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%02lX", value);
  return text;
}

// The device's keys by name ("F6", "Return"), from the device profile.
std::optional<unsigned> DeviceKeyNamed(std::string_view name) {
  for (const auto& [keyName, code] : pndsim::DeviceKeys()) {
    if (NameTable("", {{keyName, 0}}).Find(name)) return code;
  }
  return std::nullopt;
}

std::string DeviceKeyName(unsigned code) {
  for (const auto& [keyName, keyCode] : pndsim::DeviceKeys()) {
    if (keyCode == code) return keyName;
  }
  return Hex(code);
}

// A device key by name or virtual-key code (1 to 254).
unsigned DeviceKey(Cursor& cursor) {
  std::string hint;
  if (!cursor.AtEnd()) {
    const std::string_view word = cursor.Peek();
    long code = 0;
    if (const auto named = DeviceKeyNamed(word)) {
      cursor.Take("");
      return *named;
    }
    if (ParseInteger(word, code) && code >= 1 && code <= 254) {
      cursor.Take("");
      return static_cast<unsigned>(code);
    }
    // The two key names are easily taken for each other: say which is which.
    if (ApplicationKeys().Find(word)) {
      hint = "'" + std::string(word) +
             "' is an application key, what a key listener hears; the device's keys are named by the "
             "device profile ('pndhal keys' shows which device key maps to which application key)";
    }
  }
  std::string expected = "a device key (";
  std::vector<std::string> names;
  for (const auto& [name, code] : pndsim::DeviceKeys()) {
    expected += name + ", ";
    names.push_back(name);
  }
  expected += "or a virtual-key code from 1 to 254)";
  cursor.Fail(expected, names, hint);
}

// An application key in an expectation: a name of the library's key codes or a number (0 to 255).
std::string ApplicationKey(Cursor& cursor) {
  if (!cursor.AtEnd() && !ApplicationKeys().Find(cursor.Peek()) && DeviceKeyNamed(cursor.Peek())) {
    cursor.Fail(ApplicationKeys().Describe() + " or a number", ApplicationKeys().Names(),
                "'" + std::string(cursor.Peek()) +
                    "' is a device key; a key listener hears the application key it maps to ('pndhal "
                    "keys' shows which)");
  }
  return ApplicationKeys().NameOf(cursor.Named(ApplicationKeys(), true, 0, 255));
}

// Modifier keys held with a key: alt, ctrl, shift, win.
unsigned Modifiers(Cursor& cursor, std::string& text) {
  unsigned modifiers = 0;
  std::vector<std::string_view> words;
  for (const auto& named : pndsim::kModifierNames) words.push_back(named.name);
  while (!cursor.AtEnd()) {
    const std::size_t index = cursor.Choice(words);
    modifiers |= static_cast<unsigned>(pndsim::kModifierNames[index].value);
    text += " " + std::string(pndsim::kModifierNames[index].name);
  }
  return modifiers;
}

Statement ParseKeyAction(Cursor& cursor, bool press) {
  const unsigned code = DeviceKey(cursor);
  std::string text = std::string(press ? "press " : "release ") + DeviceKeyName(code);
  const unsigned modifiers = Modifiers(cursor, text);
  return Action(text, [=] {
    // A press a hot key's owner refuses because its queue is full is repeated until the owner catches
    // up; a press no hot key matches reaches nobody, as on the device.
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    for (;;) {
      const bool delivered = press ? pndsim::PressKey(code, modifiers) : pndsim::ReleaseKey(code, modifiers);
      if (delivered) return std::string();
      // Only a hot key registered with key-up reporting hears of a release.
      bool grabbed = false;
      for (const auto& hotKey : pndsim::HotKeys()) {
        grabbed = grabbed ||
                  (hotKey.virtualKey == code && (hotKey.modifiers & ~pndsim::kModifierKeyUp) == modifiers &&
                   (press || (hotKey.modifiers & pndsim::kModifierKeyUp) != 0));
      }
      if (!grabbed) return std::string();
      if (Clock::now() > deadline) return std::string("the key's owner did not take it for 5 seconds");
      std::this_thread::yield();
    }
  });
}

Statement ParsePress(Cursor& cursor) { return ParseKeyAction(cursor, true); }
Statement ParseRelease(Cursor& cursor) { return ParseKeyAction(cursor, false); }

Statement ParseRecord(Cursor& cursor) {
  const bool on = cursor.OnOff();
  return Action(on ? "record on" : "record off", [on] {
    SetRecordModeOn(on);
    return std::string();
  });
}

Statement ParseKeyMap(Cursor& cursor) {
  const std::size_t how = cursor.Choice({"set", "share", "unshare"});
  std::vector<std::pair<unsigned long, eHardwareKey>> entries;
  std::string text = std::string("keymap ") + (how == 0 ? "set" : how == 1 ? "share" : "unshare");
  do {
    const Word& word = cursor.Take("a mapping CODE=KEY (0x75=F6)");
    const std::size_t equals = word.text.find('=');
    long code = 0;
    std::optional<long> key;
    if (equals != std::string::npos) {
      const std::string left = word.text.substr(0, equals);
      const std::string right = word.text.substr(equals + 1);
      if (const auto named = DeviceKeyNamed(left)) {
        code = *named;
      } else if (!ParseInteger(left, code) || code < 1 || code > 254) {
        code = 0;
      }
      key = ApplicationKeys().Find(right);
      long number = 0;
      if (!key && ParseInteger(right, number) && number >= 0 && number <= 255) key = number;
    }
    if (code == 0 || !key) {
      cursor.FailAtLast("expected a mapping CODE=KEY: a device key or virtual-key code, '=', and " +
                        ApplicationKeys().Describe() + " or its number, got '" + word.text + "'");
    }
    entries.emplace_back(code, static_cast<eHardwareKey>(*key));
    text += " " + DeviceKeyName(static_cast<unsigned>(code)) + "=" + ApplicationKeys().NameOf(*key);
  } while (!cursor.AtEnd());
  return Action(text, [how, entries] {
    HardwareKeyMap map;
    for (const auto& [code, key] : entries) map.insert(code, key);
    if (how == 0) return Unless(SetHardwareKeyMap(map), "the library refused the key map");
    if (how == 1) return Unless(ActivateSharedHardwareKeyMap(map), "the library refused the shared key map");
    DeactivateSharedHardwareKeyMap(map);
    return std::string();
  });
}

// expect key KEY
void KeyPattern(CallPattern& pattern) {
  pattern.Field([&] { return ApplicationKey(pattern.Input()); });
}

ListenerCall KeyCall(eHardwareKey const& key) {
  return {{TextField("key", ApplicationKeys().NameOf(key))}, {}};
}

// expect record KEY: the raw code of a device key
void RecordPattern(CallPattern& pattern) {
  pattern.Field([&] { return Hex(DeviceKey(pattern.Input())); });
}

ListenerCall RecordCall(unsigned long virtualKey) {
  return {{NumberField("vk", static_cast<std::int64_t>(virtualKey), Hex(virtualKey))}, {}};
}

ServiceDescription Describe() {
  return {
      .verbs =
          {
              {10,
               {"press", "press KEY [alt|ctrl|shift|win]...",
                "press a hardware key (name or virtual-key code)"},
               ParsePress},
              {20,
               {"release", "release KEY [alt|ctrl|shift|win]...", "release a hardware key"},
               ParseRelease},
              {30,
               {"record", "record on|off", "switch the library's record mode (raw key codes)"},
               ParseRecord},
              {40,
               {"keymap", "keymap set|share|unshare CODE=KEY...",
                "replace the key map, or add or withdraw a shared one"},
               ParseKeyMap},
          },
      .listeners =
          {
              Listener<IHardwareKeyListener>(KeyPattern, KeyCall),
              Listener<IHardwareKeyRecordListener>(RecordPattern, RecordCall),
          },
  };
}

const Service kKeys(Describe);

}  // namespace
}  // namespace scenario
