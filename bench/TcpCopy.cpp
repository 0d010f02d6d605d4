// A plain TCP copy, the yardstick for the upload benchmark: the receiver
// writes what arrives to a file as the server does; the sender writes the
// file in pieces of a set size, with no protocol at all.
//
//   dwl_tcp_copy receive OUT          listens on 127.0.0.1 (the system picks the
//                                     port, printed first), takes one connection
//   dwl_tcp_copy send PORT FILE PIECE sends FILE to 127.0.0.1:PORT in PIECE-byte writes
// Exit status: 0 on success, 1 on failure, 2 for wrong usage.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "apps/CommandLine.h"

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

int Receive(const std::string& outPath) {
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
  return out ? 0 : Fail("write " + outPath);
}

int Send(std::uint16_t port, const std::string& path, std::size_t size) {
  const int connection = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = Loopback(port);
  if (connection < 0 ||
      ::connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return Fail("connect");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail("open " + path);
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
  CLI::App app("A plain TCP copy over loopback, the yardstick for the upload benchmark.", "dwl_tcp_copy");
  app.require_subcommand(1);
  std::string outPath;
  CLI::App* receive = app.add_subcommand(
      "receive", "listen on 127.0.0.1 (the system picks the port, printed first),\n"
                 "take one connection and write what arrives to OUT");
  receive->add_option("OUT", outPath, "the file to write")->type_name("")->required();
  std::uint16_t port = 0;
  std::string path;
  std::size_t piece = 0;
  CLI::App* send = app.add_subcommand("send", "send FILE to 127.0.0.1:PORT in PIECE-byte writes");
  send->add_option("PORT", port, "the receiver's port")->type_name("")->required()->transform(
      dwl::cli::WholeNumber(1, 65535));
  send->add_option("FILE", path, "the file to send")->type_name("")->required();
  send->add_option("PIECE", piece, "bytes per write")->type_name("")->required()->transform(
      dwl::cli::WholeNumber(std::size_t{1}, std::size_t{1} << 30));
  if (const auto done = dwl::cli::Parse(app, dwl::cli::Arguments(argv + 1, argv + argc), std::cout, std::cerr)) {
    return *done;
  }
  return *receive ? Receive(outPath) : Send(port, path, piece);
}
