// Electrical switches, anti-ice, pitot heat, cowl flaps, lights, gear, flaps, altimeter
// setting, magnetos and the NAV2, ADF and heading-indicator knobs. Each queues its writes and
// makes one exchange.
#pragma once

#include <string>

#include "core/request_codes.h"
#include "core/request_state.h"

namespace tavelor {

void EbatCommand(RequestState&, const CommandArguments&);  // battery
void EaltCommand(RequestState&, const CommandArguments&);  // alternator
void EaviCommand(RequestState&, const CommandArguments&);  // avionics
void EfueCommand(RequestState&, const CommandArguments&);  // fuel pump
void EiceCommand(RequestState&, const CommandArguments&);  // anti-ice, engines 1 to 4
void EpitCommand(RequestState&, const CommandArguments&);  // pitot heat
void EcowCommand(RequestState&, const CommandArguments&);  // cowl flaps, engines 1 to 4
void LighCommand(RequestState&, const CommandArguments&);  // six light switches
void LandCommand(RequestState&, const CommandArguments&);  // gear lever
void FlapCommand(RequestState&, const CommandArguments&);  // flap handle byte
void BaroCommand(RequestState&, const CommandArguments&);  // altimeter, hPa x 100
void MagnCommand(RequestState&, const CommandArguments&);  // magnetos, engine 1
void FlpsCommand(RequestState&, const CommandArguments&);  // flap lever, 0..16383
void GdrfCommand(RequestState&, const CommandArguments&);  // heading indicator, degrees
void Obs2Command(RequestState&, const CommandArguments&);  // NAV2 course, degrees
void AobsCommand(RequestState&, const CommandArguments&);  // ADF card, degrees

}  // namespace tavelor
