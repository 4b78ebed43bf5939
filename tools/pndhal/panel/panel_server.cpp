// The panel's HTTP server on cpp-httplib.
#include "panel_server.h"

#include <httplib.h>

#include <chrono>
#include <string_view>

#include "access.h"
#include "assets.h"

namespace panel {
namespace {

// How long an idle event stream waits before it sends a comment line, which also finds pages gone away.
constexpr std::chrono::milliseconds kStreamIdle{5000};
// A command line is at most the console's line limit; a request body has room for it and its JSON.
constexpr std::size_t kBodyLimit = std::size_t{64} * 1024;
// Where the page's own files say the token goes; replaced as the page is served.
constexpr std::string_view kTokenMark = "@TOKEN@";

// Every answer: nothing loads from elsewhere, nothing is framed, cached or sent on as a referrer.
httplib::Headers SafetyHeaders() {
  return {
      {"Content-Security-Policy",
       "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; connect-src 'self'; "
       "base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "no-referrer"},
      {"Cache-Control", "no-store"},
      {"X-Frame-Options", "DENY"},
  };
}

void SendJson(httplib::Response& response, const Json& body, int status = 200) {
  response.status = status;
  response.set_content(body.dump(-1, ' ', false, Json::error_handler_t::replace), "application/json");
}

void SendFault(httplib::Response& response, int status, const std::string& message) {
  SendJson(response, Json{{"error", message}}, status);
}

const Asset* FindAsset(std::string_view name) {
  for (const Asset& asset : Assets()) {
    if (asset.name == name) return &asset;
  }
  return nullptr;
}

}  // namespace

PanelServer::PanelServer(DeviceLink& link, EventHub& hub, std::string token, std::vector<std::string> zones)
    : link_(link),
      hub_(hub),
      token_(std::move(token)),
      zones_(std::move(zones)),
      server_(std::make_unique<httplib::Server>()) {}

PanelServer::~PanelServer() { Stop(); }

bool PanelServer::Start(int port, std::string* error) {
  Route();
  server_->set_payload_max_length(kBodyLimit);
  // An event is a few dozen bytes written on its own: waiting to fill a segment would add tens of
  // milliseconds to every listener call the page shows.
  server_->set_tcp_nodelay(true);
  server_->set_default_headers(SafetyHeaders());
  if (port == 0) {
    port_ = server_->bind_to_any_port("127.0.0.1");
  } else if (server_->bind_to_port("127.0.0.1", port)) {
    port_ = port;
  }
  if (port_ <= 0) {
    *error = port == 0 ? "cannot bind a port on 127.0.0.1"
                       : "cannot bind 127.0.0.1:" + std::to_string(port) + " (is it taken?)";
    port_ = 0;
    return false;
  }
  listener_ = std::thread([this] { server_->listen_after_bind(); });
  return true;
}

void PanelServer::Stop() {
  hub_.Close();
  server_->stop();
  if (listener_.joinable()) listener_.join();
}

void PanelServer::Route() {
  server_->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    AccessRequest access{request.get_header_value("Host"), request.get_header_value("Origin"),
                         request.get_header_value("X-Pndhal-Token")};
    if (access.token.empty()) access.token = request.get_param_value("token");
    const std::string refusal = CheckAccess(access, port_, token_);
    if (refusal.empty()) return httplib::Server::HandlerResponse::Unhandled;
    SendFault(response, 403, refusal);
    return httplib::Server::HandlerResponse::Handled;
  });

  server_->Get("/", [this](const httplib::Request&, httplib::Response& response) {
    const Asset* page = FindAsset("index.html");
    std::string text(page->content);
    for (std::size_t at = text.find(kTokenMark); at != std::string::npos; at = text.find(kTokenMark, at)) {
      text.replace(at, kTokenMark.size(), token_);
    }
    response.set_content(text, std::string(page->type));
  });
  server_->Get(R"(/([a-z]+\.(css|js|svg)))",
               [](const httplib::Request& request, httplib::Response& response) {
                 const Asset* asset = FindAsset(request.matches[1].str());
                 if (asset == nullptr) return SendFault(response, 404, "no such file");
                 response.set_content(asset->content.data(), asset->content.size(), std::string(asset->type));
               });

  server_->Get("/api/state", [this](const httplib::Request&, httplib::Response& response) {
    std::string error;
    const auto state = link_.State(&error);
    if (!state) return SendFault(response, 502, error);
    SendJson(response, *state);
  });
  server_->Get("/api/profile", [this](const httplib::Request&, httplib::Response& response) {
    std::string error;
    const auto state = link_.State(&error);
    if (!state) return SendFault(response, 502, error);
    SendJson(response, state->value("device", Json::object()));
  });
  server_->Get("/api/device", [this](const httplib::Request&, httplib::Response& response) {
    SendJson(response, Json{{"console", link_.Greeting()}});
  });
  server_->Get("/api/zones",
               [this](const httplib::Request&, httplib::Response& response) { SendJson(response, zones_); });
  server_->Post("/api/command", [this](const httplib::Request& request, httplib::Response& response) {
    // A JSON body is what the page sends; a form or plain text is no request of the page's.
    if (request.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
      return SendFault(response, 415, "a command is posted as application/json");
    }
    const Json body = Json::parse(request.body, nullptr, false);
    if (!body.is_object() || !body.contains("line") || !body["line"].is_string()) {
      return SendFault(response, 400, "the body is {\"line\": \"a scenario line\"}");
    }
    if (body["line"].get<std::string>().find_first_of("\r\n") != std::string::npos) {
      return SendFault(response, 400, "a command is one line");
    }
    std::string error;
    const auto reply = link_.Command(body["line"].get<std::string>(), &error);
    if (!reply) return SendFault(response, 502, error);
    SendJson(response, *reply);
  });

  server_->Get("/api/events", [this](const httplib::Request& request, httplib::Response& response) {
    // A page that reconnects says what it saw last and gets what it missed.
    std::uint64_t after = 0;
    const std::string last = request.get_header_value("Last-Event-ID");
    if (!last.empty() && last.find_first_not_of("0123456789") == std::string::npos && last.size() < 20) {
      after = std::stoull(last);
    }
    auto next = std::make_shared<std::uint64_t>(after);
    response.set_chunked_content_provider(
        "text/event-stream", [this, next](std::size_t /*offset*/, httplib::DataSink& sink) {
          const std::vector<HubEvent> events = hub_.Next(*next, kStreamIdle);
          if (hub_.Closed()) {
            sink.done();
            return true;
          }
          std::string chunk = events.empty() ? ": idle\n\n" : "";
          for (const HubEvent& event : events) {
            chunk += "id: " + std::to_string(event.id) + "\nevent: " + event.type + "\ndata: " + event.data +
                     "\n\n";
            *next = event.id;
          }
          return sink.write(chunk.data(), chunk.size());
        });
  });
}

}  // namespace panel
