// The faults of the TCP byte stream as a plan the endpoint consults: counted
// cuts after requests or data packets, and the shape of each frame written.
// Thread-safe: connections, the late-reply thread and the event pusher all
// write frames while tests change the faults.
#pragma once

#include <cstdint>
#include <mutex>

#include "termsim/simulator.h"

namespace termsim {

class StreamFaultPlan {
 public:
  enum class Cut { kNone, kClose, kReset };

  // Counted faults count from here; each cut fires once and is then off.
  void Set(const StreamFaults& faults);
  // What is still to come (a cut that fired reads 0).
  StreamFaults Get() const;

  // A request arrived: whether its connection is to go, leaving it unanswered.
  Cut OnRequest();
  // A data packet went out: true when the connection is to be reset now.
  bool OnDataPacket();

  struct FrameShape {
    bool bad_magic = false;
    bool oversize = false;
  };
  // The shape of the next frame written (counts down what it uses).
  FrameShape NextFrame();

  struct Writing {
    uint32_t split_bytes = 0;
    uint32_t split_pause_ms = 0;
    bool coalesce = false;
  };
  Writing writing() const;
  bool refuse() const;
  void set_refuse(bool refuse);

 private:
  mutable std::mutex mu_;
  StreamFaults faults_;
};

}  // namespace termsim
