// Electrical switches, anti-ice, pitot heat, cowl flaps, lights, gear, flaps, altimeter
// setting, magnetos and the NAV2, ADF and heading-indicator knobs. Each parses its one
// argument, queues its writes and makes one exchange.
#pragma once

#include <string>

namespace tavelor {

void EbatCommand(const std::string& requestText);  // battery
void EaltCommand(const std::string& requestText);  // alternator
void EaviCommand(const std::string& requestText);  // avionics
void EfueCommand(const std::string& requestText);  // fuel pump
void EiceCommand(const std::string& requestText);  // anti-ice, engines 1 to 4
void EpitCommand(const std::string& requestText);  // pitot heat
void EcowCommand(const std::string& requestText);  // cowl flaps, engines 1 to 4
void LighCommand(const std::string& requestText);  // six light switches at 6-11
void LandCommand(const std::string& requestText);  // gear lever
void FlapCommand(const std::string& requestText);  // flap handle byte
void BaroCommand(const std::string& requestText);  // altimeter, hPa x 100 at 6-11
void MagnCommand(const std::string& requestText);  // magnetos, engine 1
void FlpsCommand(const std::string& requestText);  // flap lever, 0..16383 at 6-10
void GdrfCommand(const std::string& requestText);  // heading indicator, degrees at 6-9
void Obs2Command(const std::string& requestText);  // NAV2 course, degrees at 6-8
void AobsCommand(const std::string& requestText);  // ADF card, degrees at 6-8

}  // namespace tavelor
