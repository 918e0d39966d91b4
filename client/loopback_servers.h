// Finger servers on loopback for the client's tests, written straight on
// the system's sockets so that they share no code with the platform's
// winsock. Every wait in them is bounded, and a destructor always ends its
// thread, so a test that goes wrong fails instead of hanging.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace loopback {

// One piece of an answer, sent after a pause.
struct Piece {
  std::string bytes;
  int pauseBeforeMs = 0;
};

enum class Ending {
  Close,  // close the connection after the last piece, as RFC 1288 says
  Hold,   // keep it open, silent, until Release() or the client goes away
};

// Serves one connection: reads the request line, sends the pieces, ends as
// asked, and records every byte the client sent until it closed.
class FingerServer {
 public:
  // address is dotted; port 0 takes a free one. ok() tells whether it
  // listens (a given port may be taken).
  FingerServer(const std::string& address, unsigned short port,
               std::vector<Piece> answer, Ending ending = Ending::Close);
  ~FingerServer();
  FingerServer(const FingerServer&) = delete;
  FingerServer& operator=(const FingerServer&) = delete;

  bool ok() const { return listener_ >= 0; }
  unsigned short port() const { return port_; }
  // Waits until the connection is over; returns what the client sent, or
  // "<no connection>" when none came within timeoutMs.
  std::string WaitForRequest(int timeoutMs = 15000);
  // Whether a client has connected so far.
  bool Connected();
  // Ends a held connection now.
  void Release();

 private:
  void Serve();
  bool Stopping();
  bool PauseFor(int milliseconds);

  int listener_ = -1;
  unsigned short port_ = 0;
  std::vector<Piece> answer_;
  Ending ending_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  bool released_ = false;
  bool connected_ = false;
  bool done_ = false;
  std::string request_;
  std::thread thread_;
};

// A port on 127.0.0.1 that refuses connections: bound, so that nobody else
// takes it, but not listening.
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  unsigned short port() const { return port_; }

 private:
  int socket_ = -1;
  unsigned short port_ = 0;
};

// A listener on 127.0.0.1 whose accept queue is full and stays full, so
// the system drops a new connection's opening segment and the connecting
// side waits, as it would for a machine that does not answer.
class FullListener {
 public:
  FullListener();
  ~FullListener();
  FullListener(const FullListener&) = delete;
  FullListener& operator=(const FullListener&) = delete;
  bool ok() const { return ok_; }
  unsigned short port() const { return port_; }

 private:
  int listener_ = -1;
  std::vector<int> fillers_;
  unsigned short port_ = 0;
  bool ok_ = false;
};

// Lines "line 00001 ...." CR LF, numbered, of total length size.
std::string NumberedLines(std::size_t size);

}  // namespace loopback
