// The phone link end to end: the HAL's CBTHAL drives the simulated telephone
// program, which answers through the status window as the real one would.
#include <chrono>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "ce/kernel.h"
#include "hal_fixture.h"

namespace {

// Records every value a phone-link listener is told.
template <class Interface>
class Recorder : public Interface {
 public:
  void Notify(int const* value) override {
    std::lock_guard lock(mutex_);
    values_.push_back(*value);
  }
  std::vector<int> Values() {
    std::lock_guard lock(mutex_);
    return values_;
  }

 private:
  std::mutex mutex_;
  std::vector<int> values_;
};

using CallRecorder = Recorder<IBTCallStatusListener>;
using ForegroundRecorder = Recorder<IBTForegroundListener>;

std::vector<std::string> LogLines() {
  std::vector<std::string> lines;
  for (const auto& message : pndsim::TelephoneLog()) lines.push_back(message.Text());
  return lines;
}

constexpr const char* kRegisterFirst = "WM_COPYDATA 11024 400 \"FirstBTStatusMsgWnd\" \"\"";
constexpr const char* kRegisterSecond = "WM_COPYDATA 11024 400 \"SecondBTStatusMsgWnd\" \"\"";
constexpr const char* kUnregisterFirst = "WM_COPYDATA 11025 400 \"FirstBTStatusMsgWnd\" \"\"";
constexpr const char* kUnregisterSecond = "WM_COPYDATA 11025 400 \"SecondBTStatusMsgWnd\" \"\"";

// What the program receives when the link opens: the register record, the
// three queries and the greeting.
std::vector<std::string> LaunchLines() {
  return {kRegisterFirst, "WM_ORXBT_INMSG_GETBTPOWER 0 0", "WM_ORXBT_INMSG_GETCALLSTATUS 0 0",
          "WM_ORXBT_INMSG_VOLUMEREQUEST 0 0", "WM_ORXBT_INMSG_MENUANIMATION 0 0"};
}

bool WaitUntil(bool (*condition)()) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    Sleep(1);
  }
  return true;
}

bool TelephoneRunning() { return pndsim::Telephone().running; }
bool TelephoneGone() { return !pndsim::Telephone().running && pndsim::WaitForProcessesToEnd(0); }

class PhoneLink : public pndtest::HalTest {
 protected:
  void SetUp() override {
    link_ = GetBTHAL();
    ASSERT_NE(link_, nullptr);
    calls_ = &Make<CallRecorder>();
    foreground_ = &Make<ForegroundRecorder>();
    ASSERT_TRUE(link_->ConnectCallStatusListener(calls_));
    ASSERT_TRUE(link_->ConnectForegroundListener(foreground_));
  }

  // A new HAL on a new device, with new listeners.
  void Fresh() {
    FreeDLL();
    pndsim::Reset();
    SetUp();
  }

  // Launches the link and waits until the program has answered its queries.
  void Launch() {
    ASSERT_TRUE(link_->LaunchPhone(nullptr));
    ASSERT_TRUE(pndsim::SyncTelephone());
  }

  int CallStatus() {
    int status = -7;
    link_->GetCallStatus(status);
    return status;
  }

  CBTHAL* link_ = nullptr;
  CallRecorder* calls_ = nullptr;
  ForegroundRecorder* foreground_ = nullptr;
};

TEST_F(PhoneLink, LaunchStartsTheProgramBesideTheApplicationsFolderHidden) {
  struct Case {
    const char* application;
    const char* program;
  } const cases[] = {
      {"\\Storage Card\\Apps\\Main.exe", "\\Storage Card\\TelBridge\\TelBridge.exe"},
      {"\\Apps\\Main.exe", "\\TelBridge\\TelBridge.exe"},
      {"\\Main.exe", "\\TelBridge\\TelBridge.exe"},
      {"/sd/apps/main.exe", "/sd/TelBridge\\TelBridge.exe"},
  };
  pndsim::SetTimeScale(20);  // these programs show no window: the 200-millisecond wait takes 10
  for (const Case& c : cases) {
    SCOPED_TRACE(c.application);
    ASSERT_TRUE(pndsim::SetApplicationPath(c.application));
    ASSERT_TRUE(pndsim::InstallProgram(c.program, [](const std::string&) { return 0u; }));
    const std::size_t before = pndsim::Processes().size();
    EXPECT_TRUE(link_->LaunchPhone(nullptr)) << "a window that does not appear is no error";
    const auto processes = pndsim::Processes();
    ASSERT_EQ(processes.size(), before + 1);
    EXPECT_EQ(processes.back().path, c.program);
    EXPECT_EQ(processes.back().commandLine, "-h");
    link_->ClosePhone();
  }
}

