// Electrical switches, anti-ice, pitot heat, cowl flaps, lights, gear, flaps, altimeter
// setting, magnetos and the NAV2, ADF and heading-indicator knobs. Each parses its one
// argument, queues its writes and makes one exchange.
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

void EbatCommand(RequestState&, const std::string&);  // battery
void EaltCommand(RequestState&, const std::string&);  // alternator
void EaviCommand(RequestState&, const std::string&);  // avionics
void EfueCommand(RequestState&, const std::string&);  // fuel pump
void EiceCommand(RequestState&, const std::string&);  // anti-ice, engines 1 to 4
void EpitCommand(RequestState&, const std::string&);  // pitot heat
void EcowCommand(RequestState&, const std::string&);  // cowl flaps, engines 1 to 4
void LighCommand(RequestState&, const std::string&);  // six light switches at 6-11
void LandCommand(RequestState&, const std::string&);  // gear lever
void FlapCommand(RequestState&, const std::string&);  // flap handle byte
void BaroCommand(RequestState&, const std::string&);  // altimeter, hPa x 100 at 6-11
void MagnCommand(RequestState&, const std::string&);  // magnetos, engine 1
void FlpsCommand(RequestState&, const std::string&);  // flap lever, 0..16383 at 6-10
void GdrfCommand(RequestState&, const std::string&);  // heading indicator, degrees at 6-9
void Obs2Command(RequestState&, const std::string&);  // NAV2 course, degrees at 6-8
void AobsCommand(RequestState&, const std::string&);  // ADF card, degrees at 6-8

}  // namespace tavelor
