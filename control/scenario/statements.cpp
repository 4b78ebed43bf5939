// The scenario language: every verb's grammar, its canonical words, and what it does to the device or
// expects of the library. Parsing checks everything a line says before anything runs.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "answers.h"
#include "cursor.h"
#include "scenario.h"
#include "suggestions.h"

namespace scenario {
namespace {

using Milliseconds = std::chrono::duration<double, std::milli>;

// The pause of one polling period: how often the library looks at the volume and the power state.
constexpr double kPollingPeriodMs = 5000;

// --- Words -------------------------------------------------------------------------------------------

std::string Hex(long value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%02lX", value);
  return text;
}

std::string FormatDuration(Milliseconds duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%gms", duration.count());
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

// A wildcard or whatever `read` takes; the word in canonical form.
template <class Read>
std::string Field(Cursor& cursor, Read read) {
  if (cursor.TakeIf("*")) return "*";
  return read();
}

// Whether the words of `actual` match `pattern`: word for word, '*' matching any word, and words the
// pattern leaves out matching anything.
bool Matches(const std::vector<std::string>& pattern, const std::string& actual) {
  const std::vector<Word> words = SplitWords(actual);
  if (pattern.size() > words.size()) return false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != "*" && pattern[i] != words[i].text) return false;
  }
  return true;
}

std::string Join(const std::vector<std::string>& words) {
  std::string text;
  for (const auto& word : words) text += (text.empty() ? "" : " ") + QuoteWord(word);
  return text;
}

// --- Statement makers ----------------------------------------------------------------------------------

Outcome Failure(std::string message) { return {false, std::move(message), {}}; }

// An action: done by `act`, which returns an empty text when it worked or why it could not be done.
Statement Action(std::string text, std::function<std::string()> act) {
  Statement statement;
  statement.text = std::move(text);
  statement.recorded = true;
  statement.run = [act = std::move(act), text = statement.text](Session&) {
    const std::string problem = act();
    return problem.empty() ? Outcome{} : Failure(text + ": " + problem);
  };
  return statement;
}

Statement Expectation(std::string text, std::function<Outcome(Session&)> check) {
  Statement statement;
  statement.text = std::move(text);
  statement.run = std::move(check);
  return statement;
}

std::string Unless(bool done, std::string_view problem) {
  return done ? std::string() : std::string(problem);
}

// --- Actions -----------------------------------------------------------------------------------------

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

Statement ParseBattery(Cursor& cursor) {
  const long percent = cursor.Integer(0, 100, "a battery percentage");
  std::optional<long> flag;
  std::optional<long> ac;
  while (!cursor.AtEnd()) {
    if (cursor.TakeIf("ac")) {
      ac = cursor.Named(AcLines(), true, 0, 255);
    } else if (!flag) {
      flag = cursor.Named(BatteryFlags(), true, 0, 255);
    } else {
      cursor.Choice({"ac"});
    }
  }
  // Without a flag, the one a battery gauge would report for the level.
  const long chosenFlag = flag ? *flag : percent <= 5 ? 0x04 : percent <= 20 ? 0x02 : 0x01;
  std::string text = "battery " + std::to_string(percent) + " " + BatteryFlags().NameOf(chosenFlag);
  if (ac) text += " ac " + AcLines().NameOf(*ac);
  return Action(text, [=] {
    if (ac) {
      pndsim::SetPowerStatus({static_cast<std::uint8_t>(*ac), static_cast<std::uint8_t>(chosenFlag),
                              static_cast<std::uint8_t>(percent)});
    } else {
      pndsim::SetBattery(static_cast<std::uint8_t>(percent), static_cast<std::uint8_t>(chosenFlag));
    }
    return std::string();
  });
}

Statement ParseVolume(Cursor& cursor) {
  const long percent = cursor.Integer(0, 100, "a volume percentage");
  return Action("volume " + std::to_string(percent), [percent] {
    SetVolume(static_cast<unsigned>(percent));
    return std::string();
  });
}

Statement ParseMute(Cursor& cursor) {
  const bool on = cursor.OnOff();
  return Action(on ? "mute on" : "mute off", [on] {
    Mute(on);
    return std::string();
  });
}

Statement ParseMixer(Cursor& cursor) {
  const long left = cursor.Integer(0, 0xFFFF, "a mixer level");
  const long right = cursor.AtEnd() ? left : cursor.Integer(0, 0xFFFF, "a mixer level for the right channel");
  return Action("mixer " + std::to_string(left) + " " + std::to_string(right), [=] {
    pndsim::SetVolumeChannels(static_cast<std::uint16_t>(left), static_cast<std::uint16_t>(right));
    return std::string();
  });
}

Statement ParseBrightness(Cursor& cursor) {
  const long percent = cursor.Integer(0, 100, "a brightness percentage");
  long fade = 0;
  if (!cursor.AtEnd()) {
    cursor.Choice({"fade"});
    fade = cursor.Integer(0, 100000, "a fade rate");
  }
  return Action("brightness " + std::to_string(percent) + " fade " + std::to_string(fade), [=] {
    SetBrightness(static_cast<unsigned>(percent), static_cast<unsigned>(fade));
    return std::string();
  });
}

Statement ParseDisplay(Cursor& cursor) {
  const bool on = cursor.OnOff();
  return Action(on ? "display on" : "display off", [on] {
    // What the library answers is for an expectation to check; the action is done either way.
    static_cast<void>(on ? PMDisplayOn() : PMDisplayOff());
    return std::string();
  });
}

Statement ParseCard(Cursor& cursor) {
  const bool mount = cursor.Choice({"mount", "remove"}) == 0;
  const std::string name = cursor.Take("a card folder name").text;
  return Action(std::string(mount ? "card mount " : "card remove ") + QuoteWord(name), [=] {
    return mount ? Unless(pndsim::MountCard(name), "the folder is mounted already or its name is not valid")
                 : Unless(pndsim::RemoveCard(name), "no such folder is mounted");
  });
}

// A path on the device, as one word: "\\Storage Card\\Maps".
std::string DevicePath(Cursor& cursor) { return cursor.Take("a path on the device (\\Folder\\file)").text; }

Statement ParseFileOrFolder(Cursor& cursor, bool folder) {
  const std::size_t how = folder ? cursor.Choice({"add"}) : cursor.Choice({"add", "remove"});
  const std::string path = DevicePath(cursor);
  const std::string text =
      std::string(folder ? "folder " : "file ") + (how == 0 ? "add " : "remove ") + QuoteWord(path);
  return Action(text, [=] {
    if (how == 1) return Unless(pndsim::RemoveFile(path), "no such file or folder");
    if (pndsim::FileAt(path) != pndsim::FileKind::None) {
      return std::string("a file or folder of that name exists already");
    }
    pndsim::SetFile(path, folder);
    return std::string();
  });
}

Statement ParseProgram(Cursor& cursor) {
  const bool add = cursor.Choice({"add", "start"}) == 0;
  const std::string path = DevicePath(cursor);
  if (add) {
    long code = 0;
    if (cursor.TakeIf("exit")) code = cursor.Integer(0, 4294967295L, "an exit code");
    return Action("program add " + QuoteWord(path) + (code != 0 ? " exit " + std::to_string(code) : ""), [=] {
      const auto exitCode = static_cast<std::uint32_t>(code);
      return Unless(pndsim::InstallProgram(path, [exitCode](const std::string&) { return exitCode; }),
                    "not a path for a program");
    });
  }
  const std::string arguments = cursor.AtEnd() ? std::string() : cursor.Take("").text;
  return Action(
      "program start " + QuoteWord(path) + (arguments.empty() ? "" : " " + QuoteWord(arguments)), [=] {
        const std::uint32_t error = pndsim::StartProgram(path, arguments);
        return error == 0 ? std::string() : "the device refused it with error " + std::to_string(error);
      });
}

Statement ParsePhone(Cursor& cursor) {
  const std::size_t what = cursor.Choice({"launch", "close", "hangup", "show", "hide", "start", "stop",
                                          "call", "bluetooth", "foreground", "volume-step"});
  std::string text = "phone ";
  text += std::array<const char*, 11>{"launch", "close", "hangup",    "show",       "hide",       "start",
                                      "stop",   "call",  "bluetooth", "foreground", "volume-step"}[what];
  long value = 0;
  if (what == 7) {
    value = cursor.Named(TelephoneCalls());
    text += " " + TelephoneCalls().NameOf(value);
  } else if (what == 8) {
    value = cursor.TakeIf("on")    ? 1
            : cursor.TakeIf("off") ? 0
                                   : cursor.Integer(-1000, 1000, "on, off or a number");
    text += value == 1 ? " on" : value == 0 ? " off" : " " + std::to_string(value);
  } else if (what == 9) {
    value = cursor.Named(TelephoneForegrounds());
    text += " " + TelephoneForegrounds().NameOf(value);
  } else if (what == 10) {
    value = cursor.Integer(0, 1000, "a volume step");
    text += " " + std::to_string(value);
  }
  return Action(text, [what, value] {
    constexpr std::string_view kNotRunning = "the telephone program does not run";
    switch (what) {
      case 0:
        return Unless(GetBTHAL()->LaunchPhone(nullptr) && pndsim::SyncTelephone(),
                      "the phone link did not start");
      case 1:
        return Unless(GetBTHAL()->ClosePhone(), "the phone link did not close");
      case 2:
        return Unless(GetBTHAL()->HangUp() && pndsim::SyncTelephone(),
                      "the hang-up did not reach the program");
      case 3:
        return Unless(GetBTHAL()->ShowPhoneWindow(), "the phone window was not shown");
      case 4:
        return Unless(GetBTHAL()->HidePhoneWindow(), "the phone window was not hidden");
      case 5:
        return Unless(pndsim::StartTelephone(), "the telephone program did not start");
      case 6:
        return Unless(pndsim::StopTelephone(), "the telephone program did not stop");
      case 7:
        return Unless(pndsim::SetTelephoneCallState(static_cast<int>(value)), kNotRunning);
      case 8:
        return Unless(pndsim::SetTelephoneBluetoothPower(static_cast<int>(value)), kNotRunning);
      case 9:
        return Unless(pndsim::SetTelephoneForeground(static_cast<int>(value)), kNotRunning);
      default:
        return Unless(pndsim::SetTelephoneVolumeStep(static_cast<unsigned>(value)), kNotRunning);
    }
  });
}

// An ISO-8601 UTC instant: 2026-03-29T00:59:00Z (seconds and the Z may be left out).
pndsim::DeviceInstant Instant(Cursor& cursor, std::string& text) {
  const Word& word = cursor.Take("a UTC time (2026-03-29T00:59:00Z)");
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
  const int fields = std::sscanf(word.text.c_str(), "%4d-%2d-%2dT%2d:%2d%n:%2d%n", &year, &month, &day, &hour,
                                 &minute, &used, &second, &used);
  const std::string rest = word.text.substr(static_cast<std::size_t>(used));
  const std::chrono::year_month_day date{std::chrono::year(year),
                                         std::chrono::month(static_cast<unsigned>(month)),
                                         std::chrono::day(static_cast<unsigned>(day))};
  if (fields < 5 || (rest != "" && rest != "Z") || !date.ok() || hour > 23 || minute > 59 || second > 59 ||
      year < 1601) {
    cursor.FailAtLast("expected a UTC time such as 2026-03-29T00:59:00Z, got '" + word.text + "'");
  }
  char canonical[64];
  std::snprintf(canonical, sizeof canonical, "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day, hour, minute,
                second);
  text += canonical;
  return pndsim::DeviceInstant(std::chrono::sys_days(date).time_since_epoch() + std::chrono::hours(hour) +
                               std::chrono::minutes(minute) + std::chrono::seconds(second));
}

Statement ParseClock(Cursor& cursor) {
  const std::size_t how = cursor.Choice({"set", "pin", "run"});
  if (how == 2) {
    return Action("clock run", [] {
      pndsim::UnpinClock();
      return std::string();
    });
  }
  std::string text = how == 0 ? "clock set " : "clock pin ";
  const pndsim::DeviceInstant instant = Instant(cursor, text);
  return Action(text, [=] {
    if (!pndsim::PinClock(instant)) return std::string("the device clock cannot show that time");
    if (how == 0) pndsim::UnpinClock();
    return std::string();
  });
}

Statement ParseZone(Cursor& cursor) {
  const std::string name = cursor.Take("a zone (Europe/Berlin or a TZ rule)").text;
  return Action("zone " + QuoteWord(name), [name] {
    return Unless(pndsim::SetTimeZoneByName(name), "neither a tz database zone nor a TZ rule");
  });
}

Statement ParseWait(Cursor& cursor) {
  const bool poll = cursor.TakeIf("poll");
  const Milliseconds duration = poll ? Milliseconds(kPollingPeriodMs) : cursor.Duration();
  Statement statement =
      Action(poll ? "wait poll" : "wait " + FormatDuration(duration), [] { return std::string(); });
  statement.run = [duration, text = statement.text](Session& session) {
    return session.WaitDeviceTime(duration.count()) ? Outcome{} : Failure(text + ": cancelled");
  };
  return statement;
}

// The device back to its profile, and the library's reports of the change settled and set aside: the next
// expectation starts from a known state, however the device was left.
Statement ParseReset(Cursor&) {
  Statement statement = Action("reset", [] { return std::string(); });
  statement.run = [](Session& session) {
    pndsim::RestoreProfile();
    // The polling thread reads the volume and then the power state each round and reports what changed.
    // The first power read after the restore may end a round whose volume read came before it; once the
    // next round has read the power state too, both changes have been reported. A library that does not
    // poll is waited for three periods at most.
    const std::uint64_t reads = pndsim::PowerStatusReads();
    for (double waited = 0; pndsim::PowerStatusReads() < reads + 2 && waited < 3 * kPollingPeriodMs;
         waited += kPollingPeriodMs / 20) {
      if (!session.WaitDeviceTime(kPollingPeriodMs / 20)) return Failure("reset: cancelled");
    }
    pndsim::WaitForQuiet(session.Options().settleLimit);
    session.DiscardEvents();
    return Outcome{};
  };
  return statement;
}

Statement ParseTimeScale(Cursor& cursor) {
  const std::string word(cursor.Peek());
  char* end = nullptr;
  const double factor = std::strtod(word.c_str(), &end);
  if (word.empty() || *end != '\0' || !std::isfinite(factor) || factor <= 0) {
    cursor.Fail("a time scale (a positive number: 10 runs the device ten times faster than real time)");
  }
  cursor.Take("");
  char text[64];
  std::snprintf(text, sizeof text, "time-scale %g", factor);
  return Action(text, [factor] { return pndsim::SetTimeScale(factor), std::string(); });
}

Statement ParseFail(Cursor& cursor) {
  std::optional<pndsim::Call> call;
  std::string names;
  std::vector<std::string> candidates;
  for (std::size_t i = 0; i < pndsim::kCallCount; ++i) {
    if (!cursor.AtEnd() && NameTable("", {{pndsim::kCallNames[i], 0}}).Find(cursor.Peek())) {
      call = static_cast<pndsim::Call>(i);
    }
    names += (i == 0 ? "" : ", ") + std::string(pndsim::kCallNames[i]);
    candidates.emplace_back(pndsim::kCallNames[i]);
  }
  if (!call) cursor.Fail("a platform call (" + names + ")", candidates);
  cursor.Take("");
  const long count = cursor.AtEnd() ? 1 : cursor.Integer(0, 1000000, "a count");
  return Action("fail " + std::string(pndsim::CallName(*call)) + " " + std::to_string(count), [=] {
    pndsim::FailNext(*call, static_cast<int>(count));
    return std::string();
  });
}

Statement ParseProfile(Cursor& cursor) {
  const bool save = cursor.Choice({"load", "save"}) == 1;
  std::string file = cursor.Take("a profile file").text;
  // A script names its profile as it names everything else: beside itself, wherever it is run from.
  if (!cursor.Folder().empty() && std::filesystem::path(file).is_relative()) {
    file =
        std::filesystem::absolute(std::filesystem::path(cursor.Folder()) / file).lexically_normal().string();
  }
  if (save) {
    Statement statement = Action("profile save " + QuoteWord(file), [file] {
      const std::string state = pndsim::DeviceState();
      std::FILE* out = std::fopen(file.c_str(), "w");
      const auto refused = [&file] {
        return "cannot write " + file + ": " + std::generic_category().message(errno);
      };
      if (out == nullptr) return refused();
      const bool written = std::fwrite(state.data(), 1, state.size(), out) == state.size();
      const bool closed = std::fclose(out) == 0;
      return written && closed ? std::string() : refused();
    });
    statement.recorded = false;  // it changes nothing of the device: a replay need not write the file again
    return statement;
  }
  return Action("profile load " + QuoteWord(file), [file] {
    const auto error = pndsim::LoadProfile(file);
    return error ? error->Text() : std::string();
  });
}

// --- Expectations --------------------------------------------------------------------------------------

// Waits for the next listener call of `kind` and compares it with `pattern`.
Statement ListenerExpectation(const std::string& kind, std::vector<std::string> pattern) {
  pattern.insert(pattern.begin(), kind);
  const std::string expected = Join(pattern);
  return Expectation("expect " + expected, [kind, pattern, expected](Session& session) {
    const auto event = session.Observer().TakeListenerEvent(kind, session.ExpectDeadline());
    if (!event) return Failure("expected " + expected + ", got nothing");
    if (!Matches(pattern, event->text)) return Failure("expected " + expected + ", got " + event->text);
    return Outcome{};
  });
}

Statement ParseListenerExpectation(Cursor& cursor, const std::string& kind) {
  std::vector<std::string> pattern;
  const auto named = [&](const NameTable& table, long min, long max) {
    pattern.push_back(Field(cursor, [&] { return table.NameOf(cursor.Named(table, true, min, max)); }));
  };
  const auto number = [&](long min, long max, std::string_view what) {
    pattern.push_back(Field(cursor, [&] { return std::to_string(cursor.Integer(min, max, what)); }));
  };
  const auto choice = [&](std::initializer_list<std::string_view> choices) {
    pattern.push_back(Field(cursor, [&] { return std::string(choices.begin()[cursor.Choice(choices)]); }));
  };
  if (kind == "key") pattern.push_back(Field(cursor, [&] { return ApplicationKey(cursor); }));
  if (kind == "record") pattern.push_back(Field(cursor, [&] { return Hex(DeviceKey(cursor)); }));
  if (kind == "power") {
    number(0, 255, "a battery level");
    if (!cursor.AtEnd()) named(PowerStates(), 0, 255);
  }
  if (kind == "volume") {
    number(0, 255, "a volume percentage");
    if (!cursor.AtEnd()) choice({"muted", "unmuted"});
  }
  if (kind == "card") {
    choice({"mounted", "removed"});
    pattern.push_back(Field(cursor, [&] { return cursor.Take("a card folder name").text; }));
    if (!cursor.AtEnd()) named(CardTypes(), 0, 255);
  }
  if (kind == "suspend") {
    pattern.push_back(Field(cursor, [&] { return std::string(cursor.OnOff() ? "true" : "false"); }));
  }
  if (kind == "call") named(CallStatuses(), -1, 5);
  if (kind == "foreground") named(ForegroundStates(), -1, 1);
  cursor.End();
  return ListenerExpectation(kind, std::move(pattern));
}

Statement ParseTraceExpectation(Cursor& cursor) {
  const std::string kind = cursor.Take("a trace kind (hotkey.register, message.post, ...)").text;
  const std::string text = cursor.AtEnd() ? std::string() : cursor.Take("").text;
  cursor.End();
  const std::string expected = "trace " + QuoteWord(kind) + (text.empty() ? "" : " " + QuoteWord(text));
  return Expectation("expect " + expected, [=](Session& session) {
    std::vector<std::string> seen;
    if (session.Observer().TakeTraceEvent(kind, text, session.ExpectDeadline(), &seen)) return Outcome{};
    // What did come of that kind tells a detail written differently from a missing effect.
    if (seen.empty()) return Failure("expected " + expected + ", got no " + kind + " effect");
    std::string got;
    for (const auto& detail : seen) got += (got.empty() ? "" : ", ") + kind + " " + QuoteWord(detail);
    return Failure("expected " + expected + ", got only " + got);
  });
}

Statement ParseNoneExpectation(Cursor& cursor) {
  cursor.Choice({"within"});
  const Milliseconds duration = cursor.Duration();
  cursor.End();
  const std::string expected = "none within " + FormatDuration(duration);
  return Expectation("expect " + expected, [=](Session& session) {
    const auto scaled = std::chrono::duration_cast<Clock::duration>(duration / pndsim::TimeScale());
    const auto event =
        session.Observer().FirstListenerEventSince(session.ActionMark(), Clock::now() + scaled);
    return event ? Failure("expected " + expected + ", got " + event->text) : Outcome{};
  });
}

Statement ParseQueryExpectation(Cursor& cursor, const Query& query) {
  long argument = 0;
  std::string expected = std::string(query.name);
  if (query.takesArgument) {
    argument = cursor.Integer(-2147483648L, 2147483647L, "the function's argument");
    expected += " " + std::to_string(argument);
  }
  cursor.Choice({"="});
  std::vector<std::string> answer;
  do {
    answer.push_back(cursor.Take(std::string("the answer: ") + std::string(query.answerForm)).text);
  } while (!cursor.AtEnd());
  expected += " = " + Join(answer);
  return Expectation("expect " + expected, [&query, argument, answer, expected](Session&) {
    const std::string actual = query.answer(argument);
    const std::vector<Word> words = SplitWords(actual);
    bool same = words.size() == answer.size();
    for (std::size_t i = 0; same && i < answer.size(); ++i) {
      same = answer[i] == "*" || answer[i] == words[i].text;
    }
    if (same) return Outcome{};
    // '*' stands for one word of the answer, not for the rest of it.
    const bool wildcard = std::find(answer.begin(), answer.end(), "*") != answer.end();
    if (wildcard && words.size() != answer.size()) {
      return Failure("expected " + expected + ", got " + actual + " (" + std::to_string(words.size()) +
                     " words; each '*' stands for one)");
    }
    return Failure("expected " + expected + ", got " + actual);
  });
}

// expect file|folder|missing PATH: what the path names in the device's file tree now.
Statement ParsePathExpectation(Cursor& cursor, pndsim::FileKind kind) {
  const std::string path = DevicePath(cursor);
  cursor.End();
  static constexpr const char* kWords[] = {"missing", "file", "folder"};
  const std::string expected = std::string(kWords[static_cast<int>(kind)]) + " " + QuoteWord(path);
  return Expectation("expect " + expected, [=](Session&) {
    const pndsim::FileKind found = pndsim::FileAt(path);
    if (found == kind) return Outcome{};
    return Failure("expected " + expected + ", got " + kWords[static_cast<int>(found)]);
  });
}

// expect files FOLDER = NAME...: the names in a folder, in the order the device lists them.
Statement ParseFolderExpectation(Cursor& cursor) {
  const std::string folder = DevicePath(cursor);
  cursor.Choice({"="});
  std::vector<std::string> names;
  while (!cursor.AtEnd()) names.push_back(cursor.Take("a name").text);
  std::string expected = "files " + QuoteWord(folder) + " =";
  for (const std::string& name : names) expected += " " + QuoteWord(name);
  return Expectation("expect " + expected, [=](Session&) {
    const auto listed = pndsim::FolderContents(folder);
    if (!listed) return Failure("expected " + expected + ", got no folder " + QuoteWord(folder));
    std::string got;
    for (const std::string& name : *listed) got += " " + QuoteWord(name);
    if (*listed == names) return Outcome{};
    return Failure("expected " + expected + ", got" + (got.empty() ? " nothing" : got));
  });
}

// expect process PATH running|ended [CODE]: the newest process started from PATH.
Statement ParseProcessExpectation(Cursor& cursor) {
  const std::string path = DevicePath(cursor);
  const bool ended = cursor.Choice({"running", "ended"}) == 1;
  std::optional<long> code;
  if (ended && !cursor.AtEnd()) code = cursor.Integer(0, 4294967295L, "an exit code");
  cursor.End();
  const std::string expected = "process " + QuoteWord(path) + (ended ? " ended" : " running") +
                               (code ? " " + std::to_string(*code) : "");
  return Expectation("expect " + expected, [=](Session& session) {
    if (ended) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(session.ExpectDeadline() - Clock::now());
      pndsim::WaitForProcessesToEnd(static_cast<std::uint32_t>(std::max<long long>(left.count(), 0)));
    }
    std::optional<pndsim::ProcessRecord> newest;
    // Paths on the device do not differ by case.
    const auto lower = [](std::string text) {
      std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
      return text;
    };
    for (const pndsim::ProcessRecord& process : pndsim::Processes()) {
      if (lower(process.path) == lower(path)) newest = process;
    }
    if (!newest) return Failure("expected " + expected + ", got no process started from it");
    if (newest->running != !ended) {
      return Failure("expected " + expected + ", got " + (newest->running ? "running" : "ended"));
    }
    if (code && newest->exitCode != static_cast<std::uint32_t>(*code)) {
      return Failure("expected " + expected + ", got exit code " + std::to_string(newest->exitCode));
    }
    return Outcome{};
  });
}

