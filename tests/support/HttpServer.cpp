#include <winsock2.h>
#include <ws2tcpip.h>

#include "tests/support/HttpServer.h"

namespace testing_support {

namespace {

constexpr size_t kRequestHeaderLimit = 1 << 20;

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 304: return "Not Modified";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

bool StatusHasNoBody(int status) { return status == 204 || status == 304 || (status >= 100 && status < 200); }

std::string EncodeChunked(const std::string& body, size_t chunkSize) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (size_t offset = 0; offset < body.size(); offset += chunkSize) {
    const size_t length = body.size() - offset < chunkSize ? body.size() - offset : chunkSize;
    std::string size;
    for (size_t v = length; v != 0; v >>= 4) size.insert(size.begin(), kHex[v & 0xF]);
    out += size + "\r\n";
    out.append(body, offset, length);
    out += "\r\n";
  }
  out += "0\r\n\r\n";
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
  winsockStarted = true;

  const SOCKET socketHandle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socketHandle == INVALID_SOCKET) return;
  listener = static_cast<uintptr_t>(socketHandle);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (bind(socketHandle, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) return;
  int length = sizeof(address);
  if (getsockname(socketHandle, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
  boundPort = ntohs(address.sin_port);
  if (listen(socketHandle, SOMAXCONN) != 0) return;
  listening = true;
  acceptThread = std::thread([this] { AcceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
    // Wakes connection threads blocked in recv or send.
    for (const uintptr_t client : clients) shutdown(static_cast<SOCKET>(client), SD_BOTH);
  }
  stopSignal.notify_all();
  if (static_cast<SOCKET>(listener) != INVALID_SOCKET) closesocket(static_cast<SOCKET>(listener));
  if (acceptThread.joinable()) acceptThread.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex);
    threads.swap(connectionThreads);
  }
  for (std::thread& thread : threads) thread.join();
  if (winsockStarted) WSACleanup();
}

std::wstring LoopbackHttpServer::Url(const std::string& pathAndQuery) const {
  std::wstring url = L"http://127.0.0.1:" + std::to_wstring(boundPort);
  for (const char c : pathAndQuery) url += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return url;
}

void LoopbackHttpServer::Route(const std::string& path, const HttpReply& reply) {
  Handle(path, [reply](const HttpRequestRecord&) { return reply; });
}

void LoopbackHttpServer::Handle(const std::string& path, HttpHandler handler) {
  std::lock_guard<std::mutex> lock(mutex);
  handlers[path] = std::move(handler);
}

std::vector<HttpRequestRecord> LoopbackHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex);
  return requests;
}

void LoopbackHttpServer::AcceptLoop() {
  for (;;) {
    const SOCKET accepted = accept(static_cast<SOCKET>(listener), nullptr, nullptr);
    if (accepted == INVALID_SOCKET) return;
    const uintptr_t client = static_cast<uintptr_t>(accepted);
    std::lock_guard<std::mutex> lock(mutex);
    if (stopping) {
      closesocket(accepted);
      return;
    }
    clients.insert(client);
    connectionThreads.emplace_back([this, client] { Serve(client); });
  }
}

bool LoopbackHttpServer::Pause(unsigned milliseconds) {
  std::unique_lock<std::mutex> lock(mutex);
  stopSignal.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stopping; });
  return !stopping;
}

bool LoopbackHttpServer::ReadRequest(uintptr_t client, HttpRequestRecord& request) {
  std::string received;
  char buffer[4096];
  size_t headerEnd = std::string::npos;
  while ((headerEnd = received.find("\r\n\r\n")) == std::string::npos) {
    if (received.size() > kRequestHeaderLimit) return false;
    const int count = recv(static_cast<SOCKET>(client), buffer, sizeof(buffer), 0);
    if (count <= 0) return false;
    received.append(buffer, static_cast<size_t>(count));
  }
  const size_t lineEnd = received.find("\r\n");
  const std::string line = received.substr(0, lineEnd);
  const size_t firstSpace = line.find(' ');
  const size_t secondSpace = line.find(' ', firstSpace + 1);
  if (firstSpace == std::string::npos || secondSpace == std::string::npos) return false;
  request.method = line.substr(0, firstSpace);
  request.target = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
  const size_t question = request.target.find('?');
  request.path = request.target.substr(0, question);
  request.query = question == std::string::npos ? std::string() : request.target.substr(question + 1);
  request.headers = received.substr(lineEnd + 2, headerEnd - lineEnd);
  return true;
}

