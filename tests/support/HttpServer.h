#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// What the server saw of one request.
struct HttpRequestRecord {
  std::string method;
  std::string target;  // path and query as sent
  std::string path;
  std::string query;  // without its '?'
  std::string headers;  // the header lines after the request line, CR LF separated
};

// How the server answers one request.
struct HttpReply {
  int status = 200;
  std::string body;
  bool chunked = false;
  size_t chunkSize = 1000;
  std::string location;         // sent as a Location header when not empty
  unsigned headerDelayMs = 0;   // wait before the status line
  size_t stallAfterBytes = 0;   // with stallMs: body bytes sent before the pause
  unsigned stallMs = 0;
};

using HttpHandler = std::function<HttpReply(const HttpRequestRecord&)>;

// A plain HTTP/1.1 server on 127.0.0.1 and an ephemeral port, inside the test
// process. Every connection gets its own thread and is closed after one reply.
// Unknown paths get 404.
// Sockets are kept as uintptr_t so this header does not pull in Winsock.
class LoopbackHttpServer {
 public:
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  bool ok() const { return listening; }
  unsigned short port() const { return boundPort; }
  // "http://127.0.0.1:<port>" + pathAndQuery.
  std::wstring Url(const std::string& pathAndQuery) const;

  void Route(const std::string& path, const HttpReply& reply);
  void Handle(const std::string& path, HttpHandler handler);
  std::vector<HttpRequestRecord> Requests() const;

 private:
  void AcceptLoop();
  void Serve(uintptr_t client);
  bool ReadRequest(uintptr_t client, HttpRequestRecord& request);
  bool SendAll(uintptr_t client, const std::string& bytes);
  // Sleeps, waking early when the server stops; false once stopping.
  bool Pause(unsigned milliseconds);

  uintptr_t listener = ~uintptr_t(0);
  unsigned short boundPort = 0;
  bool listening = false;
  bool winsockStarted = false;
  std::thread acceptThread;

  mutable std::mutex mutex;
  std::condition_variable stopSignal;
  bool stopping = false;
  std::map<std::string, HttpHandler> handlers;
  std::vector<HttpRequestRecord> requests;
  std::set<uintptr_t> clients;
  std::vector<std::thread> connectionThreads;
};

// The value of one request header (name compared without case), or empty.
std::string HeaderValue(const HttpRequestRecord& request, const std::string& name);
// Decodes %XX sequences (and '+' as a space) of a query value.
std::string PercentDecode(const std::string& text);
// The raw value of name=value in a query, or empty.
std::string QueryParameter(const std::string& query, const std::string& name);

}  // namespace testing_support
