#include "Input.h"

bool HasShift(TShiftState shift, int32_t member) { return shift.Contains(member); }

bool IsOnlyShift(TShiftState shift, int32_t member) {
  return shift.Contains(member) && shift == TShiftState{static_cast<TShiftMember>(member)};
}

bool IsNoShift(TShiftState shift) { return shift.Bits() == 0; }