Statement ParseExpect(Cursor& cursor) {
  for (const std::string_view kind : pndhal::kListenerKindNames) {
    if (cursor.TakeIf(kind)) return ParseListenerExpectation(cursor, std::string(kind));
  }
  if (cursor.TakeIf("trace")) return ParseTraceExpectation(cursor);
  if (cursor.TakeIf("none")) return ParseNoneExpectation(cursor);
  if (cursor.TakeIf("file")) return ParsePathExpectation(cursor, pndsim::FileKind::File);
  if (cursor.TakeIf("folder")) return ParsePathExpectation(cursor, pndsim::FileKind::Folder);
  if (cursor.TakeIf("missing")) return ParsePathExpectation(cursor, pndsim::FileKind::None);
  if (cursor.TakeIf("files")) return ParseFolderExpectation(cursor);
  if (cursor.TakeIf("process")) return ParseProcessExpectation(cursor);
  for (const Query& query : Queries()) {
    if (cursor.TakeIf(query.name)) return ParseQueryExpectation(cursor, query);
  }
  std::string kinds;
  std::vector<std::string> candidates{"trace", "none", "file", "folder", "missing", "files", "process"};
  for (const std::string_view kind : pndhal::kListenerKindNames) {
    kinds += (kinds.empty() ? "" : ", ") + std::string(kind);
    candidates.emplace_back(kind);
  }
  for (const Query& query : Queries()) candidates.emplace_back(query.name);
  cursor.Fail(
      "a listener kind (" + kinds +
          "), trace, none, file, folder, missing, files, process or a query function (GetVolume, ...)",
      candidates);
}

