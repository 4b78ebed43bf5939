// The console end to end: a device program runs as a child process with the console open, and the tests
// drive it through raw sockets and the client library; the test process itself opens the console to see
// what it listens on.
#include "console_harness.h"

namespace consoletest {
namespace {

TEST(Console, AuthenticatesWithTheTokenFromTheHomeFolder) {
  struct Case {
    const char* name;
    std::string token;
    std::vector<std::pair<std::string, Lines>> exchange;
    bool closedAtEnd;
  };
  const std::vector<Case> cases = {
      {"missing",
       "s3cret\n",
       {{"echo hi",
         {"KO: authentication required: send \"auth TOKEN\" with the token from ~/.pndsim_console_token"}},
        {"auth s3cret", {"OK"}},
        {"echo hi", {"| hi", "OK"}},
        {"stats", {"| sessions 1", "| destroyed 0", "| executed 2", "OK"}}},
       false},
      {"quit before", "s3cret\n", {{"quit", {"OK"}}}, true},
      {"wrong", "s3cret\n", {{"auth s3cre", {"KO: wrong token"}}}, true},
      {"wrong length", "s3cret\n", {{"auth s3cret2", {"KO: wrong token"}}}, true},
      {"right", "s3cret", {{"auth  s3cret ", {"OK"}}, {"echo hi", {"| hi", "OK"}}, {"quit", {"OK"}}}, true},
      {"empty file", "", {{"echo hi", {"| hi", "OK"}}, {"auth anything", {"OK"}}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Folders folders;
    folders.WriteToken(c.token);
    Device device({"--start", "auto"});
    ASSERT_GT(device.Port(), 0);
    Raw raw(device.Port());
    const Lines greeting = raw.Greeting();
    ASSERT_EQ(greeting.size(), 2u);
    EXPECT_EQ(greeting[0], "# pndsim console 1: console_device pid " + std::to_string(device.Pid()));
    EXPECT_EQ(greeting[1].rfind(c.token.empty() ? "# ready" : "# auth required", 0), 0u) << greeting[1];
    for (const auto& [line, reply] : c.exchange) EXPECT_EQ(raw.Command(line), reply) << line;
    if (c.closedAtEnd) {
      EXPECT_TRUE(raw.ClosedByPeer());
    }
  }

  // No file: the first use makes one, private to the user, which the client library then presents.
  Folders folders;
  Device device({"--start", "auto"});
  ASSERT_GT(device.Port(), 0);
  struct stat info {};
  ASSERT_EQ(stat(folders.TokenFile().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  std::string token;
  std::ifstream(folders.TokenFile()) >> token;
  EXPECT_EQ(token.size(), 32u);
  EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
  std::string error;
  const auto connection = pndconsole::Connection::Open(device.Port(), &error);
  ASSERT_NE(connection, nullptr) << error;
  const auto reply = connection->Execute("echo through the library", {}, &error);
  ASSERT_TRUE(reply) << error;
  EXPECT_TRUE(reply->ok);
  EXPECT_EQ(reply->output, Lines{"through the library"});

  // A token others can read refuses to open the console.
  Folders open;
  open.WriteToken("s3cret\n");
  fs::permissions(open.TokenFile(), fs::perms::group_read, fs::perm_options::add);
  Device refused({"--start", "auto"});
  EXPECT_EQ(refused.Port(), 0);
}

// A console of the test's own on a loopback port, for the client library: it asks for a token and accepts
// whichever it is sent.
class TokenAskingConsole {
 public:
  TokenAskingConsole() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(fd_, 1) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    server_ = std::thread([this] {
      const int client = accept(fd_, nullptr, nullptr);
      const std::string greeting = "# pndsim console 1: fake pid 1\n# auth required: send \"auth TOKEN\"\n";
      send(client, greeting.data(), greeting.size(), MSG_NOSIGNAL);
      std::string buffered;
      if (ReadLineFrom(client, buffered)) send(client, "OK\n", 3, MSG_NOSIGNAL);
      close(client);
    });
  }
  ~TokenAskingConsole() {
    if (server_.joinable()) server_.join();
    close(fd_);
  }
  TokenAskingConsole(const TokenAskingConsole&) = delete;
  TokenAskingConsole& operator=(const TokenAskingConsole&) = delete;
  int Port() const { return port_; }

 private:
  int fd_;
  int port_ = 0;
  std::thread server_;
};

TEST(Console, ReadsTheTokenOnlyFromARegularFileWithoutWaitingOrFollowingALink) {
  struct Case {
    const char* name;
    std::function<void(const Folders&)> place;  // puts something in the token file's place
    std::string consoleReason;                  // with PATH for the token file's path
    std::string clientReason;                   // the same
  };
  const Case cases[] = {
      {"fifo", [](const Folders& folders) { ASSERT_EQ(mkfifo(folders.TokenFile().c_str(), 0600), 0); },
       "the token file PATH is not a small regular file", "the token file PATH is not a small regular file"},
      {"link",
       [](const Folders& folders) {
         const fs::path real = fs::path(folders.Home()) / "real-token";
         std::ofstream(real) << "s3cret\n";
         fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
         fs::create_symlink(real, folders.TokenFile());
       },
       "cannot read the token file PATH: Too many levels of symbolic links",
       "cannot read the token file PATH: Too many levels of symbolic links"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Folders folders;
    c.place(folders);
    const std::string path = folders.TokenFile().string();
    // Opened by the environment while the library loads, and through the control API.
    Device fromEnvironment({}, "auto");
    EXPECT_EQ(fromEnvironment.Port(), 0);
    Device started({"--start", "auto"});
    EXPECT_EQ(started.Port(), 0);
    std::string consoleReason = c.consoleReason;
    consoleReason.replace(consoleReason.find("PATH"), 4, path);
    EXPECT_EQ(started.Error(), consoleReason);

    TokenAskingConsole console;
    ASSERT_GT(console.Port(), 0);
    auto opened = std::async(std::launch::async, [&] {
      std::string error;
      const bool connected = pndconsole::Connection::Open(console.Port(), &error) != nullptr;
      return std::make_pair(connected, error);
    });
    if (opened.wait_for(kBound) == std::future_status::timeout) {
      // Lets a client stuck on the FIFO go, so that the test ends.
      const int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      [[maybe_unused]] const ssize_t wrote = write(writer, "x\n", 2);
      close(writer);
      ADD_FAILURE() << "the client waited on the token file";
    }
    const auto [connected, error] = opened.get();
    EXPECT_FALSE(connected);
    std::string expected = c.clientReason;
    expected.replace(expected.find("PATH"), 4, path);
    EXPECT_EQ(error, expected);
  }
}

TEST(Console, FramesLinesAndRepliesWithinItsLimits) {
  Folders folders;
  folders.WriteToken("");
  Device device({"--start", "auto"});
  Raw raw(device.Port());
  raw.Greeting();
  const std::string longest = "echo " + std::string(4091, 'x');
  const std::vector<std::pair<std::string, Lines>> cases = {
      {"echo a  b\n", {"| a  b", "OK"}},
      {"echo crlf\r\n", {"| crlf", "OK"}},
      {"fail no such key\n", {"KO: no such key"}},
      {"lines 3\n", {"| line 0", "| line 1", "| line 2", "OK"}},
      {"\n", {"OK"}},
      {" \t \n", {"OK"}},
      {"bogus\n", {"KO: unknown command \"bogus\" at column 1"}},
      {"lines many\n", {"KO: command failed: stoi"}},
      {"ec\x01ho\n", {"KO: control character at column 3"}},
      {longest + "\n", {"| " + std::string(4091, 'x'), "OK"}},
      {longest + "\r\n", {"| " + std::string(4091, 'x'), "OK"}},
      {longest + "y\n", {"KO: line too long (limit 4096 bytes)"}},
      {std::string(100000, 'z') + "\n", {"KO: line too long (limit 4096 bytes)"}},
      {"echo still here\n", {"| still here", "OK"}},
  };
  for (const auto& [bytes, reply] : cases) {
    raw.Send(bytes);
    EXPECT_EQ(raw.Reply(), reply) << bytes.substr(0, 40);
  }
  // Lines split across writes, and several in one write, are framed the same.
  raw.Send("ech");
  raw.Send("o one\necho two\n");
  EXPECT_EQ(raw.Reply(), (Lines{"| one", "OK"}));
  EXPECT_EQ(raw.Reply(), (Lines{"| two", "OK"}));
  EXPECT_EQ(raw.Command("quit"), Lines{"OK"});
  EXPECT_TRUE(raw.ClosedByPeer());

  // Over IPv6 as well; a client whose input ends still gets the replies to what it sent.
  Raw six(device.Port(), AF_INET6);
  ASSERT_TRUE(six.Connected());
  six.Greeting();
  six.Send("echo last words\n");
  six.EndInput();
  EXPECT_EQ(six.Reply(), (Lines{"| last words", "OK"}));
  EXPECT_TRUE(six.ClosedByPeer());
}

TEST(Console, ServesClientsIndependently) {
  Folders folders;
  folders.WriteToken("");
  Device device({"--start", "auto"});
  Raw first(device.Port());
  Raw second(device.Port());
  first.Greeting();
  second.Greeting();
  EXPECT_EQ(first.Command("echo one"), (Lines{"| one", "OK"}));
  EXPECT_EQ(second.Command("echo two"), (Lines{"| two", "OK"}));

  // The first client vanishes in the middle of a command; the second goes on, and once the command ends
  // the first one's session is destroyed and its slot freed.
  first.Send("hold\n");
  EXPECT_EQ(second.Command("waitheld"), Lines{"OK"});
  first.Close();
  EXPECT_EQ(second.Command("echo meanwhile"), (Lines{"| meanwhile", "OK"}));
  EXPECT_EQ(second.Command("release"), Lines{"OK"});
  EXPECT_EQ(second.Command("waitgone 1"), Lines{"OK"});
  EXPECT_EQ(second.Command("stats"), (Lines{"| sessions 2", "| destroyed 1", "| executed 8", "OK"}));

  // Eight clients at most: the ninth is told so and closed; a slot that frees up is taken again.
  std::vector<std::unique_ptr<Raw>> more;
  const auto deadline = std::chrono::steady_clock::now() + kBound;
  while (more.size() < 7 && std::chrono::steady_clock::now() < deadline) {
    auto client = std::make_unique<Raw>(device.Port());
    const Lines greeting = client->Greeting();
    if (greeting.size() == 2) more.push_back(std::move(client));
  }
  ASSERT_EQ(more.size(), 7u);
  Raw ninth(device.Port());
  EXPECT_EQ(ninth.Line(), "KO: too many clients (limit 8)");
  EXPECT_TRUE(ninth.ClosedByPeer());
  EXPECT_EQ(more.back()->Command("quit"), Lines{"OK"});
  EXPECT_TRUE(more.back()->ClosedByPeer());
  bool taken = false;
  while (!taken && std::chrono::steady_clock::now() < deadline + kBound) {
    Raw again(device.Port());
    taken = again.Greeting().size() == 2;
  }
  EXPECT_TRUE(taken);
  EXPECT_EQ(second.Command("echo unharmed"), (Lines{"| unharmed", "OK"}));
}

TEST(Console, ConnectionsWaitingToAuthenticateNeitherKeepClientsOutNorStay) {
  Folders folders;
  folders.WriteToken("s3cret\n");
  const auto signIn = [](Raw& client) {
    client.Greeting();
    return client.Command("auth s3cret");
  };
  const std::string crowded = "KO: too many connections waiting to authenticate (limit 4)";
  {
    // Eight connections that never authenticate: each beyond the fourth closes the longest-waiting one,
    // and a client with the token still gets in, as do eight in all.
    Device device({"--start", "auto"});
    std::vector<std::unique_ptr<Raw>> idle;
    for (int i = 0; i < 8; ++i) {
      idle.push_back(std::make_unique<Raw>(device.Port()));
      ASSERT_EQ(idle.back()->Greeting().size(), 2u);
    }
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(idle[i]->Line(), crowded) << i;
      EXPECT_TRUE(idle[i]->ClosedByPeer()) << i;
    }
    std::vector<std::unique_ptr<Raw>> clients;
    for (int i = 0; i < 8; ++i) {
      clients.push_back(std::make_unique<Raw>(device.Port()));
      EXPECT_EQ(signIn(*clients.back()), Lines{"OK"}) << i;
    }
    EXPECT_EQ(clients.front()->Command("echo in"), (Lines{"| in", "OK"}));
    // The places of authenticated clients are theirs: a ninth with the token is told so and closed.
    Raw ninth(device.Port());
    EXPECT_EQ(signIn(ninth), Lines{"KO: too many clients (limit 8)"});
    EXPECT_TRUE(ninth.ClosedByPeer());
  }

  // A connection that keeps talking without authenticating is closed once its time is up, whatever it
  // sends; an authenticated client stays.
  Device device({"--start", "auto"}, nullptr, CONSOLE_DEVICE_PATH, {"PNDSIM_CONSOLE_AUTH_TIME_LIMIT_MS=300"});
  Raw client(device.Port());
  ASSERT_EQ(signIn(client), Lines{"OK"});
  Raw talker(device.Port());
  talker.Greeting();
  const Lines refused = {
      "KO: authentication required: send \"auth TOKEN\" with the token from ~/.pndsim_console_token"};
  Lines reply = refused;
  for (const auto end = std::chrono::steady_clock::now() + kBound;
       reply == refused && std::chrono::steady_clock::now() < end;) {
    const bool sent = talker.TrySend("echo hi\n");
    reply = talker.Reply();
    if (!sent) break;
  }
  EXPECT_EQ(reply, (Lines{"KO: authentication timed out after 300 ms"}));
  EXPECT_TRUE(talker.ClosedByPeer());
  EXPECT_EQ(client.Command("echo still here"), (Lines{"| still here", "OK"}));
}

TEST(Console, AnswersAFloodOfCommandsInOrder) {
  Folders folders;
  folders.WriteToken("");
  Device device({"--start", "auto"});
  Raw raw(device.Port());
  raw.Greeting();
  constexpr int kCount = 20000;
  std::thread writer([&] {
    std::string bytes;
    for (int i = 0; i < kCount; ++i) bytes += "echo " + std::to_string(i) + "\n";
    raw.Send(bytes);
  });
  int inOrder = 0;
  for (int i = 0; i < kCount; ++i) {
    if (raw.Reply() == Lines{"| " + std::to_string(i), "OK"}) ++inOrder;
  }
  writer.join();
  EXPECT_EQ(inOrder, kCount);
}

TEST(Console, StreamsEventsFromManyThreadsAndCountsWhatItDrops) {
  Folders folders;
  folders.WriteToken("");
  Device device({"--start", "auto"});
  struct Case {
    int threads;
    int count;
    bool readLate;  // the client reads nothing until the storm is over: the queue overflows
  };
  Raw watcher(device.Port());
  watcher.Greeting();
  int storms = 0;
  for (const Case c : {Case{8, 500, false}, Case{8, 40000, true}}) {
    SCOPED_TRACE(c.count);
    Raw raw(device.Port());
    raw.Greeting();
    raw.Send("storm " + std::to_string(c.threads) + " " + std::to_string(c.count) + "\n");
    ++storms;
    if (c.readLate) {
      EXPECT_EQ(watcher.Command("waitstorms " + std::to_string(storms)), Lines{"OK"});
    }
    std::vector<int> next(static_cast<std::size_t>(c.threads), 0);
    long received = 0;
    long dropped = 0;
    double lastTime = 0;
    bool ordered = true;
    bool replied = false;
    const long total = static_cast<long>(c.threads) * c.count;
    while (!replied || received + dropped < total) {
      const auto line = raw.Line();
      ASSERT_TRUE(line) << "received " << received << " dropped " << dropped;
      if (*line == "OK") {
        replied = true;
        continue;
      }
      if (line->rfind("| sent", 0) == 0) continue;
      double time = 0;
      int thread = 0;
      int index = 0;
      long lost = 0;
      int used = 0;
      if (std::sscanf(line->c_str(), "* %lf event %d %d%n", &time, &thread, &index, &used) == 3 &&
          used == static_cast<int>(line->size())) {
        ordered = ordered && index >= next[static_cast<std::size_t>(thread)];
        next[static_cast<std::size_t>(thread)] = index + 1;
        ++received;
      } else if (std::sscanf(line->c_str(), "* %lf ... %ld events dropped%n", &time, &lost, &used) == 2 &&
                 used == static_cast<int>(line->size())) {
        dropped += lost;
      } else {
        ADD_FAILURE() << "unexpected line: " << *line;
        break;
      }
      ordered = ordered && time >= lastTime;
      lastTime = time;
    }
    EXPECT_TRUE(ordered);
    EXPECT_EQ(received + dropped, total);
    if (c.readLate) {
      EXPECT_GT(dropped, 0);
    }
    EXPECT_EQ(raw.Command("echo after"), (Lines{"| after", "OK"}));
  }
}

TEST(Console, AnnouncesItselfToClientsWhileOpen) {
  Folders folders;
  folders.WriteToken("");
  // A record left by a process that has ended is removed by the next listing.
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  fs::create_directories(folders.Records());
  fs::permissions(folders.Records(), fs::perms::owner_all);
  const fs::path stale = folders.Records() / (std::to_string(gone) + ".json");
  std::ofstream(stale) << R"({"pid":)" << gone << R"(,"port":47199,"program":"gone","started":"x"})";

  Device device({"--start", "auto"});
  ASSERT_GT(device.Port(), 0);
  const fs::path record = folders.Records() / (std::to_string(device.Pid()) + ".json");
  EXPECT_TRUE(fs::exists(record));
  EXPECT_EQ(fs::status(folders.Records()).permissions(), fs::perms::owner_all);
  const auto devices = pndconsole::ListDevices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].pid, device.Pid());
  EXPECT_EQ(devices[0].port, device.Port());
  EXPECT_EQ(devices[0].program, "console_device");
  EXPECT_EQ(devices[0].started.size(), 20u);
  EXPECT_FALSE(fs::exists(stale));

  std::string error;
  for (const std::string& name : {std::string(), std::to_string(device.Pid()), std::to_string(device.Port()),
                                  std::string("console_device")}) {
    const auto found = pndconsole::FindDevice(name, &error);
    EXPECT_TRUE(found && found->pid == device.Pid()) << name << ": " << error;
  }
  EXPECT_FALSE(pndconsole::FindDevice("navigator", &error));
  EXPECT_EQ(error, "no running device with an open console matches \"navigator\"");

  // The one-command client: 0 on OK, 1 on KO, 2 when the device cannot be reached.
  EXPECT_EQ(pndconsole::RunConsoleCommand("console_device", "echo hi"), 0);
  EXPECT_EQ(pndconsole::RunConsoleCommand("", "fail on purpose"), 1);
  EXPECT_EQ(pndconsole::RunConsoleCommand("navigator", "echo hi"), 2);

  // Closing removes the record and disconnects; reopening writes it again; the end of the process
  // closes it too.
  Raw connected(device.Port());
  connected.Greeting();
  EXPECT_EQ(device.Control("stop"), 0);
  EXPECT_FALSE(fs::exists(record));
  EXPECT_TRUE(connected.ClosedByPeer());
  EXPECT_FALSE(Raw(devices[0].port).Connected());
  EXPECT_GT(device.Control("start auto"), 0);
  EXPECT_TRUE(fs::exists(record));
  EXPECT_EQ(device.Finish(), 0);
  EXPECT_FALSE(fs::exists(record));
  EXPECT_TRUE(pndconsole::ListDevices().empty());

  // A command that never returns does not keep the process from ending.
  Device stuck({"--start", "auto"});
  Raw holder(stuck.Port());
  Raw watcher(stuck.Port());
  holder.Greeting();
  watcher.Greeting();
  holder.Send("hold\n");
  EXPECT_EQ(watcher.Command("waitheld"), Lines{"OK"});
  EXPECT_EQ(stuck.Finish(), 0);
  EXPECT_TRUE(holder.ClosedByPeer());
  EXPECT_TRUE(pndconsole::ListDevices().empty());
}

// A loopback port free when asked and outside the range a console picks by itself (47100-47199), so that
// the consoles of the tests running beside this one do not take it first; 0 when none is found.
int UnusedExplicitPort() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                       getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    close(fd);
    const int port = bound ? ntohs(address.sin_port) : 0;
    if (port != 0 && (port < 47100 || port > 47199)) return port;
  }
  return 0;
}

TEST(Console, OpensOnlyWhenAskedAndSpeaksTheScenarioLanguageByDefault) {
  Folders folders;
  folders.WriteToken("");
  struct Case {
    const char* variable;  // PNDSIM_CONSOLE, null: unset
    bool opens;
  };
  for (const Case c : {Case{nullptr, false}, Case{"", false}, Case{"nonsense", false}, Case{"0", false},
                       Case{"auto", true}}) {
    SCOPED_TRACE(c.variable != nullptr ? c.variable : "unset");
    Device device({}, c.variable);
    EXPECT_EQ(device.Port() != 0, c.opens);
    if (c.opens) {
      EXPECT_GE(device.Port(), 47100);
      EXPECT_LE(device.Port(), 47199);
      // An explicit port of its own from the variable too.
      EXPECT_EQ(device.Control("stop"), 0);
      const int port = UnusedExplicitPort();
      Device exact({}, std::to_string(port).c_str());
      EXPECT_EQ(exact.Port(), port);
    } else {
      EXPECT_FALSE(fs::exists(folders.Records() / (std::to_string(device.Pid()) + ".json")));
    }
  }

  // Without an interpreter installed, the console speaks the scenario language.
  Device bare({"--no-interpreter", "--start", "auto"});
  Raw raw(bare.Port());
  raw.Greeting();
  EXPECT_EQ(raw.Command("help watch"),
            (Lines{"| watch", "|     stream every platform effect and listener call as it happens", "OK"}));
  EXPECT_EQ(raw.Command("quit"), Lines{"OK"});
}

// The listening sockets of this process, by their bound addresses.
std::vector<std::string> ListeningAddresses() {
  std::vector<std::string> addresses;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    const int fd = std::atoi(entry.path().filename().c_str());
    int listening = 0;
    socklen_t size = sizeof listening;
    if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || listening == 0) continue;
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    char text[INET6_ADDRSTRLEN] = {};
    if (bound.ss_family == AF_INET) {
      inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&bound)->sin_addr, text, sizeof text);
    } else {
      inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&bound)->sin6_addr, text, sizeof text);
    }
    addresses.emplace_back(text);
  }
  return addresses;
}

