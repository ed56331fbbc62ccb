#include "replies/radio_reply.h"

#include "replies/reply_line.h"
#include "simlink/ipc_client.h"
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
  uint16_t dme1 = 0, dme2 = 0, transponder = 0;
  uint16_t com1a = 0, com1b = 0, com2a = 0, com2b = 0;
  uint16_t nav1a = 0, nav1b = 0, nav2a = 0, nav2b = 0, adf = 0;
  uint8_t audio = 0;

  IpcRead(0x0300, 2, &dme1);
  IpcRead(0x0306, 2, &dme2);
  IpcRead(0x0354, 2, &transponder);
  IpcRead(0x034E, 2, &com1a);
  IpcRead(0x311A, 2, &com1b);
  IpcRead(0x3118, 2, &com2a);
  IpcRead(0x311C, 2, &com2b);
  IpcRead(0x0350, 2, &nav1a);
  IpcRead(0x311E, 2, &nav1b);
  IpcRead(0x0352, 2, &nav2a);
  IpcRead(0x3120, 2, &nav2b);
  IpcRead(0x034C, 2, &adf);
  IpcRead(0x3122, 1, &audio);
  IpcProcess();  // a failed exchange leaves every value at zero, and the reply says so

  const std::string dme1Text = DmeText(dme1);
  const std::string dme2Text = DmeText(dme2);
  const std::string transponderText = HexText(transponder, 4);
  const std::string com1aText = BcdFreqText(com1a);
  const std::string com1bText = BcdFreqText(com1b);
  const std::string com2aText = BcdFreqText(com2a);
  const std::string com2bText = BcdFreqText(com2b);
  const std::string nav1aText = BcdFreqText(nav1a);
  const std::string nav1bText = BcdFreqText(nav1b);
  const std::string nav2aText = BcdFreqText(nav2a);
  const std::string nav2bText = BcdFreqText(nav2b);
  const std::string adfText = HexText(adf, 4);
  const std::string audioText = BitString(audio, 8);

  // COM2 goes last on the line, although it is read and logged right after COM1.
  const std::string line =
      ReplyLine({dme1Text, dme2Text, transponderText, com1aText, com1bText, nav1aText, nav1bText,
                 nav2aText, nav2bText, adfText, audioText, com2aText, com2bText});

  LogDebugBlock("- Radio Panel:--------------------",
                {{"Dme1", dme1Text},
                 {"Dme2", dme2Text},
                 {"Transponder", transponderText},
                 {"Com1a", com1aText},
                 {"Com1b", com1bText},
                 {"Com2a", com2aText},
                 {"Com2b", com2bText},
                 {"Nav1a", nav1aText},
                 {"Nav1b", nav1bText},
                 {"Nav2a", nav2aText},
                 {"Nav2b", nav2bText},
                 {"Adf", adfText},
                 {"Audio", audioText}});
  return line;
}

}  // namespace tavelor