TEST_F(PhoneLink, LaunchOrAttachRegistersTheFirstStatusWindowAndLearnsTheState) {
  for (bool alreadyRunning : {false, true}) {
    SCOPED_TRACE(alreadyRunning ? "attaching to a running program" : "starting the program");
    if (alreadyRunning) {
      ASSERT_TRUE(pndsim::StartTelephone());
      pndsim::ClearTelephoneLog();
    }
    const std::size_t before = pndsim::Processes().size();
    Launch();
    EXPECT_EQ(pndsim::Processes().size(), alreadyRunning ? before : before + 1);
    EXPECT_EQ(LogLines(), LaunchLines());
    const pndsim::TelephoneState telephone = pndsim::Telephone();
    EXPECT_EQ(telephone.statusWindows, std::vector<std::string>{"FirstBTStatusMsgWnd"});
    EXPECT_EQ(telephone.commandLine, alreadyRunning ? "" : "-h");
    EXPECT_EQ(telephone.windowVisible, alreadyRunning);
    EXPECT_EQ(CallStatus(), 1) << "power on, no call";
    EXPECT_EQ(calls_->Values(), std::vector<int>{1}) << "told once, not again for the same value";
    unsigned int percent = 0;
    EXPECT_TRUE(link_->GetPhoneVolume(percent));
    EXPECT_EQ(percent, 50u);

    EXPECT_TRUE(link_->ClosePhone());
    ASSERT_TRUE(WaitUntil(TelephoneGone));
    EXPECT_EQ(LogLines().back(), "WM_CLOSE 0 0");
    EXPECT_EQ(LogLines().end()[-2], kUnregisterFirst);
    EXPECT_EQ(CallStatus(), 1) << "the last state is kept";
    Fresh();
  }
}

TEST_F(PhoneLink, ASecondApplicationGetsTheSecondStatusWindowAndGivesItUp) {
  ASSERT_TRUE(pndsim::StartTelephone());
  ASSERT_TRUE(pndsim::OpenOtherStatusWindow("FirstBTStatusMsgWnd"));
  pndsim::ClearTelephoneLog();
  Launch();
  EXPECT_EQ(LogLines().front(), kRegisterSecond);
  EXPECT_EQ(pndsim::Telephone().statusWindows,
            (std::vector<std::string>{"FirstBTStatusMsgWnd", "SecondBTStatusMsgWnd"}));

  const int otherBefore = pndsim::OtherStatusWindowReports();
  ASSERT_TRUE(pndsim::SetTelephoneCallState(pndsim::TelephoneCall::Incoming));
  EXPECT_EQ(calls_->Values(), (std::vector<int>{1, 2}));
  EXPECT_EQ(pndsim::OtherStatusWindowReports(), otherBefore + 1) << "the program reports to both";

  EXPECT_TRUE(link_->ClosePhone());
  ASSERT_TRUE(WaitUntil(TelephoneGone));
  const auto lines = LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.end()[-2], kUnregisterSecond);
  EXPECT_EQ(lines.back(), "WM_CLOSE 0 0");
}

TEST_F(PhoneLink, CallStateAndPowerReportsMapToTheCallStatusAndNotifyOnChange) {
  enum Action { Call, Power, HangUp };
  struct Step {
    Action action;
    int value;
    int status;
    std::vector<int> told;  // notifications this step adds
  } const steps[] = {
      {Call, pndsim::TelephoneCall::Outgoing, 3, {3}},
      {Call, pndsim::TelephoneCall::Outgoing, 3, {}},
      {Call, 7, 3, {}},
      {HangUp, 0, 1, {1}},
      {Power, 0, 0, {0}},
      {Call, pndsim::TelephoneCall::Active, 0, {}},
      {Power, 5, 0, {}},
      {Call, pndsim::TelephoneCall::Incoming, 0, {}},
      {Power, 1, 1, {1}},
      {Call, pndsim::TelephoneCall::Active, 4, {4}},
      {Call, pndsim::TelephoneCall::Held, 5, {5}},
      {Power, 1, 5, {}},
      {Call, pndsim::TelephoneCall::Incoming, 2, {2}},
  };
  Launch();
  std::vector<int> told = calls_->Values();
  ASSERT_EQ(told, std::vector<int>{1});
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    const Step& step = steps[i];
    SCOPED_TRACE("step " + std::to_string(i));
    switch (step.action) {
      case Call:
        ASSERT_TRUE(pndsim::SetTelephoneCallState(step.value));
        break;
      case Power:
        ASSERT_TRUE(pndsim::SetTelephoneBluetoothPower(step.value));
        break;
      case HangUp:
        ASSERT_TRUE(link_->HangUp());
        ASSERT_TRUE(pndsim::SyncTelephone());
        break;
    }
    told.insert(told.end(), step.told.begin(), step.told.end());
    EXPECT_EQ(CallStatus(), step.status);
    EXPECT_EQ(calls_->Values(), told);
  }
}

