// The floor of the board path: the same request and answer frames as a job, exchanged over a
// UNIX socket pair with a second process that answers from a script. No bus, no handles, no board.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <vector>

#include "vbus/protocol.h"

namespace bench {

// One request frame and the frames that answer it, each encoded whole.
struct Exchange {
    vbus::Bytes request;
    vbus::Bytes first;                // sent at once (an ACCEPTED), read by SendRequest
    vbus::Bytes answer;               // the answering frames, back to back
    bool answerAfterTrigger = false;  // the answer waits for a byte on the trigger pipe
};

class FloorPeer {
  public:
    // Forks the answering process. It only reads and writes its sockets, so forking a process
    // with threads running is safe.
    explicit FloorPeer(std::vector<Exchange> script);
    ~FloorPeer();
    FloorPeer(const FloorPeer&) = delete;
    FloorPeer& operator=(const FloorPeer&) = delete;

    // Plays the whole script once from the client's side.
    void RunScript();
    // Exchange `i` in two halves: send its request (and read its first answer); then trigger
    // and read the rest.
    void SendRequest(std::size_t i);
    void TriggerAndReceive(std::size_t i);

  private:
    std::vector<Exchange> script_;
    int socket_ = -1;
    int trigger_ = -1;
    pid_t child_ = -1;
};

}  // namespace bench
