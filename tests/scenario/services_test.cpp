// The device services of the scenario language: together they describe every listener kind of the
// library, and their verbs, queries and expect forms are listed in the places they give them, whatever
// order the services registered in.
#include <gtest/gtest.h>

#include <pndhal/names.h>

#include <algorithm>

#include "answers.h"
#include "scenario.h"
#include "service.h"

namespace {

TEST(ScenarioServices, EveryListenerKindHasAServiceThatReadsAndWordsIt) {
  // The observer connects a listener of an interface only when a service words its calls.
#define EXPECT_WORDED(Interface, word)                            \
  EXPECT_NE(scenario::WordingOf<Interface>(), nullptr) << (word); \
  EXPECT_NE(scenario::FindListenerKind(word)->pattern, nullptr) << (word);
  PNDHAL_LISTENERS(EXPECT_WORDED)
  PNDHAL_PHONE_LISTENERS(EXPECT_WORDED)
#undef EXPECT_WORDED
  // Each kind belongs to one service only.
  std::vector<std::string_view> owned;
  for (const scenario::ServiceDescription& service : scenario::Services()) {
    for (const scenario::ListenerDescription& listener : service.listeners) owned.push_back(listener.kind);
  }
  std::sort(owned.begin(), owned.end());
  EXPECT_EQ(std::adjacent_find(owned.begin(), owned.end()), owned.end());
  EXPECT_EQ(owned.size(), std::size(pndhal::kListenerKindNames));
}

TEST(ScenarioServices, QueriesAndExpectFormsAreListedInTheirPlaces) {
  std::vector<std::string_view> queries;
  for (const scenario::Query& query : scenario::Queries()) queries.push_back(query.name);
  EXPECT_EQ(queries, (std::vector<std::string_view>{
                         "GetVolume", "IsMuted", "GetBrightness", "PMGetPowerInfo", "GetScreenOrientation",
                         "SearchStorageCard", "GetDeviceID", "GetDeviceInfo", "GetBtMACAddr",
                         "GetLocalNavTime", "GetGMTNavTime", "IsFMTransmitterActive", "GetCallStatus",
                         "GetPhoneVolume", "IsPhoneMuted"}));

  // `expect` is the last verb, its help made of its own forms and the services' forms in their places.
  const scenario::VerbHelp& expect = scenario::Verbs().back();
  EXPECT_EQ(expect.verb, "expect");
  EXPECT_EQ(
      expect.usage,
      "expect KIND FIELDS... | expect trace KIND [TEXT] | expect none within DURATION | "
      "expect FUNCTION [ARG] = ANSWER | expect file|folder|missing PATH | expect files FOLDER = NAME... | "
      "expect process PATH running|ended [CODE]");
  EXPECT_EQ(expect.summary,
            "wait for a listener call or a trace event, or check a query's answer, a path or a process");
}

}  // namespace
