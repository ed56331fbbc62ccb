// Engine, fuel and electrical gauges, the outside air temperature, and the flight director's
// readings, as the panels show them. Forms and rounding as in field_forms.h.
#pragma once

#include <cstdint>
#include <string>

namespace tavelor {

// The six light switches, bits 5 down to 0 as the light command takes them: 0x25 is "100101".
std::string LightSwitchesText(uint16_t lights);

// The single-engine panels' electrical field: fuel pump digit, light switches, pitot heat
// digit: pump 1, lights 0x25, pitot 0 give "11001010".
std::string ElectrText(uint8_t fuelPump, uint16_t lights, uint8_t pitotHeat);

// Tank level in percent (8388608 is 100 %), three digits. The level times 100 is taken as a
// 32-bit integer, as the panels always have: a level beyond 256 % wraps.
std::string FuelTankText(int32_t level);

// Engine gauges from their 16384-is-full-scale words, three digits each.
std::string EgtText(uint16_t raw);             // 16384 = 860 degrees C
std::string OilTemperatureText(uint16_t raw);  // 16384 = 140 degrees C
std::string OilPressureText(uint16_t raw);     // 16384 = 55 psi

// The fuel flow value over 128, three digits.
std::string FuelFlowText(int32_t raw);

// The suction gauge in tenths, two digits: 4.96 gives "50".
std::string VacuumText(double suction);

// The ammeter in whole amperes: "0" or "-" and two digits ("005"; -0.4 gives "-00").
std::string AmmeterText(double amps);

// Engine RPM held to 0..3500 (the tachometer's scale), four digits.
std::string RpmText(double rpm);

// Outside air temperature (degrees C x 256, negative above 30000) in whole degrees, held to
// 99: a sign and two digits, the sign of a positive value being `positive` ("+" on the flight
// displays and the extended map, "0" on the single-engine panels).
std::string OutsideAirTempText(uint16_t raw, char positive);

// The value the flight displays label Ace, in tenths: sign and two digits, held to 99.
std::string AceText(double value);

// A flight director value in hundredths: sign and at least four digits.
std::string FlightDirectorValueText(double value);

}  // namespace tavelor
