#include "Myrandom.h"

#include <chrono>
#include <cstdlib>
#include <ctime>

TRandom Random;

namespace {
uint32_t StandardDraw() { return static_cast<uint32_t>(std::rand()); }

uint32_t MillisecondsSinceStart() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint32_t ByteReversed(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

uint32_t RotateRight1(uint32_t v) { return (v >> 1) | (v << 31); }
}  // namespace

void TRandom::Initialize(int32_t pointerX, int32_t pointerY) {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  Initialize(pointerX, pointerY, StandardDraw, MillisecondsSinceStart);
}

void TRandom::Initialize(int32_t pointerX, int32_t pointerY, TDraw draw, TTicks ticks) {
  Draw = std::move(draw);
  Ticks = std::move(ticks);
  Mix = Draw();
  for (int i = 0; i < 256; ++i) {
    X[i] = static_cast<uint8_t>(Draw() + static_cast<uint32_t>(pointerX));
    Y[i] = static_cast<uint8_t>(Draw() + static_cast<uint32_t>(pointerY));
  }
  Write = 0;
  Read = 0;
}

void TRandom::AddEntropy(int32_t x, int32_t y) {
  X[Write] = static_cast<uint8_t>(x);
  Y[Write] = static_cast<uint8_t>(y);
  ++Write;
}

uint32_t TRandom::NextRandom() {
  if (!Draw)
    Initialize(0, 0);
  Mix = RotateRight1(ByteReversed(Mix) + Ticks());
  const uint8_t r = Read;
  Read = static_cast<uint8_t>(Read + 2);
  const uint8_t s = static_cast<uint8_t>(r + 1);
  const uint32_t high = (static_cast<uint32_t>(X[r]) * 256u + Y[r]) << 16;
  const uint32_t low = Draw() + (static_cast<uint32_t>(X[Y[s]]) * 256u + Y[X[s]]) + Mix;
  return high | low;
}

int32_t TRandom::PickWeighted(int32_t count, const int32_t *weights) {
  int64_t sum = 0;
  for (int32_t i = 0; i < count; ++i)
    sum += weights[i];
  if (count < 1 || sum <= 0)
    return -1;
  const int64_t a = static_cast<int32_t>(NextRandom());
  const int64_t b = a % sum < 0 ? -(a % sum) : a % sum;
  int64_t total = 0;
  for (int32_t i = 0; i < count; ++i) {
    total += weights[i];
    if (total > b)
      return i;
  }
  return -1;
}
