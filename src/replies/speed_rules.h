// Airspeeds, ground speed, Mach, vertical speeds and the wind, as the panels show them. Forms
// and rounding as in field_forms.h.
#pragma once

#include <cstdint>
#include <string>

namespace tavelor {

// Indicated airspeed (knots x 128) as the flight displays show it: hundredths of a knot, five
// characters, held to 50000.
std::string AirspeedHundredthsText(int32_t knots128);
// As the single-engine panels show it: whole knots, three characters, held at the dial's end
// (500 knots).
std::string AirspeedKnotsText(int32_t knots128);

// True airspeed and the barber-pole speed (knots x 128) in whole knots, three characters; the
// true airspeed is held to 999, the barber pole is not.
std::string TrueAirspeedText(int32_t knots128);
std::string BarberPoleText(int32_t knots128);

// Ground speed (metres per second x 65536) in knots, three characters, held to 999.
std::string GroundSpeedText(int32_t metresPerSecond65536);

// The autopilot Mach target (Mach x 65536) in hundredths, three characters.
std::string ApMachText(int32_t mach65536);

// The autopilot airspeed target in knots, three characters, held to 999.
std::string ApAirspeedText(uint16_t knots);

// Vertical speed (metres per second x 256) in feet per minute. The flight displays show a sign
// and four digits held to 4100; the single-engine panels "0" or "-" and four digits, held to
// 2100 either way (the needle's stops).
std::string VerticalSpeedText(int32_t metresPerSecond256);
std::string VsiText(int32_t metresPerSecond256);

// The autopilot vertical speed target (feet per minute, negative above 8000) as a sign and four
// digits. The HSI, FGP and XRAD show "9999" for a magnitude of five digits, so the field never
// grows; the flight displays show the five digits (ApVerticalSpeedLongText).
std::string ApVerticalSpeedText(uint16_t raw);
std::string ApVerticalSpeedLongText(uint16_t raw);

// The wind speed in knots, two characters, held to 99.
std::string WindSpeedText(uint16_t knots);

}  // namespace tavelor