TEST(Console, ListensOnTheLoopbackAlone) {
  Folders folders;
  folders.WriteToken("");
  EXPECT_EQ(pndconsole::host::Port(), 0);
  EXPECT_TRUE(ListeningAddresses().empty());

  std::string error;
  for (const char* bad : {"", "0", "65536", "12ab", "-5", "auto "}) {
    EXPECT_EQ(pndconsole::host::Start(bad, &error), 0) << bad;
    EXPECT_EQ(error.rfind("invalid port", 0), 0u) << error;
  }
  const int port = pndconsole::host::Start("auto", &error);
  ASSERT_GT(port, 0) << error;
  EXPECT_EQ(pndconsole::host::Port(), port);
  EXPECT_EQ(pndconsole::host::Start("auto"), port);
  EXPECT_EQ(pndconsole::host::Start(std::to_string(port)), port);
  EXPECT_EQ(pndconsole::host::Start(std::to_string(port == 47100 ? 47101 : 47100), &error), 0);
  EXPECT_EQ(error, "the console is already open on port " + std::to_string(port));
  // A second console on a taken port fails rather than sharing it.
  Device rival({"--start", std::to_string(port)});
  EXPECT_EQ(rival.Port(), 0);

  auto addresses = ListeningAddresses();
  std::sort(addresses.begin(), addresses.end());
  EXPECT_TRUE(addresses == (std::vector<std::string>{"127.0.0.1", "::1"}) ||
              addresses == std::vector<std::string>{"127.0.0.1"});
  // Every other address of the machine refuses the port.
  ifaddrs* interfaces = nullptr;
  ASSERT_EQ(getifaddrs(&interfaces), 0);
  int tried = 0;
  for (const ifaddrs* each = interfaces; each != nullptr; each = each->ifa_next) {
    if (each->ifa_addr == nullptr ||
        (each->ifa_addr->sa_family != AF_INET && each->ifa_addr->sa_family != AF_INET6)) {
      continue;
    }
    char text[INET6_ADDRSTRLEN] = {};
    const int family = each->ifa_addr->sa_family;
    if (family == AF_INET) {
      inet_ntop(family, &reinterpret_cast<const sockaddr_in*>(each->ifa_addr)->sin_addr, text, sizeof text);
    } else {
      const auto* six = reinterpret_cast<const sockaddr_in6*>(each->ifa_addr);
      if (IN6_IS_ADDR_LINKLOCAL(&six->sin6_addr)) continue;  // needs a scope to reach at all
      inet_ntop(family, &six->sin6_addr, text, sizeof text);
    }
    const std::string address = text;
    if (address == "127.0.0.1" || address == "::1") continue;
    const int fd = Connect(family, address, port);
    EXPECT_LT(fd, 0) << address;
    if (fd >= 0) close(fd);
    ++tried;
  }
  freeifaddrs(interfaces);
  RecordProperty("other_addresses_tried", tried);

  pndconsole::host::Stop();
  EXPECT_EQ(pndconsole::host::Port(), 0);
  EXPECT_TRUE(ListeningAddresses().empty());
  EXPECT_FALSE(Raw(port).Connected());
  pndconsole::host::Stop();  // closed already: nothing to do
}

}  // namespace
}  // namespace consoletest
