#include "support/HttpTestServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "net/ConnectOverrides.h"

namespace velkor::test {
namespace {

constexpr std::chrono::milliseconds kRequestWait{10000};
constexpr std::chrono::milliseconds kGateWait{30000};

void SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

// The Content-Length a request header announces (field name in any letter case); 0 when none.
std::size_t ContentLength(const std::string& head) {
  std::string lower = head;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string field = "\r\ncontent-length:";
  const std::size_t at = lower.find(field);
  if (at == std::string::npos) return 0;
  return static_cast<std::size_t>(std::strtoull(head.c_str() + at + field.size(), nullptr, 10));
}

}  // namespace

std::string HttpTestServer::ClosingAnswer(std::string_view status, std::string_view body,
                                          std::string_view fields) {
  return "HTTP/1.1 " + std::string(status) + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n" + std::string(fields) + "Connection: close\r\n\r\n" + std::string(body);
}

HttpTestServer::Script& HttpTestServer::Script::ReadRequest() {
  steps_.push_back({Step::Kind::kReadRequest, {}, 0, {}, nullptr});
  return *this;
}

HttpTestServer::Script& HttpTestServer::Script::Send(std::string bytes) {
  steps_.push_back({Step::Kind::kSend, std::move(bytes), 0, {}, nullptr});
  return *this;
}

HttpTestServer::Script& HttpTestServer::Script::SendInPieces(std::string bytes,
                                                             std::size_t pieceSize,
                                                             std::chrono::milliseconds delay) {
  steps_.push_back({Step::Kind::kSend, std::move(bytes), pieceSize, delay, nullptr});
  return *this;
}

HttpTestServer::Script& HttpTestServer::Script::Pause(std::chrono::milliseconds delay) {
  steps_.push_back({Step::Kind::kPause, {}, 0, delay, nullptr});
  return *this;
}

HttpTestServer::Script& HttpTestServer::Script::Hold(std::shared_ptr<Gate> gate) {
  steps_.push_back({Step::Kind::kHold, {}, 0, {}, std::move(gate)});
  return *this;
}

void HttpTestServer::Gate::Open() {
  std::lock_guard lock(mutex_);
  open_ = true;
  changed_.notify_all();
}

void HttpTestServer::Gate::OpenAndWait() {
  std::unique_lock lock(mutex_);
  open_ = true;
  changed_.notify_all();
  changed_.wait_for(lock, kGateWait, [this] { return played_; });
}

bool HttpTestServer::Gate::WaitUntilOpen(int stopFd) {
  const auto deadline = std::chrono::steady_clock::now() + kGateWait;
  std::unique_lock lock(mutex_);
  while (!open_) {
    pollfd stop{stopFd, POLLIN, 0};
    if (::poll(&stop, 1, 0) != 0 || std::chrono::steady_clock::now() >= deadline) return false;
    changed_.wait_for(lock, std::chrono::milliseconds(10));
  }
  return true;
}

void HttpTestServer::Gate::MarkPlayed() {
  std::lock_guard lock(mutex_);
  played_ = true;
  changed_.notify_all();
}

HttpTestServer::Script& HttpTestServer::Script::Close() {
  steps_.push_back({Step::Kind::kClose, {}, 0, {}, nullptr});
  return *this;
}

HttpTestServer::HttpTestServer() {
  if (::pipe2(stopPipe_, O_CLOEXEC) != 0) ADD_FAILURE() << "pipe failed";
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listenFd_, 16) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ADD_FAILURE() << "the test server cannot listen";
    return;
  }
  port_ = ntohs(address.sin_port);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
  if (stopPipe_[1] >= 0) {
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(stopPipe_[1], &byte, 1);
  }
  if (acceptThread_.joinable()) acceptThread_.join();
  for (std::thread& thread : connectionThreads_) thread.join();
  if (listenFd_ >= 0) ::close(listenFd_);
  for (int fd : stopPipe_) {
    if (fd >= 0) ::close(fd);
  }
}

void HttpTestServer::AddConnection(Script script) {
  std::lock_guard lock(mutex_);
  scripts_.push_back(std::move(script));
}

void HttpTestServer::Route(const std::string& host) const {
  Outcome added = AddConnectOverrides({host + "=127.0.0.1:" + std::to_string(port_)});
  if (!added.IsOk()) {
    ADD_FAILURE() << added.Reason();
  }
}

std::vector<HttpTestServer::Request> HttpTestServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

int HttpTestServer::AcceptedConnections() const {
  std::lock_guard lock(mutex_);
  return accepted_;
}

bool HttpTestServer::Sleep(std::chrono::milliseconds delay) const {
  pollfd stop{stopPipe_[0], POLLIN, 0};
  return ::poll(&stop, 1, static_cast<int>(delay.count())) == 0;
}

void HttpTestServer::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::lock_guard lock(mutex_);
    int connection = accepted_++;
    if (static_cast<std::size_t>(connection) >= scripts_.size()) {
      ::close(fd);
      continue;
    }
    connectionThreads_.emplace_back(
        [this, fd, connection, script = scripts_[static_cast<std::size_t>(connection)]] {
          Play(fd, connection, script);
        });
  }
}

void HttpTestServer::Play(int fd, int connection, Script script) {
  std::string pending;
  bool closed = false;
  std::shared_ptr<Gate> passed;  // the last gate held at, whose steps are being played
  // Reads what the client sends into `pending`; false when it closed or the server stops.
  auto readMore = [&](std::chrono::milliseconds wait) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(fds, 2, static_cast<int>(wait.count())) <= 0 || fds[1].revents != 0) return false;
    char buffer[4096];
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(n));
    return true;
  };
  for (const Script::Step& step : script.steps_) {
    if (closed) break;
    switch (step.kind) {
      case Script::Step::Kind::kReadRequest: {
        auto deadline = std::chrono::steady_clock::now() + kRequestWait;
        std::size_t end;
        while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
          auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
              deadline - std::chrono::steady_clock::now());
          if (left.count() <= 0 || !readMore(left)) {
            closed = true;
            break;
          }
        }
        if (closed) break;
        const std::string head = pending.substr(0, end + 4);
        pending.erase(0, end + 4);
        const std::size_t length = ContentLength(head);
        while (pending.size() < length) {
          auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
              deadline - std::chrono::steady_clock::now());
          if (left.count() <= 0 || !readMore(left)) break;
        }
        std::string body = pending.substr(0, length);
        pending.erase(0, body.size());
        std::lock_guard lock(mutex_);
        requests_.push_back({connection, head, std::move(body)});
        break;
      }
      case Script::Step::Kind::kSend: {
        std::size_t piece = step.pieceSize == 0 ? step.bytes.size() : step.pieceSize;
        for (std::size_t at = 0; at < step.bytes.size() && !closed; at += piece) {
          if (at > 0 && !Sleep(step.delay)) closed = true;
          if (!closed) SendAll(fd, std::string_view(step.bytes).substr(at, piece));
        }
        break;
      }
      case Script::Step::Kind::kPause:
        if (!Sleep(step.delay)) closed = true;
        break;
      case Script::Step::Kind::kClose:
        closed = true;
        break;
      case Script::Step::Kind::kHold:
        if (passed) passed->MarkPlayed();
        passed = step.gate;
        if (!passed->WaitUntilOpen(stopPipe_[0])) closed = true;
        break;
    }
  }
  if (passed) passed->MarkPlayed();
  // Without Close the connection stays open until the client closes it or the server stops.
  while (!closed && readMore(std::chrono::milliseconds(60000))) pending.clear();
  ::close(fd);
}

}  // namespace velkor::test
