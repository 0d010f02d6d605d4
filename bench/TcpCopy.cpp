// A plain TCP copy, the yardstick for the upload benchmark: the receiver
// writes what arrives to a file as the server does; the sender writes the
// file in pieces of a set size, with no protocol at all.
//
//   dwl_tcp_copy receive OUT          listens on 127.0.0.1 (the system picks the
//                                     port, printed first), takes one connection
//   dwl_tcp_copy send PORT FILE PIECE sends FILE to 127.0.0.1:PORT in PIECE-byte writes
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

int Fail(const std::string& what) {
  std::cerr << "dwl_tcp_copy: " << what << ": " << std::strerror(errno) << "\n";
  return 1;
}

sockaddr_in Loopback(unsigned short port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int Receive(const char* outPath) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 1) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return Fail("listen");
  }
  std::cout << "port " << ntohs(address.sin_port) << std::endl;
  const int connection = ::accept(listener, nullptr, nullptr);
  if (connection < 0) return Fail("accept");
  std::ofstream out(outPath, std::ios::binary);
  // The server's read buffer is as large.
  std::vector<char> buffer(64 * 1024);
  long long total = 0;
  for (;;) {
    const ssize_t got = ::read(connection, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Fail("read");
    if (got == 0) break;
    out.write(buffer.data(), got);
    total += got;
  }
  out.close();
  ::close(connection);
  ::close(listener);
  std::cout << "received " << total << std::endl;
  return out ? 0 : Fail("write " + std::string(outPath));
}

int Send(const char* port, const char* path, const char* piece) {
  const std::size_t size = std::strtoul(piece, nullptr, 10);
  if (size == 0) return Fail("piece size");
  const int connection = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = Loopback(static_cast<unsigned short>(std::atoi(port)));
  if (connection < 0 ||
      ::connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return Fail("connect");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(std::string("open ") + path);
  std::vector<char> buffer(size);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(size));
    const char* next = buffer.data();
    std::size_t left = static_cast<std::size_t>(in.gcount());
    while (left > 0) {
      const ssize_t written = ::write(connection, next, left);
      if (written < 0 && errno == EINTR) continue;
      if (written < 0) return Fail("write");
      next += written;
      left -= static_cast<std::size_t>(written);
    }
  }
  ::shutdown(connection, SHUT_WR);
  char end;
  while (::read(connection, &end, 1) > 0) {
  }
  ::close(connection);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "receive" && argc == 3) return Receive(argv[2]);
  if (command == "send" && argc == 5) return Send(argv[2], argv[3], argv[4]);
  std::cerr << "usage: dwl_tcp_copy receive OUT | dwl_tcp_copy send PORT FILE PIECE\n";
  return 2;
}