TEST_F(PhoneLink, PowerRequestsReachTheProgramAndComeBackAsReports) {
  Launch();
  EXPECT_TRUE(link_->SetBTPowerOff());
  ASSERT_TRUE(pndsim::SyncTelephone());
  EXPECT_EQ(pndsim::Telephone().bluetoothPower, 0);
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_TRUE(link_->SetBTPowerOn());
  ASSERT_TRUE(pndsim::SyncTelephone());
  EXPECT_EQ(CallStatus(), 1);
  EXPECT_EQ(calls_->Values(), (std::vector<int>{1, 0, 1}));
}

TEST_F(PhoneLink, ForegroundReportsNotifyEveryTimeAndUnknownValuesNobody) {
  Launch();
  ASSERT_TRUE(pndsim::SetTelephoneForeground(pndsim::TelephoneForeground::Telephone));
  ASSERT_TRUE(pndsim::SetTelephoneForeground(pndsim::TelephoneForeground::Telephone));
  ASSERT_TRUE(pndsim::SetTelephoneForeground(3));
  ASSERT_TRUE(pndsim::SetTelephoneForeground(pndsim::TelephoneForeground::Application));
  EXPECT_EQ(foreground_->Values(), (std::vector<int>{1, 1, 0}));
}

TEST_F(PhoneLink, VolumeMovesOneStepPerCallAndFollowsTheProgramsReports) {
  struct Case {
    unsigned int percent;
    const char* request;  // posted, or null for none
    unsigned int after;   // percent once the program answered
  } const cases[] = {
      {55, nullptr, 50},
      {100, "WM_ORXBT_INMSG_VOLUMEREQUEST 1 1", 60},
      {0, "WM_ORXBT_INMSG_VOLUMEREQUEST 1 0", 50},
      {49, "WM_ORXBT_INMSG_VOLUMEREQUEST 1 0", 40},
  };
  Launch();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.percent);
    pndsim::ClearTelephoneLog();
    EXPECT_TRUE(link_->SetPhoneVolume(c.percent));
    ASSERT_TRUE(pndsim::SyncTelephone());
    const auto lines = LogLines();
    if (c.request == nullptr) {
      EXPECT_TRUE(lines.empty());
    } else {
      EXPECT_EQ(lines, std::vector<std::string>{c.request});
    }
    unsigned int percent = 0;
    EXPECT_TRUE(link_->GetPhoneVolume(percent));
    EXPECT_EQ(percent, c.after);
  }

  struct Report {
    unsigned step;
    bool valid;
    unsigned int percent;
  } const reports[] = {{7, true, 70}, {10, true, 100}, {11, false, 0}, {429496730, false, 0}, {0, true, 0}};
  for (const Report& report : reports) {
    SCOPED_TRACE(report.step);
    ASSERT_TRUE(pndsim::SetTelephoneVolumeStep(report.step));
    unsigned int percent = 12345;
    bool muted = false;
    EXPECT_EQ(link_->GetPhoneVolume(percent), report.valid);
    EXPECT_EQ(link_->IsPhoneMuted(muted), report.valid);
    if (report.valid) {
      EXPECT_EQ(percent, report.percent);
      EXPECT_EQ(muted, report.percent == 0);
    } else {
      EXPECT_EQ(percent, 12345u) << "nothing written on failure";
    }
  }
}

