// The panel's parts that decide without a browser: the access rule every request passes, the token, the
// watch stream's lines as the page gets them, and the event hub that hands them to the pages.
#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <thread>

#include "access.h"
#include "device_link.h"
#include "event_hub.h"

namespace {

constexpr int kPort = 47311;
constexpr const char* kToken = "0123456789abcdef0123456789abcdef";

struct AccessCase {
  const char* name;
  panel::AccessRequest request;
  const char* refusal;  // a part of the reason; empty: the request passes
};

void PrintTo(const AccessCase& c, std::ostream* out) { *out << c.name; }

class AccessRule : public testing::TestWithParam<AccessCase> {};

TEST_P(AccessRule, DecidesOnHostOriginAndToken) {
  const AccessCase& c = GetParam();
  const std::string reason = panel::CheckAccess(c.request, kPort, kToken);
  if (std::string(c.refusal).empty()) {
    EXPECT_EQ(reason, "");
  } else {
    EXPECT_NE(reason.find(c.refusal), std::string::npos) << reason;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, AccessRule,
    testing::Values(
        AccessCase{"PageWithoutOrigin", {"127.0.0.1:47311", "", kToken}, ""},
        AccessCase{"Localhost", {"localhost:47311", "http://localhost:47311", kToken}, ""},
        AccessCase{"OwnOrigin", {"127.0.0.1:47311", "http://127.0.0.1:47311", kToken}, ""},
        AccessCase{"NoToken", {"127.0.0.1:47311", "", ""}, "token"},
        AccessCase{"WrongToken", {"127.0.0.1:47311", "", "0123456789abcdef0123456789abcdee"}, "token"},
        AccessCase{"TokenPrefix", {"127.0.0.1:47311", "", "0123456789abcdef"}, "token"},
        AccessCase{"ForeignOrigin", {"127.0.0.1:47311", "http://evil.example", kToken}, "origin"},
        AccessCase{"OtherLoopbackName", {"localhost:47311", "http://127.0.0.1:47311", kToken}, "origin"},
        AccessCase{"OtherPortOrigin", {"127.0.0.1:47311", "http://127.0.0.1:8080", kToken}, "origin"},
        AccessCase{"RebindingHost", {"attacker.example:47311", "", kToken}, "Host"},
        AccessCase{"HostWithoutPort", {"127.0.0.1", "", kToken}, "Host"},
        AccessCase{"HostOtherPort", {"127.0.0.1:47312", "", kToken}, "Host"},
        AccessCase{"NoHost", {"", "", kToken}, "Host"}),
    [](const testing::TestParamInfo<AccessCase>& param) { return param.param.name; });

TEST(PanelToken, Is128RandomBitsInHex) {
  std::string error;
  std::set<std::string> tokens;
  for (int i = 0; i < 4; ++i) {
    const auto token = panel::NewToken(&error);
    ASSERT_TRUE(token) << error;
    EXPECT_EQ(token->size(), 32U);
    EXPECT_EQ(token->find_first_not_of("0123456789abcdef"), std::string::npos) << *token;
    tokens.insert(*token);
  }
  EXPECT_EQ(tokens.size(), 4U);
}

struct EventCase {
  const char* line;
  panel::Json expected;
};

TEST(PanelEvents, StreamObjectsBecomeTheirParts) {
  const EventCase cases[] = {
      {R"({"type":"listener","kind":"key","call":"key F6","fields":{"key":"F6"}})",
       {{"time", 1.5}, {"source", "listener"}, {"kind", "key"}, {"text", "F6"}}},
      {R"({"type":"platform","kind":"power.status","detail":"ac=0 flag=0x04 battery=5","tick":12})",
       {{"time", 1.5},
        {"source", "platform"},
        {"kind", "power.status"},
        {"text", "ac=0 flag=0x04 battery=5"}}},
      {R"({"type":"listener","kind":"suspend","call":"suspend"})",
       {{"time", 1.5}, {"source", "listener"}, {"kind", "suspend"}, {"text", ""}}},
      {R"({"type":"dropped","record":"events","count":3})",
       {{"time", 1.5}, {"source", "console"}, {"kind", ""}, {"text", "... 3 events dropped"}}},
      {R"({"type":7,"kind":["<b>"],"call":{}})",
       {{"time", 1.5},
        {"source", "console"},
        {"kind", ""},
        {"text", R"({"type":7,"kind":["<b>"],"call":{}})"}}},
      {"<b>not JSON</b>", {{"time", 1.5}, {"source", "console"}, {"kind", ""}, {"text", "<b>not JSON</b>"}}},
  };
  for (const EventCase& c : cases) EXPECT_EQ(panel::EventJson(c.line, 1.5), c.expected) << c.line;
}

TEST(PanelEventHub, KeepsTheLatestAndNumbersThem) {
  panel::EventHub hub;
  for (std::size_t i = 0; i < panel::EventHub::kKept + 20; ++i) hub.Publish("device", std::to_string(i));
  const auto all = hub.Next(0, std::chrono::milliseconds(0));
  ASSERT_EQ(all.size(), panel::EventHub::kKept);
  EXPECT_EQ(all.front().id, 21U);
  EXPECT_EQ(all.front().data, "20");
  EXPECT_EQ(all.back().id, panel::EventHub::kKept + 20);
  const auto missed = hub.Next(all.back().id - 2, std::chrono::milliseconds(0));
  ASSERT_EQ(missed.size(), 2U);
  EXPECT_EQ(missed.front().id, all.back().id - 1);
}

TEST(PanelEventHub, WakesAWaitingStreamAndEndsItWhenClosed) {
  panel::EventHub hub;
  std::vector<panel::HubEvent> got;
  std::thread stream([&] { got = hub.Next(0, std::chrono::minutes(1)); });
  hub.Publish("device", "{}");
  stream.join();
  ASSERT_EQ(got.size(), 1U);
  EXPECT_EQ(got.front().type, "device");

  std::thread closed([&] { got = hub.Next(1, std::chrono::minutes(1)); });
  hub.Close();
  closed.join();
  EXPECT_TRUE(got.empty());
  EXPECT_TRUE(hub.Closed());
}

}  // namespace
