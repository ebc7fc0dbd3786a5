// The chronometer that times the background sounds.
//
// Plain C++: time comes from a clock in seconds (the system's tick counter by
// default), which tests replace.
#pragma once

#include <functional>

class TCrono {
public:
  using TClock = std::function<double()>;  // seconds

  explicit TCrono(TClock clock = {});

  bool Stopped() const { return IsStopped; }
  // Starts (or restarts) the chronometer now.
  void Start();
  void Stop();
  // Seconds since the start; 0 when stopped.
  double Elapsed() const;
  // Whether the period has elapsed since the start; if so the chronometer
  // restarts. A stopped chronometer is a program error reported at panic
  // level ("Cronometer is stopped.").
  bool IsPeriod(double seconds);

private:
  TClock Clock;
  bool IsStopped = true;
  double StartTime = 0;
  double StopTime = 0;
};

// Seconds from the system's tick counter (milliseconds since it started × 0.001).
double TickSeconds();
