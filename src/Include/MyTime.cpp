#include "MyTime.h"

#include "Error.h"

#include <chrono>

double TickSeconds() {
  using namespace std::chrono;
  return static_cast<double>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count()) * 0.001;
}

TCrono::TCrono(TClock clock) : Clock(clock ? std::move(clock) : TClock(TickSeconds)) {}

void TCrono::Start() {
  StartTime = Clock();
  IsStopped = false;
}

void TCrono::Stop() {
  StopTime = Clock();
  IsStopped = true;
}

double TCrono::Elapsed() const {
  if (IsStopped)
    return 0;
  const double elapsed = Clock() - StartTime;
  return elapsed < 0 ? 0 : elapsed;
}

bool TCrono::IsPeriod(double seconds) {
  OP_BEGIN("TCrono::IsPeriod");
  bool result = false;
  OP_TRY {
    if (seconds <= 0)
      return result;
    if (IsStopped) {
      OP_RAISE("Cronometer is stopped.", std::string(), std::string(), 0, fsPanic);
      OP_SHOW("PANIC: Cronometer is stopped.");
      return result;
    }
    if (Elapsed() >= seconds) {
      Start();
      result = true;
    }
  }
  OP_CATCH;
  return result;
}
