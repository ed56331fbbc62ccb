#include "replies/c177_reply.h"

#include "replies/hsi_rules.h"
#include "replies/panel_reply.h"
#include "replies/pfd_rules.h"
#include "replies/single_engine_rules.h"
#include "simlink/offsets.h"
#include "text/conversions.h"

namespace tavelor {

std::string C177Reply() {
  PanelReads in;
  const auto& battery = in.Read(offsets::kBattery);
  const auto& alternator = in.Read(offsets::kAlternator);
  const auto& fuelPump = in.Read(offsets::kFuelPump);
  const auto& lights = in.Read(offsets::kLights);
  const auto& pitotHeat = in.Read(offsets::kPitotHeat);
  const auto& magnetos = in.Read(offsets::kMagnetos);
  const auto& avionics = in.Read(offsets::kAvionics);
  const auto& trim = in.Read(offsets::kElevatorTrim);
  const auto& obs1 = in.Read(offsets::kNav1Course);
  const auto& toFrom1 = in.Read(offsets::kNav1ToFrom);
  const auto& ils = in.Read(offsets::kNav1Ils);
  const auto& localiser1 = in.Read(offsets::kNav1Needle);
  const auto& glideslope1 = in.Read(offsets::kNav1Glideslope);
  const auto& adfBearing = in.Read(offsets::kAdfBearing);
  const auto& adfCard = in.Read(offsets::kAdfCard);
  const auto& altitude = in.Read(offsets::kAltitudeFeet);
  const auto& qnh = in.Read(offsets::kAltimeterSetting);
  const auto& verticalSpeed = in.Read(offsets::kVerticalSpeed);
  const auto& gyroDrift = in.Read(offsets::kGyroDrift);
  const auto& heading = in.Read(offsets::kHeading);
  const auto& headingBug = in.Read(offsets::kApHeading);
  const auto& pitch = in.Read(offsets::kPitch);
  const auto& bank = in.Read(offsets::kBank);
  const auto& ball = in.Read(offsets::kTurnBall);
  const auto& turnRate = in.Read(offsets::kTurnRate);
  const auto& airspeed = in.Read(offsets::kIndicatedAirspeed);
  const auto& flapLever = in.Read(offsets::kFlapLever);
  const auto& rpm = in.Read(offsets::kEngineRpm);
  const auto& fuelFlow = in.Read(offsets::kFuelFlow);
  const auto& manifold = in.Read(offsets::kManifoldPressure);
  const auto& hour = in.Read(offsets::kLocalHour);
  const auto& minute = in.Read(offsets::kLocalMinute);
  const auto& second = in.Read(offsets::kLocalSecond);
  const auto& suction = in.Read(offsets::kSuction);
  const auto& egt = in.Read(offsets::kExhaustGasTemp);
  const auto& fuelPressure = in.Read(offsets::kFuelPressure);
  const auto& cylinderHead = in.Read(offsets::kCylinderHeadTemp);
  const auto& leftTank = in.Read(offsets::kLeftTankLevel);
  const auto& rightTank = in.Read(offsets::kRightTankLevel);
  const auto& oilTemperature = in.Read(offsets::kOilTemperature);
  const auto& oilPressure = in.Read(offsets::kOilPressure);
  const auto& amps = in.Read(offsets::kAmmeter);
  in.Process();  // a failed exchange leaves every value at zero, and the reply says so

  // Fields that the debug block shows in another form than the line.
  const std::string flaps = PaddedDec(flapLever, 5);
  const std::string hh = PaddedDec(hour, 2), mm = PaddedDec(minute, 2), ss = PaddedDec(second, 2);
  const std::string left = FuelTankText(leftTank), right = FuelTankText(rightTank);

  // Trim goes out as its unsigned bit pattern (trim -1 is "65535"), manifold pressure in raw
  // 1/1024 inch of mercury and fuel pressure as the signed raw value: the client scales them.
  PanelReply reply("- Datos Panel C177:-----------------");
  reply.Field("Master", MasterText(battery, alternator))
      .Field("Electr", ElectrText(fuelPump, lights, pitotHeat))
      .Field("Magnet", DecText(magnetos))
      .Field("Avioni", DecText(avionics))
      .Field("Trim", PaddedDec(trim, 5))
      .Field("Obs1", PaddedDec(obs1, 3))
      .Field("ToFr1", DecText(toFrom1))
      .Field("Ils", DecText(ils))
      .Field("Loc1", PaddedDec(localiser1, 3))
      .Field("Gs1", PaddedDec(glideslope1, 3))
      .Field("Adf", WholeDegreesText(adfBearing))
      .Field("AHdg", PaddedDec(adfCard, 3))
      .Field("Alt", PaddedDec(altitude, 5))
      .Field("Qnh", QnhText(qnh))
      .Field("Vsp", VsiText(verticalSpeed))
      .Field("Gdr", WholeDegreesText(gyroDrift))
      .Field("Der", NearestDegreeText(heading))
      .Field("Hdg", WholeDegreesText(headingBug))
      .Field("Pich", AttitudePitchText(pitch))
      .Field("Bank", AttitudeBankText(bank))
      .Field("Bola", PaddedDec(ball, 3))
      .Field("Bast", PaddedDec(turnRate, 5))
      .Field("Ias", AirspeedText(airspeed))
      .Field(flaps).Log("Flaps", " " + flaps)  // the block has a blank after this one colon
      .Field("Rpm", RpmText(rpm))
      .Field("Flw", FuelFlowText(fuelFlow))
      .Field("Man", PaddedDec(manifold, 5))
      .Field(hh + mm + ss).Log("Time", hh + ":" + mm + ":" + ss)
      .Field("Vac", VacuumText(suction))
      .Field("Egt", EgtText(egt))
      .Field("Fuel Prs", PaddedDec(fuelPressure, 4))
      .Field("Cht", NearestDegreeText(cylinderHead))
      .Field(left)
      .Field(right)
      .Log("Fuel", left + " / " + right)
      .Field("Oil T", OilTemperatureText(oilTemperature))
      .Field("Oil P", OilPressureText(oilPressure))
      .Field("Amp", AmmeterText(amps));
  return reply.Finish();
}

}  // namespace tavelor
