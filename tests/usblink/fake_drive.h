// A drive file in memory for the USB transport's tests: it holds the bytes
// a terminal would find, counts accesses, fails on demand and can answer
// each request the way a terminal would.
#pragma once

#include <cerrno>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

#include "drive_file.h"

namespace usblinktest {

class FakeDrive final : public usblink::DriveFile {
 public:
  // Called after each write with the bytes written; returns what the file
  // holds next (the terminal's answer), or nothing to keep the write.
  using Responder = std::function<std::vector<uint8_t>(const std::vector<uint8_t>& written)>;

  struct State {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(1536, 0);
    int reads = 0;
    int writes = 0;
    int flushes = 0;
    int read_error = 0;   // errno the next reads fail with (0: none)
    int write_error = 0;
    Responder responder;
  };

  explicit FakeDrive(std::shared_ptr<State> state) : s_(std::move(state)) {}

  int Read(std::span<uint8_t> out) override {
    std::lock_guard lock(mu());
    ++s_->reads;
    if (s_->read_error != 0) return -s_->read_error;
    const size_t n = std::min(out.size(), s_->bytes.size());
    std::fill(out.begin(), out.end(), uint8_t{0});
    std::copy(s_->bytes.begin(), s_->bytes.begin() + static_cast<long>(n), out.begin());
    return static_cast<int>(n);
  }
  int Write(std::span<const uint8_t> bytes) override {
    std::lock_guard lock(mu());
    ++s_->writes;
    if (s_->write_error != 0) return -s_->write_error;
    if (s_->bytes.size() < bytes.size()) s_->bytes.resize(bytes.size());
    std::copy(bytes.begin(), bytes.end(), s_->bytes.begin());
    if (s_->responder) {
      auto next = s_->responder(std::vector<uint8_t>(bytes.begin(), bytes.end()));
      if (!next.empty()) {
        if (s_->bytes.size() < next.size()) s_->bytes.resize(next.size());
        std::copy(next.begin(), next.end(), s_->bytes.begin());
      }
    }
    return static_cast<int>(bytes.size());
  }
  int Flush() override {
    std::lock_guard lock(mu());
    ++s_->flushes;
    return 0;
  }

  // The lock all fakes share with the tests that change their state.
  static std::mutex& mu() {
    static std::mutex m;
    return m;
  }

 private:
  std::shared_ptr<State> s_;
};

}  // namespace usblinktest
