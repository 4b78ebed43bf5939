// The console host: one poll thread accepts connections on the loopback addresses and moves every
// client's bytes; each client's commands run on a thread of its own, so a slow command or a slow reader
// holds up nobody else, and the producers of events never wait for a socket.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "console_interpreter.h"
#include "discovery.h"
#include "host.h"
#include "json_mode.h"
#include "line_framer.h"
#include "loopback.h"
#include "protocol.h"
#include "token.h"

namespace pndconsole::host {
namespace {

using protocol::FramedLine;
using protocol::kLineLimit;
using protocol::LineFramer;
// Authenticated clients at once. Connections waiting to authenticate have places of their own, so that
// they can never keep an authenticated client out.
constexpr std::size_t kClientLimit = 8;
constexpr std::size_t kWaitingLimit = 4;
// Connections held at once, those closing included: it bounds the threads a flood of connections makes.
constexpr std::size_t kConnectionLimit = kClientLimit + 2 * kWaitingLimit;
// How long a connection may take to authenticate, in real time, however much it sends meanwhile.
constexpr std::chrono::milliseconds kAuthTimeLimit = std::chrono::seconds(5);
// For tests only: a shorter kAuthTimeLimit in milliseconds, read when the console opens.
constexpr const char* kAuthTimeLimitVariable = "PNDSIM_CONSOLE_AUTH_TIME_LIMIT_MS";
constexpr std::size_t kOutputLimit = std::size_t{256} * 1024;
constexpr std::size_t kPendingLimit = 64;

thread_local bool tOnConsoleThread = false;

using Clock = std::chrono::steady_clock;

// What a client has yet to receive; shared by the sink (any thread), the client's command thread and the
// poll thread.
struct Output {
  std::mutex mutex;
  std::condition_variable roomy;
  std::string bytes;
  std::size_t droppedEvents = 0;
  bool closed = false;
  int wakeFd = -1;
  Clock::time_point opened;
  bool json = false;  // the client chose the JSON mode: events and the console's own lines are JSON

  void WakeLocked() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd, &one, sizeof one);
  }

  double Seconds() const { return std::chrono::duration<double>(Clock::now() - opened).count(); }

  // Tells the client how many events it lost once there is room again; the caller holds the mutex.
  void FlushDropNoticeLocked() {
    if (droppedEvents == 0 || bytes.size() > kOutputLimit / 2) return;
    bytes +=
        json ? protocol::JsonDropped(droppedEvents)
             : protocol::FormatEvent(Seconds(), "... " + std::to_string(droppedEvents) + " events dropped");
    droppedEvents = 0;
  }

  void Event(std::string_view line, std::string_view object) {
    std::lock_guard lock(mutex);
    if (closed) return;
    FlushDropNoticeLocked();
    // Stamped under the lock, so the stream's times never go backwards.
    std::string text = json ? protocol::JsonEvent(line, object) : protocol::FormatEvent(Seconds(), line);
    if (droppedEvents != 0 || bytes.size() + text.size() > kOutputLimit) {
      ++droppedEvents;
      return;
    }
    bytes += text;
    WakeLocked();
  }
};

struct Client {
  int fd = -1;
  std::shared_ptr<Output> out = std::make_shared<Output>();
  LineFramer framer{kLineLimit};
  Clock::time_point connected = Clock::now();
  bool readClosed = false;  // poll thread only: the client sent its last line
  bool broken = false;      // poll thread only: the connection is gone
  // Neither authenticated nor finished: the connection holds a waiting place. Cleared by its command thread.
  std::atomic<bool> waiting{true};
  bool holdsSlot = false;  // command thread; the poll thread reads it once it joined that thread

  std::mutex mutex;
  std::condition_variable pending;
  std::deque<FramedLine> commands;
  bool endOfInput = false;  // no more commands will come; those queued still run
  bool hangup = false;      // nobody is listening any more: stop

  std::thread worker;
  std::atomic<bool> finished{false};

  // The interpreter's session, made at the first command; the command thread runs it, others may cancel it.
  std::mutex sessionMutex;
  std::unique_ptr<Session> session;
};

struct Console {
  std::mutex mutex;  // start and stop
  std::atomic<int> port{0};
  std::thread poller;
  int wakeFd = -1;
  std::vector<int> listenFds;
  std::atomic<bool> stopping{false};
  Clock::time_point opened;
  std::atomic<std::size_t> authenticated{0};  // clients holding one of the kClientLimit places
  std::chrono::milliseconds authTimeLimit = kAuthTimeLimit;
};

Console& TheConsole() {
  static auto* console = new Console;
  return *console;
}