TEST_F(PhoneLink, MuteSilencesThePhoneAndUnmuteReturnsToTheRememberedStep) {
  Launch();
  pndsim::ClearTelephoneLog();
  EXPECT_TRUE(link_->MutePhone(true));
  ASSERT_TRUE(pndsim::SyncTelephone());
  EXPECT_EQ(LogLines(), std::vector<std::string>(5, "WM_ORXBT_INMSG_VOLUMEREQUEST 1 0"));
  EXPECT_EQ(pndsim::Telephone().volumeStep, 0u);
  bool muted = false;
  EXPECT_TRUE(link_->IsPhoneMuted(muted));
  EXPECT_TRUE(muted);
  EXPECT_FALSE(link_->MutePhone(true)) << "already muted";

  EXPECT_TRUE(link_->MutePhone(false));
  ASSERT_TRUE(pndsim::SyncTelephone());
  EXPECT_EQ(pndsim::Telephone().volumeStep, 5u);
  EXPECT_FALSE(link_->MutePhone(false)) << "not muted";

  ASSERT_TRUE(pndsim::SetTelephoneVolumeStep(0));  // muted on the phone itself
  ASSERT_TRUE(pndsim::SetTelephoneVolumeStep(2));
  EXPECT_TRUE(link_->MutePhone(true));
  ASSERT_TRUE(pndsim::SyncTelephone());
  EXPECT_TRUE(link_->MutePhone(false));
  ASSERT_TRUE(pndsim::SyncTelephone());
  EXPECT_EQ(pndsim::Telephone().volumeStep, 2u);
}

TEST_F(PhoneLink, OperationsNeedTheLinkOrTheProgramsWindow) {
  // No program at all: nothing to talk to.
  EXPECT_FALSE(link_->HangUp());
  EXPECT_FALSE(link_->SetBTPowerOn());
  EXPECT_FALSE(link_->SetPhoneVolume(100));
  EXPECT_FALSE(link_->FactoryResetPhone());
  EXPECT_FALSE(link_->ClosePhone());

  // The program runs but the link was never launched.
  ASSERT_TRUE(pndsim::StartTelephone());
  pndsim::ClearTelephoneLog();
  EXPECT_FALSE(link_->ShowPhoneWindow());
  EXPECT_FALSE(link_->HidePhoneWindow());
  EXPECT_FALSE(link_->SendPhoneText(L"hello"));
  EXPECT_FALSE(link_->ChangePhoneLanguage(L"0407"));
  ASSERT_TRUE(pndsim::SyncTelephone());
  EXPECT_TRUE(LogLines().empty());
  EXPECT_TRUE(link_->HangUp());
  EXPECT_TRUE(link_->SetBTPowerOff());
  ASSERT_TRUE(pndsim::SyncTelephone());
  EXPECT_EQ(LogLines(),
            (std::vector<std::string>{"WM_ORXBT_INMSG_HANGUP 0 0", "WM_ORXBT_INMSG_BTPOWER 0 0"}));
}

TEST_F(PhoneLink, WindowTextAndLanguageRequests) {
  Launch();
  EXPECT_TRUE(link_->ShowPhoneWindow());
  ASSERT_TRUE(pndsim::SyncTelephone());
  EXPECT_TRUE(pndsim::Telephone().windowVisible);
  EXPECT_TRUE(link_->HidePhoneWindow());
  ASSERT_TRUE(pndsim::SyncTelephone());
  EXPECT_FALSE(pndsim::Telephone().windowVisible);

  struct Text {
    std::wstring text;
    std::size_t received;  // characters the program gets (a pair that does not fit is left out whole)
  } const texts[] = {{L"Call +49 89 1234", 16},
                     {std::wstring(259, L'a'), 259},
                     {std::wstring(300, L'b'), 259},
                     {std::wstring(258, L'c') + L"\U0001F600", 258}};
  for (const Text& t : texts) {
    SCOPED_TRACE(t.text.size());
    EXPECT_TRUE(link_->SendPhoneText(t.text.c_str()));
    EXPECT_EQ(pndsim::Telephone().lastText, pndsim::ToUtf8(t.text.substr(0, t.received).c_str()));
  }
  EXPECT_FALSE(link_->SendPhoneText(nullptr));

  struct Language {
    const wchar_t* text;
    bool sent;
    std::uint32_t language;
  } const languages[] = {{L"0407", true, 0x0407}, {L" 0x41d", true, 0x041D}, {L"809 (en-GB)", true, 0x0809},
                         {L"zz", false, 0},       {L"", false, 0},           {L"1FFFFFFFF", false, 0},
                         {L"-1", false, 0},       {nullptr, false, 0}};
  for (const Language& l : languages) {
    SCOPED_TRACE(pndsim::ToUtf8(l.text));
    pndsim::ClearTelephoneLog();
    EXPECT_EQ(link_->ChangePhoneLanguage(l.text), l.sent);
    ASSERT_TRUE(pndsim::SyncTelephone());
    EXPECT_EQ(LogLines().size(), l.sent ? 1u : 0u);
    if (l.sent) {
      EXPECT_EQ(pndsim::Telephone().language, l.language);
    }
  }
}

