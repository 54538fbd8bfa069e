// The values that peers last commanded, reported back in every position packet.
#pragma once

#include <cstdint>

namespace orbitune {

struct RemoteSettings {
  std::int32_t mfdshow = 572;   // display selection
  std::int32_t mfdrange = 40;   // display range, a whole number
  std::int32_t adf1sfreq = 353; // ADF1 standby, whole kHz
  std::int32_t adf2sfreq = 353; // ADF2 standby, whole kHz
  std::int32_t xpdermode = 1;   // transponder mode
  std::int32_t radaux1 = 1;
  std::int32_t radaux2 = 2;
  std::int32_t apsource = 0;    // 2 asks for the GPS to drive NAV1
  std::int32_t mfdmode = 0;     // display mode
  std::int32_t lsim = 0;        // 1: the speed dial is a Mach number
  float lspeedial = 0.0f;       // knots or Mach, as lsim says
};

}  // namespace orbitune