void Enqueue(Client& client, const std::string& text) {
  Output& out = *client.out;
  std::unique_lock lock(out.mutex);
  // A reply waits for room rather than being lost: the client's own commands stall, nobody else's.
  out.roomy.wait(lock, [&] { return out.closed || out.bytes.size() < kOutputLimit; });
  if (out.closed) return;
  out.bytes += text;
  out.WakeLocked();
}

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

Reply Refuse(std::string reason) { return {false, {}, std::move(reason)}; }

// A reply in the line mode: the column, when there is one, leads the reason.
std::string Wire(const Reply& reply) {
  return protocol::FormatReply(
      reply.ok, reply.output,
      reply.column > 0 ? "column " + std::to_string(reply.column) + ": " + reply.reason : reply.reason);
}

// The interpreter a test installed; empty means the scenario language.
struct InstalledInterpreter {
  std::mutex mutex;
  Interpreter interpreter;
};

InstalledInterpreter& TheInterpreter() {
  static auto* installed = new InstalledInterpreter;
  return *installed;
}

std::unique_ptr<Session> MakeSession(EventSink events) {
  Interpreter interpreter;
  {
    InstalledInterpreter& installed = TheInterpreter();
    std::lock_guard lock(installed.mutex);
    interpreter = installed.interpreter;
  }
  return interpreter ? interpreter(std::move(events)) : scenario::MakeConsoleSession(std::move(events));
}

std::string TooManyClients() { return "too many clients (limit " + std::to_string(kClientLimit) + ")"; }

// The command thread of one client: greets it, checks its token and runs its lines in order.
class CommandRunner {
 public:
  CommandRunner(Client& client, std::atomic<std::size_t>& authenticated)
      : client_(client), authenticated_clients_(authenticated) {}

  void Run() {
    std::string error;
    const std::optional<std::string> token = protocol::HostToken(&error);
    if (!token) {
      Enqueue(client_, Greeting() + Wire(Refuse(error)));
      return;
    }
    token_ = *token;
    if (token_.empty() && !Authenticate()) {
      Enqueue(client_, Wire(Refuse(TooManyClients())));
      return;
    }
    Enqueue(client_, Greeting() + std::string(protocol::kGreetingMarker) +
                         std::string(authenticated_ ? protocol::kReady : protocol::kAuthRequired) + "\n");
    while (true) {
      FramedLine line;
      {
        std::unique_lock lock(client_.mutex);
        client_.pending.wait(
            lock, [&] { return client_.hangup || client_.endOfInput || !client_.commands.empty(); });
        if (client_.hangup || client_.commands.empty()) break;
        line = std::move(client_.commands.front());
        client_.commands.pop_front();
      }
      bool close = false;
      const Reply reply = json_ ? HandleRequest(line, close) : Handle(line, close);
      if (switching_) {
        // The reply to "mode json" is the JSON greeting; every line after it is JSON.
        switching_ = false;
        json_ = true;
        {
          std::lock_guard lock(client_.out->mutex);
          client_.out->json = true;
        }
        Enqueue(client_, protocol::JsonGreeting(protocol::ProgramName(), getpid(), !authenticated_));
      } else {
        Enqueue(client_, json_ ? protocol::JsonReply(requestId_, reply.ok, reply.output, reply.value,
                                                     reply.reason, reply.column)
                               : Wire(reply));
      }
      if (close) break;
    }
    std::unique_ptr<Session> ended;
    {
      std::lock_guard lock(client_.sessionMutex);
      ended = std::move(client_.session);
    }
  }

 private:
  // Takes one of the authenticated clients' places; false when none is free.
  bool Authenticate() {
    std::size_t taken = authenticated_clients_.load();
    do {
      if (taken >= kClientLimit) return false;
    } while (!authenticated_clients_.compare_exchange_weak(taken, taken + 1));
    client_.holdsSlot = true;
    client_.waiting = false;
    authenticated_ = true;
    return true;
  }

  static std::string Greeting() { return protocol::GreetingLine(protocol::ProgramName(), getpid()); }

  // A line of the JSON mode: a request whose command runs as a line of the line mode would.
  Reply HandleRequest(const FramedLine& line, bool& close) {
    requestId_ = "null";
    if (line.tooLong) return Refuse("line too long (limit " + std::to_string(kLineLimit) + " bytes)");
    if (Trim(line.text).empty()) return Refuse("a request is a JSON object with a \"command\"");
    protocol::JsonRequest request = protocol::ReadJsonRequest(line.text);
    requestId_ = std::move(request.id);
    if (!request.ok) return {false, {}, std::move(request.error), request.column, {}};
    return Handle({false, std::move(request.command)}, close);
  }

