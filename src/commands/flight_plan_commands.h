// Flight plans: a client sends the plan file's text in chunks, which go into one file in the
// program's folder, then EXEC tells the simulator to load that file. PLA9/PL99 store the bytes
// unchanged; PLAX/PLAN store UTF-8 with a byte-order mark and "&" standing for a degree sign.
#pragma once

#include <string>

#include "core/request_codes.h"
#include "core/request_state.h"

namespace tavelor {

inline constexpr const char* kPlanFileName = "Quindrel.pln";
inline constexpr size_t kMaxChunk = 995;       // request positions 6 to 1000
// A real plan is a few kilobytes; without a bound any client could fill the disk with chunks.
// A chunk that would take the file past this size is refused and the file left as it was.
inline constexpr size_t kMaxPlanFile = 1 << 20;
// The simulator's path field, zero byte included.
inline constexpr size_t kPlanPathField = 256;

// AppFolder + the plan file name: where the chunks go and what EXEC names.
std::string PlanFilePath(const RequestState& state);

void Pla9Command(RequestState&, const CommandArguments&);  // start the file, bytes unchanged
void Pl99Command(RequestState&, const CommandArguments&);  // append, bytes unchanged
void PlaxCommand(RequestState&, const CommandArguments&);  // start the file: mark, converted chunk
void PlanCommand(RequestState&, const CommandArguments&);  // append the converted chunk
void ExecCommand(RequestState&, const CommandArguments&);  // hand the file's path to the simulator

}  // namespace tavelor
