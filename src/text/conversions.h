// The text conversions every handler uses. Their exact output is part of the wire protocol:
// clients cut replies at fixed widths, so padding, rounding and digit case never vary, and
// nothing here looks at the machine's locale.
#pragma once

#include <cstdint>
#include <string>

namespace tavelor {

// Signed decimal, no separators: -2147483648 gives "-2147483648".
std::string DecText(int64_t n);

// The 32-bit two's-complement pattern of n in upper-case hex, zero-filled to at least
// minDigits (never cut); minDigits above 32 counts as 0. HexText(-1, 4) is "FFFFFFFF".
std::string HexText(int64_t n, int minDigits);

// Four BCD digits without the leading 1: 0x1825 gives "118.25". Nibbles above 9 pass as letters.
std::string BcdFreqText(uint16_t v);

// Fixed-point text of at least `width` characters with `decimals` decimals, sign from the sign
// bit, exponent form from 1e36 up. Never faults: NaN and infinities have their own texts.
std::string FixedText(double x, int width, int decimals);

// The integer parse used for every number in a request. Throws RequestError with
// "'<text>' is not a valid integer value" on anything that is not a valid integer.
int32_t IntValue(const std::string& text);

// `width` characters "0"/"1", most significant bit first; zero and negative values give zeros.
// Bits at or above `width` are dropped.
std::string BitString(int64_t value, int width);

// Binary digits read from the end; "1" sets a bit, any other character leaves it clear.
uint32_t BitStringValue(const std::string& text);

// Fill in front (PadLeft) or behind (PadRight) up to width; empty and long texts unchanged.
std::string PadLeft(const std::string& text, size_t width, char fill);
std::string PadRight(const std::string& text, size_t width, char fill);

// Removes characters 0..32 at both ends.
std::string TrimText(const std::string& text);

}  // namespace tavelor
