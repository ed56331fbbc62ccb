// The program's recording (`--record FILE`): every exchange the simulator answers, written to
// a file in the form of docs/recording.md, with its time since the recording began. The
// recording waits for the reply: the link hands each exchange over while a request is served,
// the bytes are built then, and they go to the file once the reply has gone out. A write that
// fails (a full disk, a file-size limit) ends the recording and says why once; the server
// serves on.
#pragma once

#include <chrono>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

#include <functional>
#include "recording/recording_writer.h"
#include "simlink/exchange_observer.h"

namespace tavelor::recording {

class ExchangeRecorder : public ExchangeObserver {
 public:
  using Clock = std::chrono::steady_clock;
  // Whatever has built up goes to the file at once past this, reply or not.
  static constexpr size_t kMostPending = 1 << 20;

  // Told why, once, when a write fails and the recording ends.
  using Problem = std::function<void(const std::string& message)>;
  explicit ExchangeRecorder(Problem problem) : problem_(std::move(problem)) {}
  ~ExchangeRecorder() override { Close(); }

  // Creates the recording at `path`, or, when `path` names a folder, a new file in it named
  // after the local time (flight-2024-05-01-143210.tvr), and writes its header. An existing
  // file is never written over. False with the reason in *error.
  bool Open(const std::string& path, const std::string& program, std::string* error);
  bool Recording() const { return writer_ != nullptr; }
  const std::string& Path() const { return path_; }

  void Exchanged(std::span<const LinkRecord> records) override;
  // Writes what the exchanges since the last call added: called once a request is answered.
  void Flush();
  void Close();

 private:
  // Writes the pending bytes; on failure, with errno's reason, ends the recording.
  bool WritePending(int* reason);

  Problem problem_;
  std::string path_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<RecordingWriter> writer_;
  Clock::time_point start_{};
};

}  // namespace tavelor::recording
