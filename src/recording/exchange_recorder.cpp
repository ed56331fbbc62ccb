#include "recording/exchange_recorder.h"

#include "recording/new_file.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace tavelor::recording {

namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

// A name of its own in `folder` for a recording started now.
std::string NewFileIn(const std::string& folder) {
  const std::time_t now = std::time(nullptr);
  char stamp[32] = "flight";
  if (const std::tm* local = std::localtime(&now)) std::strftime(stamp, sizeof stamp, "flight-%Y-%m-%d-%H%M%S", local);
  const fs::path base = fs::path(folder) / stamp;
  std::string path = base.string() + ".tvr";
  for (int n = 2; Exists(path) && n < 100; ++n) path = base.string() + "-" + std::to_string(n) + ".tvr";
  return path;
}

std::string SystemReason(int error) {
  return error != 0 ? std::string(" (") + std::strerror(error) + ")" : "";
}

}  // namespace

bool ExchangeRecorder::Open(const std::string& path, const std::string& program, std::string* error) {
  std::error_code ignored;
  path_ = fs::is_directory(path, ignored) ? NewFileIn(path) : path;
  if (const fs::path whole = fs::absolute(path_, ignored); !ignored) path_ = whole.string();
  // Created in one step: whatever is at the name (a file, a link, a pipe) is never written to.
  errno = 0;
  file_ = CreateNewFile(path_);
  if (!file_ && errno == EEXIST) {
    *error = "cannot record to " + path_ + ": the file exists already (a recording is never written over)";
    return false;
  }
  if (!file_) {
    *error = "cannot record to " + path_ + SystemReason(errno);
    return false;
  }
  RecordingHeader header;
  header.startUnixMs = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 std::chrono::system_clock::now().time_since_epoch())
                                                 .count());
  header.program = program;
  writer_ = std::make_unique<RecordingWriter>(header);
  start_ = Clock::now();
  int reason = 0;
  if (WritePending(&reason)) return true;
  *error = "cannot write to " + path_ + SystemReason(reason);
  return false;
}

void ExchangeRecorder::Exchanged(std::span<const LinkRecord> records) {
  if (!writer_) return;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
  writer_->Exchange(static_cast<uint64_t>(ms), records);
  if (writer_->Pending().size() >= kMostPending) Flush();
}

bool ExchangeRecorder::WritePending(int* reason) {
  std::string& pending = writer_->Pending();
  errno = 0;
  const bool written = std::fwrite(pending.data(), 1, pending.size(), file_) == pending.size() &&
                       std::fflush(file_) == 0;
  pending.clear();
  if (written) return true;
  *reason = errno;
  writer_.reset();
  std::fclose(file_);
  file_ = nullptr;
  return false;
}

void ExchangeRecorder::Flush() {
  if (!writer_ || writer_->Pending().empty()) return;
  int reason = 0;
  if (WritePending(&reason)) return;
  problem_("Recording stopped: " + path_ + " cannot be written" + SystemReason(reason) +
                     "; the recording keeps what was written before.");
}

void ExchangeRecorder::Close() {
  Flush();
  writer_.reset();
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

}  // namespace tavelor::recording
