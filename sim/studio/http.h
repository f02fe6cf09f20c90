// The studio's HTTP server: the one place that uses the HTTP library (Debian's cpp-httplib, a
// compiled library built without our sanitizers). Everything else in the studio sees plain
// requests and responses.
//
// Serving: a fixed pool of threads, one per connection being served; an event stream keeps its
// thread for as long as it is open, so the pool is sized for the streams plus the requests that
// wait for the device. A request is first shown to `admit` with its headers only, before its
// body is read: a refusal answered there costs no body. Bodies longer than `maxBody` are refused
// by the library with 413 before they are read. Slow clients time out (read and write timeouts).
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace studio::http {

struct Request {
  std::string method;  // GET, POST, ...
  std::string path;    // without the query
  std::map<std::string, std::string> query;
  std::multimap<std::string, std::string> headers;  // names as sent; look up with header()
  std::string body;                                 // empty in admit()

  // The first header of that name (case-insensitive), or "".
  std::string header(const std::string& name) const;
  bool hasHeader(const std::string& name) const;
  // A query parameter, or "".
  std::string param(const std::string& name) const;
  bool hasParam(const std::string& name) const { return query.count(name) != 0; }
};

// Writes one piece of a stream; false once the client is gone.
using StreamWrite = std::function<bool(const std::string&)>;

struct Response {
  int status = 200;
  std::string contentType = "application/json";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  // A streamed body (an event stream): called once on the serving thread; it writes for as long
  // as it wants, and returns when it is done or a write failed.
  std::function<void(const StreamWrite&)> stream;
};

struct ServerOptions {
  size_t threads = 64;
  size_t maxBody = 64 * 1024 * 1024;
  int readTimeoutSeconds = 10;
  int writeTimeoutSeconds = 10;
  // The JSON body of an error answer made by the library itself (413, 404 for an unknown
  // method): called with the status.
  std::function<std::string(int status)> errorBody;
};

class Server {
 public:
  using Admit = std::function<std::optional<Response>(const Request&)>;
  using Handle = std::function<Response(const Request&)>;

  Server(const ServerOptions& options, Admit admit, Handle handle);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds to 127.0.0.1 and `port` (0: a free port); answers the port, or -1 with `error`.
  int bind(int port, std::string& error);
  // Serves until stop(); false when serving could not start.
  bool serve();
  // Safe from any thread, and from a signal-watching thread.
  void stop();

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace studio::http