// --- The verb table ------------------------------------------------------------------------------------

struct Verb {
  VerbHelp help;
  std::function<Statement(Cursor&)> parse;
};

const std::vector<Verb>& VerbTable() {
  static const std::vector<Verb> verbs = {
      {{"press", "press KEY [alt|ctrl|shift|win]...", "press a hardware key (name or virtual-key code)"},
       [](Cursor& c) { return ParseKeyAction(c, true); }},
      {{"release", "release KEY [alt|ctrl|shift|win]...", "release a hardware key"},
       [](Cursor& c) { return ParseKeyAction(c, false); }},
      {{"record", "record on|off", "switch the library's record mode (raw key codes)"}, ParseRecord},
      {{"keymap", "keymap set|share|unshare CODE=KEY...",
        "replace the key map, or add or withdraw a shared one"},
       ParseKeyMap},
      {{"battery", "battery PERCENT [FLAG] [ac offline|online|backup|unknown]",
        "set the battery level, its flag (high, low, critical, charging, none) and the AC line"},
       ParseBattery},
      {{"plug", "plug", "plug external power in"},
       [](Cursor&) { return Action("plug", [] { return pndsim::PlugAc(), std::string(); }); }},
      {{"unplug", "unplug", "unplug external power"},
       [](Cursor&) { return Action("unplug", [] { return pndsim::UnplugAc(), std::string(); }); }},
      {{"suspend", "suspend", "suspend the device"},
       [](Cursor&) {
         return Action("suspend",
                       [] { return Unless(pndsim::Suspend(), "the device is suspended already"); });
       }},
      {{"resume", "resume", "wake the suspended device"},
       [](Cursor&) {
         return Action("resume", [] { return Unless(pndsim::Resume(), "the device is not suspended"); });
       }},
      {{"volume", "volume PERCENT", "set the volume through the library"}, ParseVolume},
      {{"mute", "mute on|off", "mute or unmute through the library"}, ParseMute},
      {{"mixer", "mixer LEFT [RIGHT]", "set the mixer's channels (0 to 65535) as another program would"},
       ParseMixer},
      {{"brightness", "brightness PERCENT [fade RATE]", "set the backlight through the library"},
       ParseBrightness},
      {{"display", "display on|off", "switch the display through the library"}, ParseDisplay},
      {{"card", "card mount|remove NAME", "mount or remove a storage-card folder"}, ParseCard},
      {{"file", "file add|remove PATH", "create a file on the device, or delete a file or folder"},
       [](Cursor& c) { return ParseFileOrFolder(c, false); }},
      {{"folder", "folder add PATH", "create a folder on the device (and the folders on the way)"},
       [](Cursor& c) { return ParseFileOrFolder(c, true); }},
      {{"program", "program add PATH [exit CODE] | program start PATH [ARGUMENTS]",
        "store a program that ends at once with CODE, or start a program as another program would"},
       ParseProgram},
      {{"phone",
        "phone launch|close|hangup|show|hide|start|stop | call STATE | bluetooth on|off | "
        "foreground application|telephone | volume-step N",
        "drive the phone link, or play the telephone program's side"},
       ParsePhone},
      {{"clock", "clock set|pin TIME | clock run", "set the device clock (UTC), freeze it, or let it run"},
       ParseClock},
      {{"zone", "zone NAME", "make a tz database zone or a TZ rule the current zone"}, ParseZone},
      {{"wait", "wait poll|DURATION", "let a polling period or a duration of device time pass"}, ParseWait},
      {{"fail", "fail CALL [COUNT]", "make the next COUNT calls of a platform call fail"}, ParseFail},
      {{"profile", "profile load|save FILE",
        "reset the device to a device profile, or write the device's state as one"},
       ParseProfile},
      {{"reset", "reset", "return the device to its profile and set aside the library's reports of it"},
       ParseReset},
      {{"time-scale", "time-scale FACTOR", "run the device's time FACTOR times faster than real time"},
       ParseTimeScale},
      {{"expect",
        "expect KIND FIELDS... | expect trace KIND [TEXT] | expect none within DURATION | "
        "expect FUNCTION [ARG] = ANSWER | expect file|folder|missing PATH | expect files FOLDER = NAME... | "
        "expect process PATH running|ended [CODE]",
        "wait for a listener call or a trace event, or check a query's answer, a path or a process"},
       ParseExpect},
  };
  return verbs;
}

}  // namespace

