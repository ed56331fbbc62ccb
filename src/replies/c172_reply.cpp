#include "replies/c172_reply.h"

#include "replies/hsi_rules.h"
#include "replies/panel_reply.h"
#include "replies/pfd_rules.h"
#include "replies/single_engine_rules.h"
#include "simlink/offsets.h"
#include "text/conversions.h"

namespace tavelor {

namespace {

// Degrees C x 256 in two's complement, but the panel takes only words above 30000 as below zero
// (clients rely on that limit, not 32767); the dial shows -99 to 99: "015", "-05", "-99".
std::string OatText(uint16_t raw) {
  const bool negative = raw > 30000;
  int64_t degrees = NearestWhole((negative ? 65536 - raw : raw) / 256.0L);
  if (degrees > 99) degrees = 99;
  return SignedText(negative, degrees, 2);
}

// Bus volts in tenths, three digits: 27.96 V gives "280".
std::string VoltsText(double volts) { return PaddedDec(NearestWhole(volts * 10.0L), 3); }

}  // namespace

std::string C172Reply() {
  PanelReads in;
  const auto& battery = in.Read(offsets::kBattery);
  const auto& alternator = in.Read(offsets::kAlternator);
  const auto& fuelPump = in.Read(offsets::kFuelPump);
  const auto& lights = in.Read(offsets::kLights);
  const auto& pitotHeat = in.Read(offsets::kPitotHeat);
  const auto& magnetos = in.Read(offsets::kMagnetos);
  const auto& avionics = in.Read(offsets::kAvionics);
  const auto& flapLever = in.Read(offsets::kFlapLever);
  const auto& outsideAir = in.Read(offsets::kOutsideAirTemp);
  const auto& volts = in.Read(offsets::kBusVoltage);
  const auto& localHour = in.Read(offsets::kLocalHour);
  const auto& localMinute = in.Read(offsets::kLocalMinute);
  const auto& utcHour = in.Read(offsets::kUtcHour);
  const auto& utcMinute = in.Read(offsets::kUtcMinute);
  const auto& leftTank = in.Read(offsets::kLeftTankLevel);
  const auto& rightTank = in.Read(offsets::kRightTankLevel);
  const auto& egt = in.Read(offsets::kExhaustGasTemp);
  const auto& fuelFlow = in.Read(offsets::kFuelFlow);
  const auto& oilTemperature = in.Read(offsets::kOilTemperature);
  const auto& oilPressure = in.Read(offsets::kOilPressure);
  const auto& suction = in.Read(offsets::kSuction);
  const auto& amps = in.Read(offsets::kAmmeter);
  const auto& airspeed = in.Read(offsets::kIndicatedAirspeed);
  const auto& altitude = in.Read(offsets::kAltitudeFeet);
  const auto& qnh = in.Read(offsets::kAltimeterSetting);
  const auto& verticalSpeed = in.Read(offsets::kVerticalSpeed);
  const auto& rpm = in.Read(offsets::kEngineRpm);
  const auto& gyroDrift = in.Read(offsets::kGyroDrift);
  const auto& heading = in.Read(offsets::kHeading);
  const auto& headingBug = in.Read(offsets::kApHeading);
  const auto& obs1 = in.Read(offsets::kNav1Course);
  const auto& toFrom1 = in.Read(offsets::kNav1ToFrom);
  const auto& ils = in.Read(offsets::kNav1Ils);
  const auto& localiser1 = in.Read(offsets::kNav1Needle);
  const auto& glideslope1 = in.Read(offsets::kNav1Glideslope);
  const auto& obs2 = in.Read(offsets::kNav2Obs);
  const auto& toFrom2 = in.Read(offsets::kNav2ToFrom);
  const auto& localiser2 = in.Read(offsets::kNav2Localiser);
  const auto& adfBearing = in.Read(offsets::kAdfBearing);
  const auto& adfCard = in.Read(offsets::kAdfCard);
  const auto& ball = in.Read(offsets::kTurnBall);
  const auto& turnRate = in.Read(offsets::kTurnRate);
  const auto& pitch = in.Read(offsets::kPitch);
  const auto& bank = in.Read(offsets::kBank);
  in.Process();  // a failed exchange leaves every value at zero, and the reply says so

  // Fields that the debug block shows in another form than the line.
  const std::string flaps = PaddedDec(flapLever, 5);
  const std::string localHh = PaddedDec(localHour, 2), localMm = PaddedDec(localMinute, 2);
  const std::string utcHh = PaddedDec(utcHour, 2), utcMm = PaddedDec(utcMinute, 2);
  const std::string left = FuelTankText(leftTank), right = FuelTankText(rightTank);

  // The needles, the ball and the turn rate go out as their unsigned bit patterns (a needle at
  // -21 is "235"); the panel client turns them back.
  PanelReply reply("- Datos Panel C172:-----------------");
  reply.Field("Master", MasterText(battery, alternator))
      .Field("Electr", ElectrText(fuelPump, lights, pitotHeat))
      .Field("Magnet", DecText(magnetos))
      .Field("Avioni", DecText(avionics))
      .Field(flaps).Log("Flaps", " " + flaps)  // the block has a blank after this one colon
      .Field("Oat", OatText(outsideAir))
      .Field("Vol", VoltsText(volts))
      .Field(localHh + localMm)
      .Field(utcHh + utcMm)
      .Log("Time", localHh + ":" + localMm + " - " + utcHh + ":" + utcMm)
      .Field(left)
      .Field(right)
      .Log("Fuel", left + " / " + right)
      .Field("Egt", EgtText(egt))
      .Field("Flw", FuelFlowText(fuelFlow))
      .Field("Oil T", OilTemperatureText(oilTemperature))
      .Field("Oil P", OilPressureText(oilPressure))
      .Field("Vac", VacuumText(suction))
      .Field("Amp", AmmeterText(amps))
      .Field("Ias", AirspeedText(airspeed))
      .Field("Alt", PaddedDec(altitude, 5))
      .Field("Qnh", QnhText(qnh))
      .Field("Vsp", VsiText(verticalSpeed))
      .Field("Rpm", RpmText(rpm))
      .Field("Gdr", WholeDegreesText(gyroDrift))
      .Field("Der", NearestDegreeText(heading))
      .Field("Hdg", WholeDegreesText(headingBug))
      .Field("Obs1", PaddedDec(obs1, 3))
      .Field("ToFr1", DecText(toFrom1))
      .Field("Ils", DecText(ils))
      .Field("Loc1", PaddedDec(localiser1, 3))
      .Field("Gs1", PaddedDec(glideslope1, 3))
      .Field("Obs2", PaddedDec(obs2, 3))
      .Field("ToFr2", DecText(toFrom2))
      .Field("Loc2", PaddedDec(localiser2, 3))
      .Field("Adf", WholeDegreesText(adfBearing))
      .Field("AHdg", PaddedDec(adfCard, 3))
      .Field("Bola", PaddedDec(ball, 3))
      .Field("Bast", PaddedDec(turnRate, 5))
      .Field("Pich", AttitudePitchText(pitch))
      .Field("Bank", AttitudeBankText(bank));
  return reply.Finish();
}

}  // namespace tavelor
