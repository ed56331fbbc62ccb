// Where a replay is, as the stand-in's control channel answers `replay`: "OK 70.000 120.009
// playing" (the moment and the recording's length in seconds, to the millisecond, then playing
// or paused). Written by the stand-in and read by tavelor-web: one definition for both ends.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavelor::recording {

struct ReplayStatus {
  double at = 0, length = 0;  // seconds
  bool playing = false;
  bool operator==(const ReplayStatus&) const = default;
};

std::string ReplayStatusLine(const ReplayStatus& status);
// The status a line gives; none for any other line (an error, a stand-in that replays nothing).
std::optional<ReplayStatus> ParseReplayStatusLine(std::string_view line);

}  // namespace tavelor::recording
