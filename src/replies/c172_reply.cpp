#include "replies/c172_reply.h"

#include "replies/altitude_rules.h"
#include "replies/angle_rules.h"
#include "replies/field_forms.h"
#include "replies/gauge_rules.h"
#include "replies/panel_reply.h"
#include "replies/speed_rules.h"
#include "simlink/offsets.h"
#include "text/conversions.h"

namespace tavelor {

namespace {

// Bus volts in tenths, three digits: 27.96 V gives "280". Only this panel shows them.
std::string VoltsText(double volts) { return PaddedDec(NearestWhole(volts * 10.0L), 3); }

}  // namespace

std::string C172Reply(RequestState& state) {
  PanelReads in(state.link);
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

  // The clock goes on the line as "hhmm" twice and into the debug block as "hh:mm - hh:mm".
  const std::string localHh = PaddedDec(localHour, 2), localMm = PaddedDec(localMinute, 2);
  const std::string utcHh = PaddedDec(utcHour, 2), utcMm = PaddedDec(utcMinute, 2);

  // The needles, the ball and the turn rate go out as their unsigned bit patterns (a needle at
  // -21 is "235"); the panel client turns them back.
  PanelReply reply(state, ReplyCode::kC172);
#define FIELD(number, name, label, unit, width, kind, rule, ...) reply.Field(number, rule);
#include "replies/tables/c172.inc"
#undef FIELD
  reply.Log(1, 4)
      .LogText(reply.Label(5), " " + reply.Text(5))  // the block has a blank after this one colon
      .Log(6, 7)
      .LogText(reply.Label(8), localHh + ":" + localMm + " - " + utcHh + ":" + utcMm)
      .LogJoined({10, 11}, " / ")
      .Log(12, 39);
  return reply.Finish();
}

}  // namespace tavelor
