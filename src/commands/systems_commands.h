// Electrical switches, anti-ice, pitot heat, cowl flaps, lights, gear, flaps, altimeter
// setting, magnetos and the NAV2, ADF and heading-indicator knobs. Each parses its one
// argument, queues its writes and makes one exchange.
#pragma once

#include <string>

#include "core/request_codes.h"
#include "core/request_state.h"

namespace tavelor {

void EbatCommand(RequestState&, const CommandRequest&);  // battery
void EaltCommand(RequestState&, const CommandRequest&);  // alternator
void EaviCommand(RequestState&, const CommandRequest&);  // avionics
void EfueCommand(RequestState&, const CommandRequest&);  // fuel pump
void EiceCommand(RequestState&, const CommandRequest&);  // anti-ice, engines 1 to 4
void EpitCommand(RequestState&, const CommandRequest&);  // pitot heat
void EcowCommand(RequestState&, const CommandRequest&);  // cowl flaps, engines 1 to 4
void LighCommand(RequestState&, const CommandRequest&);  // six light switches at 6-11
void LandCommand(RequestState&, const CommandRequest&);  // gear lever
void FlapCommand(RequestState&, const CommandRequest&);  // flap handle byte
void BaroCommand(RequestState&, const CommandRequest&);  // altimeter, hPa x 100 at 6-11
void MagnCommand(RequestState&, const CommandRequest&);  // magnetos, engine 1
void FlpsCommand(RequestState&, const CommandRequest&);  // flap lever, 0..16383 at 6-10
void GdrfCommand(RequestState&, const CommandRequest&);  // heading indicator, degrees at 6-9
void Obs2Command(RequestState&, const CommandRequest&);  // NAV2 course, degrees at 6-8
void AobsCommand(RequestState&, const CommandRequest&);  // ADF card, degrees at 6-8

}  // namespace tavelor
