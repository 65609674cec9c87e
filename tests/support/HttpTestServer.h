#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace velkor::test {

// A scriptable HTTP server on a free loopback port, for protocol cases that a real server does not
// produce on demand. Each accepted connection plays the next script given to AddConnection: read a
// request, send exact bytes (whole or in pieces, with delays), pause, close early. A connection
// whose script ends without Close stays open until the client closes it or the server stops;
// connections beyond the scripts given are closed at once. Every request read is captured. All
// waits are bounded and end when the server is destroyed, which stops and joins every thread.
//
//   HttpTestServer server;
//   server.AddConnection(HttpTestServer::Script().ReadRequest().Send("HTTP/1.1 200 OK\r\n..."));
//   server.Route("example.test");   // connections to example.test go to this server
//   ... FetchFull(session, "http://example.test/x", ...);
//   EXPECT_EQ(server.Requests()[0].bytes, "GET /x HTTP/1.1\r\n...");
class HttpTestServer {
 public:
  // An answer that closes its connection: "HTTP/1.1 " and `status`, the body's Content-Length,
  // `fields` (each line ending in CR LF), "Connection: close", a blank line and the body.
  static std::string ClosingAnswer(std::string_view status, std::string_view body,
                                   std::string_view fields = {});

  // Holds a connection's script at a Hold step until the test opens it, so a test can act before
  // the server answers instead of racing a pause. Both sides wait at most 30 s.
  class Gate {
   public:
    void Open();
    // Opens the gate and returns once the steps after the hold have been played (up to the next
    // hold, a close or the end of the script): what they send is then in the client's socket. The
    // client must have sent what those steps read.
    void OpenAndWait();

   private:
    friend class HttpTestServer;
    bool WaitUntilOpen(int stopFd);  // false when the server stops or the time runs out
    void MarkPlayed();

    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    bool played_ = false;
  };

  class Script {
   public:
    // Waits (at most 10 s) until a request header has arrived (up to its blank line) and captures
    // it, with the body that its Content-Length announces (as much of it as arrives in that time).
    Script& ReadRequest();
    // Sends the bytes at once.
    Script& Send(std::string bytes);
    // Sends the bytes in pieces of `pieceSize`, pausing `delay` before every piece after the first.
    Script& SendInPieces(std::string bytes, std::size_t pieceSize,
                         std::chrono::milliseconds delay = std::chrono::milliseconds(20));
    // Does nothing for this long.
    Script& Pause(std::chrono::milliseconds delay);
    // Waits until the test opens the gate.
    Script& Hold(std::shared_ptr<Gate> gate);
    // Closes the connection (what follows in the script is not played).
    Script& Close();

   private:
    friend class HttpTestServer;
    struct Step {
      enum class Kind { kReadRequest, kSend, kPause, kClose, kHold } kind;
      std::string bytes;
      std::size_t pieceSize = 0;
      std::chrono::milliseconds delay{0};
      std::shared_ptr<Gate> gate;
    };
    std::vector<Step> steps_;
  };

  struct Request {
    int connection;     // 0 for the first accepted connection, and so on
    std::string bytes;  // the request header including its blank line
    std::string body;   // the body its Content-Length announced (any letter case)
  };

  HttpTestServer();
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  // The script for the next connection that has none yet.
  void AddConnection(Script script);
  // Makes the program connect to this server for `host` (a connect override, as --connect-to does).
  void Route(const std::string& host) const;
  unsigned short Port() const { return port_; }
  std::vector<Request> Requests() const;
  int AcceptedConnections() const;

 private:
  void AcceptLoop();
  void Play(int fd, int connection, Script script);
  bool Sleep(std::chrono::milliseconds delay) const;  // false when the server stops meanwhile

  int listenFd_ = -1;
  int stopPipe_[2] = {-1, -1};
  unsigned short port_ = 0;
  mutable std::mutex mutex_;
  std::vector<Script> scripts_;
  std::vector<Request> requests_;
  int accepted_ = 0;
  std::vector<std::thread> connectionThreads_;
  std::thread acceptThread_;
};

}  // namespace velkor::test
