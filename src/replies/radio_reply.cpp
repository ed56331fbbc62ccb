#include "replies/radio_reply.h"

#include "replies/panel_reply.h"
#include "simlink/offsets.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

std::string DmeText(uint16_t tenths) {
  std::string text = tenths > 6500 ? "  0.0" : FixedText(RealDiv(tenths, 10), 3, 1);
  if (text.size() == 3) text = "  " + text;
  else if (text.size() == 4) text = " " + text;
  return text;
}

std::string RadioReply() {
  PanelReads in;
  const auto& dme1 = in.Read(offsets::kDme1Distance);
  const auto& dme2 = in.Read(offsets::kDme2Distance);
  const auto& transponder = in.Read(offsets::kTransponder);
  const auto& com1a = in.Read(offsets::kCom1Active);
  const auto& com1b = in.Read(offsets::kCom1Standby);
  const auto& com2a = in.Read(offsets::kCom2Active);
  const auto& com2b = in.Read(offsets::kCom2Standby);
  const auto& nav1a = in.Read(offsets::kNav1Active);
  const auto& nav1b = in.Read(offsets::kNav1Standby);
  const auto& nav2a = in.Read(offsets::kNav2Active);
  const auto& nav2b = in.Read(offsets::kNav2Standby);
  const auto& adf = in.Read(offsets::kAdfFrequency);
  const auto& audio = in.Read(offsets::kAudioSelector);
  in.Process();  // a failed exchange leaves every value at zero, and the reply says so

  // COM2 is logged right after COM1 but goes last on the line.
  const std::string com2aText = BcdFreqText(com2a);
  const std::string com2bText = BcdFreqText(com2b);

  PanelReply reply("- Radio Panel:--------------------");
  reply.Field("Dme1", DmeText(dme1))
      .Field("Dme2", DmeText(dme2))
      .Field("Transponder", HexText(transponder, 4))
      .Field("Com1a", BcdFreqText(com1a))
      .Field("Com1b", BcdFreqText(com1b))
      .Log("Com2a", com2aText)
      .Log("Com2b", com2bText)
      .Field("Nav1a", BcdFreqText(nav1a))
      .Field("Nav1b", BcdFreqText(nav1b))
      .Field("Nav2a", BcdFreqText(nav2a))
      .Field("Nav2b", BcdFreqText(nav2b))
      .Field("Adf", HexText(adf, 4))
      .Field("Audio", BitString(audio, 8))
      .Field(com2aText)
      .Field(com2bText);
  return reply.Finish();
}

}  // namespace tavelor
