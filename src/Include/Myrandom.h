// The program's random generator: a small mixing generator fed with the
// positions of the mouse pointer. It picks the random background sounds.
//
// Plain C++: the standard draws and the millisecond tick are plugged in, so
// that tests can give it fixed inputs.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

class TRandom {
public:
  using TDraw = std::function<uint32_t()>;   // a draw of a uniform pseudo-random generator
  using TTicks = std::function<uint32_t()>;  // milliseconds since the system started

  // Seeds the standard generator with the calendar time and fills the tables
  // from draws mixed with the pointer position.
  void Initialize(int32_t pointerX, int32_t pointerY);
  // The same with draws and ticks of the caller's (tests).
  void Initialize(int32_t pointerX, int32_t pointerY, TDraw draw, TTicks ticks);

  // Records a pointer position (its low bytes) in the next slot.
  void AddEntropy(int32_t x, int32_t y);
  uint32_t NextRandom();
  // The index of the first weight whose running total exceeds a random point
  // of [0, sum); -1 when there is none (count < 1 or weights not positive).
  int32_t PickWeighted(int32_t count, const int32_t *weights);

private:
  uint8_t Write = 0;
  uint8_t Read = 0;
  std::array<uint8_t, 256> X{};
  std::array<uint8_t, 256> Y{};
  uint32_t Mix = 0;
  TDraw Draw;
  TTicks Ticks;
};

// The one generator of the process.
extern TRandom Random;
