// The simulator keeps classic frequencies as four BCD digits without the leading 1 (118.25 is
// 0x1825): putting "$" in front of the digit characters and parsing as hex turns each digit
// character into one BCD nibble unchanged. Positions the table skips (the leading 1, the
// decimal point, separators) are never read.
#include "commands/radio_commands.h"

#include <cstdint>

#include "server/request.h"
#include "simlink/ipc_client.h"
#include "text/conversions.h"

namespace tavelor {

namespace {

struct FrequencyPair {
  uint32_t activeOffset;
  uint32_t standbyOffset;
};

constexpr FrequencyPair kCom1{0x034E, 0x311A};
constexpr FrequencyPair kCom2{0x3118, 0x311C};
constexpr FrequencyPair kNav1{0x0350, 0x311E};
constexpr FrequencyPair kNav2{0x0352, 0x3120};
constexpr FrequencyPair kCom1Khz{0x05C4, 0x05CC};
constexpr FrequencyPair kCom2Khz{0x05C8, 0x05D0};

// "1xx.yy yyy.yy" style: active digits at 7-8 and 10-11, standby at 14-15 and 17-18.
void SetBcdPair(const std::string& request, FrequencyPair pair) {
  const int32_t active = IntValue("$" + Positions(request, 7, 8) + Positions(request, 10, 11));
  const int32_t standby = IntValue("$" + Positions(request, 14, 15) + Positions(request, 17, 18));
  const uint16_t activeBcd = static_cast<uint16_t>(active);
  const uint16_t standbyBcd = static_cast<uint16_t>(standby);
  IpcWrite(pair.activeOffset, 2, &activeBcd);
  IpcWrite(pair.standbyOffset, 2, &standbyBcd);
  IpcProcess();
}

// "xxx.yyy xxx.yyy" in kilohertz: active at 6-8 and 10-12, standby at 14-16 and 18-20.
void SetKhzPair(const std::string& request, FrequencyPair pair) {
  const int32_t active = IntValue(Positions(request, 6, 8) + Positions(request, 10, 12));
  const int32_t standby = IntValue(Positions(request, 14, 16) + Positions(request, 18, 20));
  IpcWrite(pair.activeOffset, 4, &active);
  IpcWrite(pair.standbyOffset, 4, &standby);
  IpcProcess();
}

}  // namespace

void Com1Command(const std::string& requestText) { SetBcdPair(requestText, kCom1); }
void Co11Command(const std::string& requestText) { SetKhzPair(requestText, kCom1Khz); }
void Com2Command(const std::string& requestText) { SetBcdPair(requestText, kCom2); }
void Co22Command(const std::string& requestText) { SetKhzPair(requestText, kCom2Khz); }
void Nav1Command(const std::string& requestText) { SetBcdPair(requestText, kNav1); }
void Nav2Command(const std::string& requestText) { SetBcdPair(requestText, kNav2); }

// Only the three main digits can be set; the extended part (thousands digit, fraction) is
// always cleared.
void Adf0Command(const std::string& requestText) {
  const uint16_t main = static_cast<uint16_t>(IntValue("$0" + Positions(requestText, 6, 8)));
  const uint16_t extended = 0;
  IpcWrite(0x034C, 2, &main);
  IpcWrite(0x0356, 2, &extended);
  IpcProcess();
}

// The digits are not checked against the transponder's 0-7 range: 8888 goes out as 0x8888.
void Tra0Command(const std::string& requestText) {
  const uint16_t code = static_cast<uint16_t>(IntValue("$" + Positions(requestText, 6, 9)));
  IpcWrite(0x0354, 2, &code);
  IpcProcess();
}

// Position 6 is bit 7, position 13 bit 0; anything but "1" is a clear bit, so this never fails.
void Aud0Command(const std::string& requestText) {
  const uint8_t bits = static_cast<uint8_t>(BitStringValue(Positions(requestText, 6, 13)));
  IpcWrite(0x3122, 1, &bits);
  IpcProcess();
}

}  // namespace tavelor
