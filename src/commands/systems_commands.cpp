#include "commands/systems_commands.h"

#include <cstdint>

#include "server/request.h"
#include "simlink/ipc_client.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

// One engine's offset each, engines 1 to 4.
constexpr uint32_t kAntiIce[] = {0x08B2, 0x094A, 0x09E2, 0x0A7A};
constexpr uint32_t kCowlFlaps[] = {0x37F0, 0x3730, 0x3670, 0x35B0};

constexpr int32_t kGearDown = 16383;

// The one character at position 6; whatever value it gives is written unchanged.
int32_t Digit(const std::string& request) { return IntValue(Positions(request, 6, 6)); }

// A write of `size` bytes stores the value's low bytes, little-endian.
void WriteLow(uint32_t offset, uint32_t size, int64_t value) {
  uint8_t bytes[4];
  for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
  IpcWrite(offset, size, bytes);
}

void SetValue(uint32_t offset, uint32_t size, int64_t value) {
  WriteLow(offset, size, value);
  IpcProcess();
}

}  // namespace

void EbatCommand(const std::string& requestText) { SetValue(0x3102, 1, Digit(requestText)); }
void EaltCommand(const std::string& requestText) { SetValue(0x3101, 1, Digit(requestText)); }
void EaviCommand(const std::string& requestText) { SetValue(0x3103, 1, Digit(requestText)); }
void EfueCommand(const std::string& requestText) { SetValue(0x3104, 1, Digit(requestText)); }
void EpitCommand(const std::string& requestText) { SetValue(0x029C, 1, Digit(requestText)); }
void FlapCommand(const std::string& requestText) { SetValue(0x0BFC, 1, Digit(requestText)); }
void MagnCommand(const std::string& requestText) { SetValue(0x0892, 2, Digit(requestText)); }

void EiceCommand(const std::string& requestText) {
  const int32_t v = Digit(requestText);
  for (const uint32_t offset : kAntiIce) WriteLow(offset, 2, v);
  IpcProcess();
}

// The simulator keeps cowl flaps as a real per engine.
void EcowCommand(const std::string& requestText) {
  const double v = Digit(requestText);
  for (const uint32_t offset : kCowlFlaps) IpcWrite(offset, 8, &v);
  IpcProcess();
}

// Position 11 is bit 0, position 6 bit 5; the light bits above 5 are always written clear.
// Any character but "1" is a clear bit, so this never fails.
void LighCommand(const std::string& requestText) {
  SetValue(0x0D0C, 2, BitStringValue(Positions(requestText, 6, 11)));
}

// 1 means fully down; every other value is written as it is (0 is up).
void LandCommand(const std::string& requestText) {
  const int32_t v = Digit(requestText);
  SetValue(0x0BE8, 4, v == 1 ? kGearDown : v);
}

// The client sends hectopascals x 100; the simulator keeps hectopascals x 16.
void BaroCommand(const std::string& requestText) {
  const int32_t n = IntValue(Positions(requestText, 6, 11));
  SetValue(0x0330, 2, RoundReal(RealMul(RealDiv(n, 100), 16)));
}

void FlpsCommand(const std::string& requestText) {
  SetValue(0x0BDC, 4, IntValue(Positions(requestText, 6, 10)));
}

// 65536 units per 360 degrees. The product is a 32-bit integer before the real division, so
// it wraps like one; four characters never get near that.
void GdrfCommand(const std::string& requestText) {
  const int32_t degrees = IntValue(Positions(requestText, 6, 9));
  const int32_t product = static_cast<int32_t>(static_cast<uint32_t>(degrees) * 65536u);
  SetValue(0x0C3E, 2, RoundReal(RealDiv(product, 360)));
}

void Obs2Command(const std::string& requestText) {
  SetValue(0x0C5E, 4, IntValue(Positions(requestText, 6, 8)));
}

void AobsCommand(const std::string& requestText) {
  SetValue(0x0C6C, 2, IntValue(Positions(requestText, 6, 8)));
}

}  // namespace tavelor