TEST_F(PhoneLink, FactoryResetPausesSixSecondsOfDeviceTime) {
  Launch();
  pndsim::SetTimeScale(200);
  const DWORD ticks = GetTickCount();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(link_->FactoryResetPhone());
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(GetTickCount() - ticks, 6000u);
  EXPECT_LT(elapsed, std::chrono::seconds(3));
  ASSERT_TRUE(pndsim::SyncTelephone());
  EXPECT_EQ(pndsim::Telephone().factoryResets, 1);
}

TEST_F(PhoneLink, CloseThenRelaunchStartsAFreshProgramAndReportsReachTheListenersAgain) {
  Launch();
  EXPECT_TRUE(link_->ClosePhone());
  ASSERT_TRUE(WaitUntil(TelephoneGone));
  EXPECT_FALSE(link_->ClosePhone()) << "no program window any more";
  pndsim::ClearTelephoneLog();
  Launch();
  EXPECT_EQ(pndsim::Processes().size(), 2u);
  EXPECT_EQ(LogLines(), LaunchLines());
  ASSERT_TRUE(pndsim::SetTelephoneCallState(pndsim::TelephoneCall::Active));
  EXPECT_EQ(calls_->Values(), (std::vector<int>{1, 4}));
}

TEST_F(PhoneLink, LaunchingAgainWhileConnectedKeepsOneChannel) {
  Launch();
  pndsim::ClearTelephoneLog();
  Launch();
  EXPECT_EQ(pndsim::Processes().size(), 1u);
  EXPECT_EQ(LogLines(), LaunchLines()) << "registered again under its own title";
  ASSERT_TRUE(pndsim::SetTelephoneForeground(pndsim::TelephoneForeground::Telephone));
  EXPECT_EQ(foreground_->Values(), std::vector<int>{1}) << "one set of handlers";
  EXPECT_TRUE(link_->ClosePhone());
  ASSERT_TRUE(WaitUntil(TelephoneGone));
  EXPECT_EQ(LogLines().end()[-2], kUnregisterFirst);
}

TEST_F(PhoneLink, AWindowThatAppearsLateIsAttachedToByTheNextLaunch) {
  pndsim::SetTimeScale(20);  // the window comes after 200 real milliseconds, the wait ends after 10
  pndsim::SetTelephoneWindowDelay(4000);
  EXPECT_TRUE(link_->LaunchPhone(nullptr));
  EXPECT_TRUE(LogLines().empty()) << "nobody to register with yet";
  ASSERT_TRUE(WaitUntil(TelephoneRunning));
  Launch();
  EXPECT_EQ(LogLines(), LaunchLines());
  EXPECT_EQ(pndsim::Processes().size(), 1u);
}

TEST_F(PhoneLink, AProgramThatCannotStartLeavesTheLinkUnconnected) {
  const std::wstring longPath = L"\\" + std::wstring(259, L'x');
  const std::string longApplication = "\\" + std::string(240, 'y') + "\\Apps\\Main.exe";
  struct Case {
    const char* name;
    void (*arrange)(const std::string&);
    const wchar_t* path;
  } const cases[] = {
      {"not installed", [](const std::string&) { pndsim::SetTelephoneInstalled(false); }, nullptr},
      {"start failed", [](const std::string&) { pndsim::FailNext(pndsim::Call::CreateProcess); }, nullptr},
      {"path of 260 characters", [](const std::string&) {}, longPath.c_str()},
      {"program name beyond 259 characters",
       [](const std::string& application) { pndsim::SetApplicationPath(application); }, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange(longApplication);
    EXPECT_FALSE(link_->LaunchPhone(c.path));
    EXPECT_FALSE(link_->ShowPhoneWindow()) << "not connected";
    Fresh();
  }
  EXPECT_TRUE(pndsim::Processes().empty());

  const std::string longest = "\\" + std::string(258, 'z');
  ASSERT_TRUE(pndsim::InstallProgram(longest, [](const std::string&) { return 0u; }));
  const std::wstring wide(longest.begin(), longest.end());
  EXPECT_TRUE(link_->LaunchPhone(wide.c_str()));
  ASSERT_EQ(pndsim::Processes().size(), 1u);
  EXPECT_EQ(pndsim::Processes()[0].path, longest);
}

TEST_F(PhoneLink, FreeingTheHalUnregistersWithoutClosingTheProgram) {
  Launch();
  pndsim::ClearTelephoneLog();
  FreeDLL();
  EXPECT_EQ(LogLines(), std::vector<std::string>{kUnregisterFirst});
  EXPECT_TRUE(pndsim::Telephone().running);
  EXPECT_TRUE(pndsim::Telephone().statusWindows.empty());
}

}  // namespace
