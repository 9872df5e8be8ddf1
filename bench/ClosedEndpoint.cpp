#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

#include "bench/Bench.h"

namespace bench {

std::wstring ClosedLoopbackEndpoint() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return std::wstring();
  unsigned port = 0;
  // A port the system just handed out and nobody listens on any more.
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (probe != INVALID_SOCKET) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof(address);
    if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port = ntohs(address.sin_port);
    }
    closesocket(probe);
  }
  WSACleanup();
  if (port == 0) return std::wstring();
  return L"http://127.0.0.1:" + std::to_wstring(port) + L"/exec";
}

}  // namespace bench