  Reply Handle(const FramedLine& line, bool& close) {
    if (line.tooLong) return Refuse("line too long (limit " + std::to_string(kLineLimit) + " bytes)");
    for (std::size_t i = 0; i < line.text.size(); ++i) {
      const auto byte = static_cast<unsigned char>(line.text[i]);
      if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
        return Refuse("control character at column " + std::to_string(i + 1));
      }
    }
    const std::string trimmed = Trim(line.text);
    if (trimmed.empty()) return {};
    const std::string verb = trimmed.substr(0, trimmed.find_first_of(" \t"));
    if (verb == protocol::kModeVerb) {
      const std::string mode = Trim(trimmed.substr(verb.size()));
      if (mode == protocol::kJsonMode) {
        switching_ = !json_;
        return {};
      }
      if (mode == "line" && !json_) return {};
      return Refuse(json_ ? "a connection in JSON mode stays in it"
                          : "unknown mode \"" + mode + "\" (line or json)");
    }
    if (verb == protocol::kAuthVerb) {
      if (token_.empty() || protocol::TokensMatch(Trim(trimmed.substr(verb.size())), token_)) {
        if (authenticated_ || Authenticate()) return {};
        close = true;
        return Refuse(TooManyClients());
      }
      close = true;
      return Refuse("wrong token");
    }
    if (trimmed == "quit") {
      close = true;
      return {};
    }
    if (!authenticated_) {
      return Refuse(
          "authentication required: send \"auth TOKEN\" with the token from ~/.pndsim_console_token");
    }
    Session* session = nullptr;
    {
      std::lock_guard lock(client_.sessionMutex);
      if (!client_.session) {
        std::weak_ptr<Output> out = client_.out;
        client_.session = MakeSession([out](std::string_view text, std::string_view json) {
          if (const auto output = out.lock()) output->Event(text, json);
        });
      }
      session = client_.session.get();
    }
    if (session == nullptr) return Refuse("no command interpreter: the interpreter made no session");
    try {
      return session->Execute(line.text);
    } catch (const std::exception& fault) {
      return Refuse(std::string("command failed: ") + fault.what());
    }
  }

  Client& client_;
  std::atomic<std::size_t>& authenticated_clients_;
  std::string token_;
  bool authenticated_ = false;
  bool json_ = false;               // the client chose the JSON mode
  bool switching_ = false;          // the line in hand asked for it
  std::string requestId_ = "null";  // the id of the JSON request in hand, as JSON text
};

// Nobody will read the client's replies any more: its command in progress is asked to return and its
// queued commands are dropped.
void CloseClientOutput(Client& client) {
  {
    std::lock_guard lock(client.mutex);
    client.hangup = true;
  }
  {
    std::lock_guard lock(client.sessionMutex);
    if (client.session) client.session->Cancel();
  }
  client.pending.notify_all();
  std::lock_guard lock(client.out->mutex);
  client.out->closed = true;
  client.out->bytes.clear();
  client.out->roomy.notify_all();
}

void RefuseConnection(int fd, const std::string& reason) {
  const std::string text = "KO: " + reason + "\n";
  [[maybe_unused]] const ssize_t sent = send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  close(fd);
}

// Reads what the client sent; false when the connection broke. The end of the client's input is no
// hang-up: the commands it sent still run and their replies still go out.
bool Receive(Client& client) {
  char buffer[4096];
  const ssize_t got = recv(client.fd, buffer, sizeof buffer, 0);
  if (got < 0) return errno == EAGAIN || errno == EINTR;
  if (got == 0) {
    client.readClosed = true;
    {
      std::lock_guard lock(client.mutex);
      client.endOfInput = true;
    }
    client.pending.notify_one();
    return true;
  }
  std::vector<FramedLine> lines;
  client.framer.Feed(std::string_view(buffer, static_cast<std::size_t>(got)), lines);
  if (lines.empty()) return true;
  {
    std::lock_guard lock(client.mutex);
    for (auto& line : lines) client.commands.push_back(std::move(line));
  }
  client.pending.notify_one();
  return true;
}

