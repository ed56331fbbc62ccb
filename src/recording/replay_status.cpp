#include "recording/replay_status.h"

#include <cstdio>

namespace tavelor::recording {

namespace {
constexpr const char* kPlaying = "playing";
constexpr const char* kPaused = "paused";
}  // namespace

std::string ReplayStatusLine(const ReplayStatus& status) {
  char text[96];
  std::snprintf(text, sizeof text, "OK %.3f %.3f %s", status.at, status.length,
                status.playing ? kPlaying : kPaused);
  return text;
}

std::optional<ReplayStatus> ParseReplayStatusLine(std::string_view line) {
  char state[16] = "";
  ReplayStatus status;
  const std::string text(line);
  if (std::sscanf(text.c_str(), "OK %lf %lf %15s", &status.at, &status.length, state) != 3) return std::nullopt;
  const std::string_view word = state;
  if (word != kPlaying && word != kPaused) return std::nullopt;
  status.playing = word == kPlaying;
  return status;
}

}  // namespace tavelor::recording
