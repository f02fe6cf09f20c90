#include "http.h"

#include <httplib.h>
#include <strings.h>
#include <sys/socket.h>

#include <atomic>

namespace studio::http {

std::string Request::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  }
  return "";
}

bool Request::hasHeader(const std::string& name) const {
  for (const auto& entry : headers) {
    if (strcasecmp(entry.first.c_str(), name.c_str()) == 0) return true;
  }
  return false;
}

std::string Request::param(const std::string& name) const {
  auto found = query.find(name);
  return found == query.end() ? "" : found->second;
}

struct Server::Impl {
  ServerOptions options;
  Admit admit;
  Handle handle;
  httplib::Server server;
  int socket = -1;  // the listening socket
  std::atomic<bool> stopping{false};
};

namespace {

void deepenBacklog(int socket) {
  if (socket >= 0) ::listen(socket, SOMAXCONN);
}

Request toRequest(const httplib::Request& from, bool withBody) {
  Request request;
  request.method = from.method;
  request.path = from.path;
  for (const auto& [key, value] : from.params) request.query.emplace(key, value);
  for (const auto& [key, value] : from.headers) request.headers.emplace(key, value);
  if (withBody) request.body = from.body;
  return request;
}

void answer(const Response& from, httplib::Response& to) {
  to.status = from.status;
  for (const auto& [key, value] : from.headers) to.set_header(key, value);
  if (from.stream) {
    auto stream = from.stream;
    to.set_chunked_content_provider(from.contentType, [stream](size_t, httplib::DataSink& sink) {
      stream([&sink](const std::string& piece) {
        return sink.is_writable() && sink.write(piece.data(), piece.size());
      });
      sink.done();
      return true;
    });
    return;
  }
  to.set_content(from.body, from.contentType);
}

}  // namespace

Server::Server(const ServerOptions& options, Admit admit, Handle handle)
    : impl_(new Impl{options, std::move(admit), std::move(handle), {}}) {
  httplib::Server& server = impl_->server;
  size_t threads = options.threads;
  server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  server.set_payload_max_length(options.maxBody);
  // Answers go out at once: a client that writes its headers and body apart would otherwise
  // wait for a delayed acknowledgement (40 ms) on every request.
  server.set_tcp_nodelay(true);
  // The library listens with a backlog of 5, too few for a page's burst of requests: the
  // socket is kept, and listened on again with the system's backlog once bound.
  server.set_socket_options([impl = impl_](int socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    impl->socket = socket;
  });
  server.set_read_timeout(options.readTimeoutSeconds, 0);
  // A browser keeps idle connections open, and stopping waits for each to time out: a second
  // (not the library's five) keeps a stop quick, and costs a loopback reconnection at most.
  server.set_keep_alive_timeout(1);
  server.set_write_timeout(options.writeTimeoutSeconds, 0);
  Impl* impl = impl_;
  server.set_pre_routing_handler([impl](const httplib::Request& req, httplib::Response& res) {
    std::optional<Response> refused = impl->admit(toRequest(req, false));
    if (!refused) return httplib::Server::HandlerResponse::Unhandled;
    answer(*refused, res);
    return httplib::Server::HandlerResponse::Handled;
  });
  auto route = [impl](const httplib::Request& req, httplib::Response& res) {
    answer(impl->handle(toRequest(req, true)), res);
  };
  server.Get(".*", route);
  server.Post(".*", route);
  server.Put(".*", route);
  server.Delete(".*", route);
  server.Patch(".*", route);
  server.Options(".*", route);
  server.set_error_handler([impl](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty() || !impl->options.errorBody) return;
    res.set_content(impl->options.errorBody(res.status), "application/json");
  });
  server.set_exception_handler(
      [impl](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        if (impl->options.errorBody) {
          res.set_content(impl->options.errorBody(500), "application/json");
        }
      });
}

Server::~Server() {
  delete impl_;
}

int Server::bind(int port, std::string& error) {
  httplib::Server& server = impl_->server;
  if (port == 0) {
    int bound = server.bind_to_any_port("127.0.0.1");
    if (bound <= 0) error = "cannot listen on 127.0.0.1";
    if (bound > 0) deepenBacklog(impl_->socket);
    return bound > 0 ? bound : -1;
  }
  if (!server.bind_to_port("127.0.0.1", port)) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(port);
    return -1;
  }
  deepenBacklog(impl_->socket);
  return port;
}

bool Server::serve() {
  if (impl_->stopping) return true;
  bool served = impl_->server.listen_after_bind();
  return served || impl_->stopping;
}

void Server::stop() {
  // The library's stop() does nothing before it has started listening: a stop that comes first
  // also shuts the listening socket, so that serving ends as soon as it would begin.
  impl_->stopping = true;
  if (impl_->socket >= 0) ::shutdown(impl_->socket, SHUT_RDWR);
  impl_->server.stop();
}

}  // namespace studio::http
