// The modifier set that comes with a key or mouse event, and the tests the
// key and mouse handlers make on it. Plain C++; UtilitiesQt.h converts Qt's
// modifiers and buttons into it.
#pragma once

#include <cstdint>
#include <initializer_list>

enum TShiftMember : int32_t { ssShift = 0, ssAlt = 1, ssCtrl = 2, ssLeft = 3, ssRight = 4, ssMiddle = 5, ssDouble = 6 };
constexpr int32_t ShiftMemberCount = 7;

class TShiftState {
public:
  constexpr TShiftState() = default;
  constexpr TShiftState(std::initializer_list<TShiftMember> members) {
    for (TShiftMember member : members)
      Include(member);
  }
  constexpr TShiftState &Include(TShiftMember member) {
    if (member >= 0 && member < ShiftMemberCount)
      Bits_ = static_cast<uint8_t>(Bits_ | (1u << member));
    return *this;
  }
  constexpr bool Contains(int32_t member) const {
    return member >= 0 && member < ShiftMemberCount && (Bits_ >> member) & 1u;
  }
  constexpr uint8_t Bits() const { return Bits_; }
  constexpr bool operator==(const TShiftState &other) const = default;

private:
  uint8_t Bits_ = 0;
};

// The member is in the set; a member number outside 0 to 6 gives false.
bool HasShift(TShiftState shift, int32_t member);
// The set holds exactly that member.
bool IsOnlyShift(TShiftState shift, int32_t member);
// The set is empty.
bool IsNoShift(TShiftState shift);
