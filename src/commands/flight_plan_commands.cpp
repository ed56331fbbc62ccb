#include "commands/flight_plan_commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "commands/plan_file.h"
#include "simlink/ipc_client.h"
#include "simlink/offsets.h"
#include "text/request_error.h"

namespace tavelor {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr char kDegreeSign = '\xB0';  // in the 8-bit code page, before conversion

// The run-time texts the error display shows for file failures.
[[noreturn]] void RaiseFileError(int error) {
  switch (error) {
    case ENOENT:
      throw RequestError("File not found");
    case EACCES:
    case EPERM:
      throw RequestError("File access denied");
    case ENOSPC:
      throw RequestError("Disk full");
    default:
      // A failure that set no error number still has to name one.
      throw RequestError("I/O error " + std::to_string(error != 0 ? error : EIO));
  }
}

// Owns the open file so that a failed write still closes it.
class PlanFile {
 public:
  PlanFile(const RequestState& state, PlanOpen mode) {
    PlanFileOpening opening = OpenPlanFile(PlanFilePath(state), mode, state.MakePlanFolder);
    if (!opening.refusal.empty())
      throw RequestError("Flight plan chunk refused: " + opening.refusal);
    if (!opening.file) RaiseFileError(opening.error);
    file_ = opening.file;
    errno = 0;
    const long size = std::ftell(file_);
    if (size < 0) Fail();
    size_ = static_cast<size_t>(size);
  }
  ~PlanFile() {
    if (file_) std::fclose(file_);
  }
  PlanFile(const PlanFile&) = delete;
  PlanFile& operator=(const PlanFile&) = delete;

  // Refuses, before anything is written, bytes that would take the file past kMaxPlanFile.
  void CheckRoom(size_t bytes) const {
    if (bytes == 0 || (bytes <= kMaxPlanFile && size_ <= kMaxPlanFile - bytes)) return;
    throw RequestError("Flight plan chunk refused: the plan file would pass " +
                       std::to_string(kMaxPlanFile) + " bytes");
  }

  void Write(const std::string& bytes) {
    if (bytes.empty()) return;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) Fail();
  }

  // Buffered bytes reach the disk here, so a full disk often shows only now.
  void Close() {
    errno = 0;
    const int result = std::fclose(file_);
    file_ = nullptr;
    if (result != 0) RaiseFileError(errno);
  }

 private:
  [[noreturn]] void Fail() {
    const int error = errno;
    std::fclose(file_);
    file_ = nullptr;
    RaiseFileError(error);
  }
  std::FILE* file_ = nullptr;
  size_t size_ = 0;  // bytes in the file when it was opened
};

void StoreRaw(const RequestState& state, const CommandArguments& args, PlanOpen mode) {
  const std::string chunk = args.Chunk();
  if (state.DebugEnabled) LogLine(state.log, chunk);
  PlanFile file(state, mode);
  file.CheckRoom(chunk.size());
  file.Write(chunk);
  file.Close();
}

void StoreConverted(const RequestState& state, const CommandArguments& args, PlanOpen mode) {
  std::string chunk = args.Chunk();
  if (state.DebugEnabled) LogLine(state.log, chunk);  // as received, before the degree signs go in
  PlanFile file(state, mode);
  for (char& c : chunk) {
    if (c == '&') c = kDegreeSign;
  }
  // Up to three bytes for each high byte: the bound is checked on what would be written.
  const std::string converted = state.codePageToUtf8(chunk);
  const std::string mark = mode == PlanOpen::kCreate ? kByteOrderMark : "";
  file.CheckRoom(mark.size() + converted.size());
  file.Write(mark);
  file.Write(converted);
  file.Close();
}

}  // namespace

static_assert(sizeof(offsets::PathField) == kPlanPathField);
static_assert(arguments::kChunk.first.to - arguments::kChunk.first.from + 1 == kMaxChunk);

std::string PlanFilePath(const RequestState& state) { return state.AppFolder + kPlanFileName; }

void Pla9Command(RequestState& state, const CommandArguments& args) {
  StoreRaw(state, args, PlanOpen::kCreate);
}
void Pl99Command(RequestState& state, const CommandArguments& args) {
  StoreRaw(state, args, PlanOpen::kAppend);
}
void PlaxCommand(RequestState& state, const CommandArguments& args) {
  StoreConverted(state, args, PlanOpen::kCreate);
}
void PlanCommand(RequestState& state, const CommandArguments& args) {
  StoreConverted(state, args, PlanOpen::kAppend);
}

// The field holds the path and its zero byte; a longer path would be cut into a name the
// simulator cannot find, so it is refused. The rest of the field is zeros, not leftovers.
void ExecCommand(RequestState& state, const CommandArguments&) {
  const std::string path = PlanFilePath(state);
  if (path.size() >= kPlanPathField) {
    throw RequestError("Flight plan path too long for the simulator (" + std::to_string(path.size()) +
                       " bytes, at most " + std::to_string(kPlanPathField - 1) + ")");
  }
  offsets::PathField field{};
  std::memcpy(field.data(), path.data(), path.size());
  IpcWrite(state.link, offsets::kFlightPlanPath, field);
  IpcProcess(state.link);
}

}  // namespace tavelor