// Sends what is queued for the client; false when the connection broke.
bool Transmit(Client& client) {
  Output& out = *client.out;
  std::lock_guard lock(out.mutex);
  if (out.bytes.empty()) return true;
  const ssize_t sent = send(client.fd, out.bytes.data(), out.bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  if (sent < 0) return errno == EAGAIN || errno == EINTR;
  out.bytes.erase(0, static_cast<std::size_t>(sent));
  out.FlushDropNoticeLocked();
  out.roomy.notify_all();
  return true;
}

bool HasOutput(Client& client) {
  std::lock_guard lock(client.out->mutex);
  return !client.out->bytes.empty();
}

bool WantsInput(Client& client) {
  if (client.readClosed) return false;
  std::lock_guard lock(client.mutex);
  return client.commands.size() < kPendingLimit;
}

// Closes a connection that may not stay, telling the client why after what it was sent already.
void Disconnect(Client& client, const std::string& reason) {
  {
    std::lock_guard lock(client.out->mutex);
    if (!client.out->closed) {
      client.out->bytes += client.out->json ? protocol::JsonClosed(reason) : "KO: " + reason + "\n";
    }
  }
  Transmit(client);
  client.broken = true;
  shutdown(client.fd, SHUT_RDWR);
  CloseClientOutput(client);
}

void Accept(Console& console, int listenFd, std::list<std::unique_ptr<Client>>& clients) {
  const int fd = accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return;
  if (clients.size() >= kConnectionLimit) {
    RefuseConnection(fd, "too many connections (limit " + std::to_string(kConnectionLimit) + ")");
    return;
  }
  // The connection that has waited longest to authenticate makes room for the newcomer, so that idle
  // connections cannot keep a client out for as long as they stay.
  std::size_t waiting = 0;
  Client* longest = nullptr;
  for (auto& client : clients) {
    if (client->broken || !client->waiting) continue;
    ++waiting;
    if (longest == nullptr || client->connected < longest->connected) longest = client.get();
  }
  if (waiting >= kWaitingLimit) {
    Disconnect(*longest,
               "too many connections waiting to authenticate (limit " + std::to_string(kWaitingLimit) + ")");
  }
  auto client = std::make_unique<Client>();
  client->fd = fd;
  client->out->wakeFd = console.wakeFd;
  client->out->opened = console.opened;
  Client& added = *client;
  clients.push_back(std::move(client));
  added.worker = std::thread([&added, &console] {
    tOnConsoleThread = true;
    CommandRunner(added, console.authenticated).Run();
    added.waiting = false;
    added.finished = true;
    std::lock_guard lock(added.out->mutex);
    added.out->WakeLocked();
  });
}

// Closes the connections whose time to authenticate is up; answers the milliseconds until the next one's
// is, or -1 when no connection waits.
int CloseUnauthenticated(const Console& console, std::list<std::unique_ptr<Client>>& clients) {
  const auto now = Clock::now();
  int next = -1;
  for (auto& client : clients) {
    if (client->broken || !client->waiting) continue;
    const auto end = client->connected + console.authTimeLimit;
    if (end <= now) {
      Disconnect(*client,
                 "authentication timed out after " + std::to_string(console.authTimeLimit.count()) + " ms");
      continue;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now).count();
    next = next < 0 ? static_cast<int>(left) : std::min(next, static_cast<int>(left));
  }
  return next;
}

void PollLoop(Console& console) {
  tOnConsoleThread = true;
  std::list<std::unique_ptr<Client>> clients;
  std::vector<pollfd> fds;
  std::vector<Client*> polled;
  while (!console.stopping) {
    const int timeout = CloseUnauthenticated(console, clients);
    fds.clear();
    polled.clear();
    fds.push_back({console.wakeFd, POLLIN, 0});
    for (int fd : console.listenFds) fds.push_back({fd, POLLIN, 0});
    for (auto& client : clients) {
      if (client->broken) continue;
      const short events =
          static_cast<short>((WantsInput(*client) ? POLLIN : 0) | (HasOutput(*client) ? POLLOUT : 0));
      fds.push_back({client->fd, events, 0});
      polled.push_back(client.get());
    }
    if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) break;
    if ((fds[0].revents & POLLIN) != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t got = read(console.wakeFd, &count, sizeof count);
    }
    for (std::size_t i = 0; i < console.listenFds.size(); ++i) {
      if ((fds[1 + i].revents & POLLIN) != 0) Accept(console, console.listenFds[i], clients);
    }
    const std::size_t first = 1 + console.listenFds.size();
    for (std::size_t i = 0; i < polled.size(); ++i) {
      Client& client = *polled[i];
      const short revents = fds[first + i].revents;
      bool broken = (revents & (POLLERR | POLLNVAL | POLLHUP)) != 0;
      if (!broken && (revents & POLLOUT) != 0) broken = !Transmit(client);
      if (!broken && (revents & POLLIN) != 0) broken = !Receive(client);
      if (broken) {
        client.broken = true;
        shutdown(client.fd, SHUT_RDWR);
        CloseClientOutput(client);
      }
    }
    // A client whose command thread ended leaves once its last reply went out (or could not).
    clients.remove_if([&console](const std::unique_ptr<Client>& client) {
      if (!client->finished || (!client->broken && HasOutput(*client))) return false;
      client->worker.join();
      if (client->holdsSlot) --console.authenticated;
      // A sink the session left behind must not reach the wake-up event once the client is gone.
      CloseClientOutput(*client);
      close(client->fd);
      return true;
    });
  }
  // Every command in progress is asked to return; the sessions end on their threads.
  for (auto& client : clients) {
    shutdown(client->fd, SHUT_RDWR);
    CloseClientOutput(*client);
  }
  for (auto& client : clients) {
    client->worker.join();
    close(client->fd);
  }
}

