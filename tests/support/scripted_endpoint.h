// A scripted stand-in for the meter behind a simulated device's two pipes:
// it records every host write on pipe 0 exactly, and serves programmed
// answers on pipe 1, so a test controls every byte on the wire.
//
// Each host write makes the next queued answer (if any) available on the
// reply pipe, the way a meter answers each transmission. An answer is a list
// of blocks; each read gets the next block (cut to the size asked for, the
// rest served by the following read), and a read with no block left
// completes with zero bytes, as an idle pipe does.
#ifndef LX40_TESTS_SUPPORT_SCRIPTED_ENDPOINT_H
#define LX40_TESTS_SUPPORT_SCRIPTED_ENDPOINT_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "bus/pipe_endpoint.h"

namespace mltest {

using Bytes = std::vector<uint8_t>;
using Answer = std::vector<Bytes>;

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// One answer of one block holding `text`.
inline Answer TextAnswer(const std::string& text) { return Answer{ToBytes(text)}; }

class ScriptedEndpoint : public usbsim::PipeEndpoint {
 public:
  // The answer to the next host write not yet answered.
  void QueueAnswer(Answer answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(std::move(answer));
  }
  void QueueText(const std::string& text) { QueueAnswer(TextAnswer(text)); }
  // An answer available at once, without waiting for a write.
  void ServeNow(Answer answer) {
    std::lock_guard lock(mutex_);
    for (Bytes& block : answer) pending_.push_back(std::move(block));
  }
  // Every write (or read) fails while set.
  void FailWrites(bool fail) {
    std::lock_guard lock(mutex_);
    failWrites_ = fail;
  }
  void FailReads(bool fail) {
    std::lock_guard lock(mutex_);
    failReads_ = fail;
  }
  // Reads from the n-th on (counting from 1, all reads so far included) fail.
  void FailReadsFrom(int n) {
    std::lock_guard lock(mutex_);
    failReadsFrom_ = n;
  }
  // Every read delivers a full block of data: a device that never stops.
  void SendForever(bool flood) {
    std::lock_guard lock(mutex_);
    flood_ = flood;
  }

  std::vector<Bytes> Writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
  }
  // The writes as text, for transcripts of text commands.
  std::vector<std::string> WrittenTexts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const Bytes& w : writes_) texts.emplace_back(w.begin(), w.end());
    return texts;
  }
  // Reads since the endpoint was made (ClearRecord keeps this count).
  int ReadCount() const {
    std::lock_guard lock(mutex_);
    return reads_;
  }
  void ClearRecord() {
    std::lock_guard lock(mutex_);
    writes_.clear();
  }

  bool OnHostWrite(const uint8_t* data, uint32_t size) override {
    std::lock_guard lock(mutex_);
    if (failWrites_) return false;
    writes_.emplace_back(data, data + size);
    if (!answers_.empty()) {
      for (Bytes& block : answers_.front()) pending_.push_back(std::move(block));
      answers_.pop_front();
    }
    return true;
  }

  bool OnHostRead(uint8_t* data, uint32_t size, uint32_t* done) override {
    std::lock_guard lock(mutex_);
    ++reads_;
    *done = 0;
    if (failReads_ || (failReadsFrom_ > 0 && reads_ >= failReadsFrom_)) return false;
    if (flood_) {
      std::memset(data, 'Z', size);
      *done = size;
      return true;
    }
    if (pending_.empty()) return true;  // idle: zero bytes
    Bytes& block = pending_.front();
    const std::size_t n = std::min<std::size_t>(block.size(), size);
    std::copy_n(block.begin(), n, data);
    *done = static_cast<uint32_t>(n);
    if (n == block.size()) {
      pending_.pop_front();
    } else {
      block.erase(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
    }
    return true;
  }

 private:
  mutable std::mutex mutex_;
  std::deque<Answer> answers_;
  std::deque<Bytes> pending_;
  std::vector<Bytes> writes_;
  int reads_ = 0;
  bool failWrites_ = false;
  bool failReads_ = false;
  int failReadsFrom_ = 0;
  bool flood_ = false;
};

}  // namespace mltest

#endif