const std::vector<VerbHelp>& Verbs() {
  static const std::vector<VerbHelp> verbs = [] {
    std::vector<VerbHelp> help;
    for (const Verb& verb : VerbTable()) help.push_back(verb.help);
    return help;
  }();
  return verbs;
}

std::variant<std::optional<Statement>, ParseError> ParseLine(std::string_view line, int lineNumber,
                                                             std::string_view folder) {
  try {
    std::vector<Word> words = SplitWords(line);
    if (words.empty()) return std::optional<Statement>();
    Cursor cursor(std::move(words), static_cast<int>(line.size()) + 1, std::string(folder));
    for (const Verb& verb : VerbTable()) {
      if (cursor.TakeIf(verb.help.verb)) {
        Statement statement = verb.parse(cursor);
        cursor.End();
        statement.line = lineNumber;
        return std::optional<Statement>(std::move(statement));
      }
    }
    std::string verbs;
    std::vector<std::string> candidates;
    for (const Verb& verb : VerbTable()) {
      verbs += (verbs.empty() ? "" : ", ") + std::string(verb.help.verb);
      candidates.emplace_back(verb.help.verb);
    }
    cursor.Fail("a verb (" + verbs + ")", candidates);
  } catch (const SyntaxError& error) {
    return ParseError{lineNumber, error.column, error.what(), std::string(line)};
  }
}

std::variant<Script, std::vector<ParseError>> ParseScript(std::string_view text, std::string name,
                                                          std::string_view folder) {
  Script script{std::move(name), {}};
  std::vector<ParseError> errors;
  int lineNumber = 0;
  // Each line stands alone, so a line at fault does not hide the faults of the lines after it.
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    auto parsed = ParseLine(line, ++lineNumber, folder);
    if (auto* error = std::get_if<ParseError>(&parsed)) {
      errors.push_back(std::move(*error));
    } else if (auto& statement = std::get<std::optional<Statement>>(parsed)) {
      script.statements.push_back(std::move(*statement));
    }
  }
  if (!errors.empty()) return errors;
  return script;
}

}  // namespace scenario
