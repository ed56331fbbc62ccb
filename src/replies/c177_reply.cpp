#include "replies/c177_reply.h"

#include "replies/altitude_rules.h"
#include "replies/angle_rules.h"
#include "replies/field_forms.h"
#include "replies/gauge_rules.h"
#include "replies/panel_reply.h"
#include "replies/speed_rules.h"
#include "simlink/offsets.h"
#include "text/conversions.h"

namespace tavelor {

std::string C177Reply(RequestState& state) {
  PanelReads in(state.link);
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

  // The clock goes on the line as "hhmmss" and into the debug block as "hh:mm:ss".
  const std::string hh = PaddedDec(hour, 2), mm = PaddedDec(minute, 2), ss = PaddedDec(second, 2);

  // Trim goes out as its unsigned bit pattern (trim -1 is "65535"), manifold pressure in raw
  // 1/1024 inch of mercury and fuel pressure as the signed raw value: the client scales them.
  PanelReply reply(state, ReplyCode::kC177);
#define FIELD(number, name, label, unit, width, kind, rule, ...) reply.Field(number, rule);
#include "replies/tables/c177.inc"
#undef FIELD
  reply.Log(1, 23)
      .LogText(reply.Label(24), " " + reply.Text(24))  // the block has a blank after this one colon
      .Log(25, 27)
      .LogText(reply.Label(28), hh + ":" + mm + ":" + ss)
      .Log(29, 32)
      .LogJoined({33, 34}, " / ")
      .Log(35, 37);
  return reply.Finish();
}

}  // namespace tavelor
