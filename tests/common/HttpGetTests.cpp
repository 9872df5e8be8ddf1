#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>

#include "common/Http.h"
#include "common/Version.h"
#include "tests/support/HttpServer.h"

using testing_support::HttpReply;
using testing_support::LoopbackHttpServer;

namespace {

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

HttpReply Reply(int status, const std::string& body, bool chunked = false) {
  HttpReply reply;
  reply.status = status;
  reply.body = body;
  reply.chunked = chunked;
  return reply;
}

// A port on which nothing listens: bound but never listening, and held for
// the test's length so that no other program can take it meanwhile.
class ClosedPort {
 public:
  ClosedPort() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    socketHandle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (bind(socketHandle, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(socketHandle, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      portNumber = ntohs(address.sin_port);
    }
  }
  ~ClosedPort() {
    if (socketHandle != INVALID_SOCKET) closesocket(socketHandle);
    WSACleanup();
  }
  ClosedPort(const ClosedPort&) = delete;
  ClosedPort& operator=(const ClosedPort&) = delete;
  unsigned short port() const { return portNumber; }

 private:
  SOCKET socketHandle = INVALID_SOCKET;
  unsigned short portNumber = 0;
};

}  // namespace

TEST(Http_HttpGetUrl, StatusAndBodyRules) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.ok());
  struct Case {
    const char* path;
    HttpReply reply;
    bool expected;
  };
  const std::string limit = Pattern(kHttpBodyLimit);
  const std::string overLimit = Pattern(kHttpBodyLimit + 1);
  const Case cases[] = {
      {"/empty", Reply(200, ""), true},
      {"/small", Reply(200, "{\"ok\":true}"), true},
      {"/exact", Reply(200, limit), true},
      {"/over", Reply(200, overLimit), false},
      {"/exact-chunked", Reply(200, limit, true), true},
      {"/over-chunked", Reply(200, overLimit, true), false},
      {"/huge", Reply(200, Pattern(300000)), false},
      {"/no-content", Reply(204, ""), true},
      {"/accepted", Reply(202, "queued"), true},
      {"/not-modified", Reply(304, ""), false},
      {"/missing", Reply(404, "not here"), false},
      {"/broken", Reply(500, "{\"ok\":true}"), false},
      {"/multiple-choices", Reply(300, "choices"), false},
  };
  for (const Case& c : cases) server.Route(c.path, c.reply);

  for (const Case& c : cases) {
    std::string body = "left over from before";
    const bool result = HttpGetUrl(server.Url(c.path), &body);
    EXPECT_EQ(result, c.expected) << c.path;
    if (c.expected) {
      EXPECT_EQ(body, c.reply.body) << c.path;
    }
  }
}

TEST(Http_HttpGetUrl, SendsPathQueryAndAgent) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.ok());
  server.Route("/a/b%20c", Reply(200, "ok"));
  std::string body;
  ASSERT_TRUE(HttpGetUrl(server.Url("/a/b%20c?x=1&y=%2B"), &body));
  EXPECT_EQ(body, "ok");

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].path, "/a/b%20c");
  EXPECT_EQ(requests[0].query, "x=1&y=%2B");
  std::string agent = "TolvaneWin/";
  for (const wchar_t* p = kAppVersion; *p != L'\0'; ++p) agent += static_cast<char>(*p);
  EXPECT_EQ(testing_support::HeaderValue(requests[0], "User-Agent"), agent);
}

TEST(Http_HttpGetUrl, FollowsRedirectsAndTheFinalReplyDecides) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.ok());
  HttpReply moved = Reply(302, "");
  moved.location = "/final";
  server.Route("/start", moved);
  server.Route("/final", Reply(200, "arrived"));
  HttpReply toMissing = Reply(301, "");
  toMissing.location = "/gone";
  server.Route("/to-missing", toMissing);

  std::string body;
  EXPECT_TRUE(HttpGetUrl(server.Url("/start"), &body));
  EXPECT_EQ(body, "arrived");
  EXPECT_FALSE(HttpGetUrl(server.Url("/to-missing"), &body));

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].path, "/start");
  EXPECT_EQ(requests[1].path, "/final");
  EXPECT_EQ(requests[2].path, "/to-missing");
  EXPECT_EQ(requests[3].path, "/gone");
}

TEST(Http_HttpGetUrl, OverlongUrlPartsFailBeforeAnyRequest) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.ok());
  // The path buffer holds 2 047 characters and a terminator.
  const std::string longestPath = "/" + std::string(2046, 'p');
  server.Route(longestPath, Reply(200, "fits"));
  std::string body;
  EXPECT_TRUE(HttpGetUrl(server.Url(longestPath), &body));
  EXPECT_EQ(body, "fits");

  // The extra buffer holds 32 767 characters, the '?' included.
  server.Route("/q", Reply(200, "query fits"));
  EXPECT_TRUE(HttpGetUrl(server.Url("/q?" + std::string(32766, 'q')), &body));
  EXPECT_EQ(body, "query fits");

  EXPECT_FALSE(HttpGetUrl(server.Url(longestPath + "p"), &body));
  EXPECT_FALSE(HttpGetUrl(server.Url("/q?" + std::string(32767, 'q')), &body));
  EXPECT_FALSE(HttpGetUrl(L"ftp://127.0.0.1/file", &body));
  EXPECT_FALSE(HttpGetUrl(L"not a url", &body));
  EXPECT_FALSE(HttpGetUrl(L"", &body));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].query.size(), 32766u);
}

TEST(Http_HttpGetUrl, UnreachablePortFailsQuickly) {
  const ClosedPort closed;
  const unsigned short port = closed.port();
  ASSERT_NE(port, 0);
  std::string body;
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(HttpGetUrl(L"http://127.0.0.1:" + std::to_wstring(port) + L"/", &body));
  EXPECT_LT(GetTickCount64() - start, 2500u);
}

TEST(Http_HttpGetUrl, BodyStallIsBoundedByTheTimeout) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.ok());
  HttpReply stalling = Reply(200, Pattern(20000));
  stalling.stallAfterBytes = 1000;
  stalling.stallMs = 10000;
  server.Route("/stall", stalling);

  std::string body;
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(HttpGetUrl(server.Url("/stall"), &body));
  const ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_GE(elapsed, 2500u);
  EXPECT_LT(elapsed, 8000u);
}