void StopConsole() {
  if (tOnConsoleThread) return;
  Console& console = TheConsole();
  std::lock_guard lock(console.mutex);
  if (console.port == 0) return;
  console.port = 0;
  protocol::RemoveRecord();
  console.stopping = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(console.wakeFd, &one, sizeof one);
  console.poller.join();
  for (int fd : console.listenFds) close(fd);
  console.listenFds.clear();
  close(console.wakeFd);
  console.wakeFd = -1;
}

// kAuthTimeLimit, or the shorter limit a test asks for through kAuthTimeLimitVariable.
std::chrono::milliseconds AuthTimeLimit() {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): only read, as the console opens
  const char* variable = std::getenv(kAuthTimeLimitVariable);
  const std::string_view text = variable != nullptr ? variable : "";
  long long milliseconds = 0;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), milliseconds);
  if (status != std::errc() || end != text.data() + text.size() || milliseconds <= 0) return kAuthTimeLimit;
  return std::min(kAuthTimeLimit, std::chrono::milliseconds(milliseconds));
}

// Opens the console when the process starts with PNDSIM_CONSOLE set, and closes it as the library is
// unloaded: this library is loaded after the one it observes, so its sessions end first.
struct ConsoleOfTheProcess {
  ConsoleOfTheProcess() {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): read at load, before the application can change the environment
    const char* requested = std::getenv("PNDSIM_CONSOLE");
    if (requested == nullptr || *requested == '\0') return;
    std::string error;
    if (Start(requested, &error) == 0) {
      std::fprintf(stderr, "pndsim: console not opened: %s\n", error.c_str());
    }
  }
  ~ConsoleOfTheProcess() { StopConsole(); }
  ConsoleOfTheProcess(const ConsoleOfTheProcess&) = delete;
  ConsoleOfTheProcess& operator=(const ConsoleOfTheProcess&) = delete;
};
const ConsoleOfTheProcess consoleOfTheProcess;  // NOLINT(cert-err58-cpp): failures are reported, not thrown

}  // namespace

void SetInterpreter(Interpreter interpreter) {
  InstalledInterpreter& installed = TheInterpreter();
  std::lock_guard lock(installed.mutex);
  installed.interpreter = std::move(interpreter);
}

int Start(std::string_view port, std::string* error) {
  Console& console = TheConsole();
  std::lock_guard lock(console.mutex);
  int first = 0;
  int last = 0;
  if (!protocol::PortRange(port, first, last, error)) return 0;
  if (const int open = console.port; open != 0) {
    if (port == "auto" || (first == open && last == open)) return open;
    if (error != nullptr) *error = "the console is already open on port " + std::to_string(open);
    return 0;
  }
  std::string problem;
  if (!protocol::HostToken(&problem)) {
    if (error != nullptr) *error = problem;
    return 0;
  }
  int chosen = 0;
  std::vector<int> listenFds = protocol::Listen(first, last, chosen, error);
  if (listenFds.empty()) return 0;
  if (!protocol::WriteRecord(chosen, &problem)) {
    for (int fd : listenFds) close(fd);
    if (error != nullptr) *error = problem;
    return 0;
  }
  console.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (console.wakeFd < 0) {
    for (int fd : listenFds) close(fd);
    protocol::RemoveRecord();
    if (error != nullptr) {
      *error = "cannot make the console's wake-up event: " + std::generic_category().message(errno);
    }
    return 0;
  }
  console.listenFds = std::move(listenFds);
  console.stopping = false;
  console.authenticated = 0;
  console.authTimeLimit = AuthTimeLimit();
  console.opened = Clock::now();
  console.poller = std::thread([&console] { PollLoop(console); });
  console.port = chosen;
  return chosen;
}

void Stop() { StopConsole(); }

int Port() { return TheConsole().port; }

}  // namespace pndconsole::host