bool LoopbackHttpServer::SendAll(uintptr_t client, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const size_t left = bytes.size() - sent;
    const int piece = left > 65536 ? 65536 : static_cast<int>(left);
    const int count = send(static_cast<SOCKET>(client), bytes.data() + sent, piece, 0);
    if (count <= 0) return false;
    sent += static_cast<size_t>(count);
  }
  return true;
}

void LoopbackHttpServer::Serve(uintptr_t client) {
  const SOCKET socketHandle = static_cast<SOCKET>(client);
  DWORD receiveTimeoutMs = 10000;
  setsockopt(socketHandle, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receiveTimeoutMs),
             sizeof(receiveTimeoutMs));

  HttpRequestRecord request;
  if (ReadRequest(client, request)) {
    HttpHandler handler;
    {
      std::lock_guard<std::mutex> lock(mutex);
      requests.push_back(request);
      const auto found = handlers.find(request.path);
      if (found != handlers.end()) handler = found->second;
    }
    HttpReply reply;
    if (handler) {
      reply = handler(request);
    } else {
      reply.status = 404;
      reply.body = "no route";
    }

    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + ReasonPhrase(reply.status) + "\r\n";
    std::string payload;
    if (!StatusHasNoBody(reply.status)) {
      if (reply.chunked) {
        head += "Transfer-Encoding: chunked\r\n";
        payload = EncodeChunked(reply.body, reply.chunkSize == 0 ? 1 : reply.chunkSize);
      } else {
        head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
        payload = reply.body;
      }
    }
    if (!reply.location.empty()) head += "Location: " + reply.location + "\r\n";
    head += "Content-Type: application/json\r\nConnection: close\r\n\r\n";

    bool ok = reply.headerDelayMs == 0 || Pause(reply.headerDelayMs);
    ok = ok && SendAll(client, head);
    if (ok && reply.stallMs != 0 && reply.stallAfterBytes < payload.size()) {
      ok = SendAll(client, payload.substr(0, reply.stallAfterBytes)) && Pause(reply.stallMs) &&
           SendAll(client, payload.substr(reply.stallAfterBytes));
    } else if (ok) {
      SendAll(client, payload);
    }
    shutdown(socketHandle, SD_SEND);
  }

  std::lock_guard<std::mutex> lock(mutex);
  clients.erase(client);
  closesocket(socketHandle);
}

std::string HeaderValue(const HttpRequestRecord& request, const std::string& name) {
  const auto lower = [](std::string text) {
    for (char& c : text) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return text;
  };
  size_t start = 0;
  while (start < request.headers.size()) {
    size_t end = request.headers.find("\r\n", start);
    if (end == std::string::npos) end = request.headers.size();
    const std::string line = request.headers.substr(start, end - start);
    const size_t colon = line.find(':');
    if (colon != std::string::npos && lower(line.substr(0, colon)) == lower(name)) {
      size_t value = colon + 1;
      while (value < line.size() && line[value] == ' ') ++value;
      return line.substr(value);
    }
    start = end + 2;
  }
  return std::string();
}

std::string PercentDecode(const std::string& text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else if (text[i] == '+') {
      decoded += ' ';
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

std::string QueryParameter(const std::string& query, const std::string& name) {
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(start, end - start);
    const size_t eq = pair.find('=');
    if (pair.substr(0, eq) == name) return eq == std::string::npos ? std::string() : pair.substr(eq + 1);
    start = end + 1;
  }
  return std::string();
}

}  // namespace testing_support
