#pragma once

#include <cstdint>
#include <string>

namespace omrek {

// The pass options of one mode. Every read gives the value in force at that
// moment: the options can change while a command runs, and the next step
// that reads one follows the change.
class WipeProfile {
 public:
  virtual ~WipeProfile() = default;

  virtual bool DOD() const = 0;        // seven passes of 0xE5
  virtual bool Inversion() const = 0;  // one pass inverting every bit
  virtual bool Randomize() const = 0;  // NumRandomize random passes
  virtual std::int32_t NumRandomize() const = 0;
  virtual bool Nullify1() const = 0;          // one pass of 0x00
  virtual bool Nullify2() const = 0;          // one pass of 0xFF
  virtual bool NullifyCustom() const = 0;     // one pass of the NullValue byte
  virtual std::string NullValue() const = 0;  // hexadecimal text, e.g. "FE"
};

// A profile holding its values; starts with the options a first run has.
struct StoredWipeProfile : WipeProfile {
  bool dod = false;
  bool inversion = true;
  bool randomize = true;
  std::int32_t numRandomize = 1;
  bool nullify1 = true;
  bool nullify2 = true;
  bool nullifyCustom = true;
  std::string nullValue = "FE";

  bool DOD() const override { return dod; }
  bool Inversion() const override { return inversion; }
  bool Randomize() const override { return randomize; }
  std::int32_t NumRandomize() const override { return numRandomize; }
  bool Nullify1() const override { return nullify1; }
  bool Nullify2() const override { return nullify2; }
  bool NullifyCustom() const override { return nullifyCustom; }
  std::string NullValue() const override { return nullValue; }
};

// The custom byte from its text: each upper-case hex digit shifts in, any
// other character is skipped, and only the last two digits count. "FE" is
// 0xFE, "fe" is 0, "ABC" is 0xBC, "" is 0.
std::uint8_t ParseHexByte(const std::string& text);

}  // namespace omrek
