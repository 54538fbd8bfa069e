// report_position: one position report per enabled update cycle.
#include "position/position_sampler.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "control/radio_conversions.h"
#include "control/remote_settings.h"
#include "control/truncate.h"
#include "gauge/module.h"
#include "net/network.h"
#include "position/position_packet.h"

namespace orbitune {

namespace {

// Host values arrive as float64 and most fields are float32. Narrowing relies
// on IEEE 754 rounding (a value beyond float range becomes an infinity), which
// both builds share.
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559);

// Positions in PositionState::vars, in the host's refresh order.
constexpr int kVarVerticalSpeed = 0;
constexpr int kVarLatitude = 1;
constexpr int kVarAltitude = 2;
constexpr int kVarLongitude = 3;
constexpr int kVarPitch = 4;
constexpr int kVarBank = 5;
constexpr int kVarHeading = 6;
constexpr int kVarMagneticVariation = 7;
constexpr int kVarHeadingHold = 8;
constexpr int kVarAutopilotEngaged = 9;
constexpr int kVarApHeading = 10;
constexpr int kVarAltitudeHold = 11;
constexpr int kVarApAltitude = 12;
constexpr int kVarGlideSlopeHold = 13;
constexpr int kVarLocalizerHold = 14;
constexpr int kVarAirspeedHold = 16;
constexpr int kVarMachHold = 17;
constexpr int kVarAirspeedHoldSetting = 18;
constexpr int kVarMachHoldSetting = 19;
constexpr int kVarLateralNavHold = 20;
constexpr int kVarVerticalSpeedHold = 22;
constexpr int kVarApVerticalSpeed = 23;
constexpr int kVarNav1Course = 24;
constexpr int kVarFirstStatusWord = 25;
constexpr int kVarNav2Course = 26;
constexpr int kVarSecondStatusWord = 27;
constexpr int kVarParkingBrake = 28;
constexpr int kVarSpeedBrake = 29;
constexpr int kVarFlaps = 30;
constexpr int kVarLandingGear = 31;
constexpr int kVarOutsideTemperature = 32;
constexpr int kVarAngleOfAttack = 33;
constexpr int kVarMach = 34;
constexpr int kVarWindSpeed = 35;
constexpr int kVarWindDirection = 36;
constexpr int kVarNav1Active = 37;
constexpr int kVarNav2Active = 38;
constexpr int kVarCom1Active = 39;
constexpr int kVarCom2Active = 40;
constexpr int kVarCom1Standby = 41;
constexpr int kVarCom2Standby = 42;
constexpr int kVarNav1Standby = 43;
constexpr int kVarNav2Standby = 44;
constexpr int kVarTransponder = 45;

static_assert(kSampledVarTokens[kVarVerticalSpeed] == 0x41);
static_assert(kSampledVarTokens[kVarLatitude] == 0x47);
static_assert(kSampledVarTokens[kVarAltitude] == 0x4A);
static_assert(kSampledVarTokens[kVarLongitude] == 0x48);
static_assert(kSampledVarTokens[kVarPitch] == 0x4E);
static_assert(kSampledVarTokens[kVarBank] == 0x50);
static_assert(kSampledVarTokens[kVarHeading] == 0x56);
static_assert(kSampledVarTokens[kVarMagneticVariation] == 0x52);
static_assert(kSampledVarTokens[kVarHeadingHold] == 0x6A);
static_assert(kSampledVarTokens[kVarAutopilotEngaged] == 0x67);
static_assert(kSampledVarTokens[kVarApHeading] == 0x6B);
static_assert(kSampledVarTokens[kVarAltitudeHold] == 0x6C);
static_assert(kSampledVarTokens[kVarApAltitude] == 0x6D);
static_assert(kSampledVarTokens[kVarGlideSlopeHold] == 0x6F);
static_assert(kSampledVarTokens[kVarLocalizerHold] == 0x70);
static_assert(kSampledVarTokens[kVarAirspeedHold] == 0x73);
static_assert(kSampledVarTokens[kVarMachHold] == 0x75);
static_assert(kSampledVarTokens[kVarAirspeedHoldSetting] == 0x74);
static_assert(kSampledVarTokens[kVarMachHoldSetting] == 0x76);
static_assert(kSampledVarTokens[kVarLateralNavHold] == 0x69);
static_assert(kSampledVarTokens[kVarVerticalSpeedHold] == 0x77);
static_assert(kSampledVarTokens[kVarApVerticalSpeed] == 0x78);
static_assert(kSampledVarTokens[kVarNav1Course] == 0x2D);
static_assert(kSampledVarTokens[kVarFirstStatusWord] == 0);
static_assert(kSampledVarTokens[kVarNav2Course] == 0x36);
static_assert(kSampledVarTokens[kVarSecondStatusWord] == 0);
static_assert(kSampledVarTokens[kVarParkingBrake] == 0x143);
static_assert(kSampledVarTokens[kVarSpeedBrake] == 0x145);
static_assert(kSampledVarTokens[kVarFlaps] == 0x148);
static_assert(kSampledVarTokens[kVarLandingGear] == 0x14B);
static_assert(kSampledVarTokens[kVarOutsideTemperature] == 0x155);
static_assert(kSampledVarTokens[kVarAngleOfAttack] == 0x315);
static_assert(kSampledVarTokens[kVarMach] == 0x40);
static_assert(kSampledVarTokens[kVarWindSpeed] == 0x157);
static_assert(kSampledVarTokens[kVarWindDirection] == 0x158);
static_assert(kSampledVarTokens[kVarNav1Active] == 0x18);
static_assert(kSampledVarTokens[kVarNav2Active] == 0x1B);
static_assert(kSampledVarTokens[kVarCom1Active] == 0x17);
static_assert(kSampledVarTokens[kVarCom2Active] == 0x366);
static_assert(kSampledVarTokens[kVarCom1Standby] == 0x269);
static_assert(kSampledVarTokens[kVarCom2Standby] == 0x367);
static_assert(kSampledVarTokens[kVarNav1Standby] == 0x368);
static_assert(kSampledVarTokens[kVarNav2Standby] == 0x369);
static_assert(kSampledVarTokens[kVarTransponder] == 0x26);

// The calculator expressions, in evaluation order.
constexpr const char* kExprAtcId = "(A:ATC ID,string)";
constexpr const char* kExprAtcModel = "(A:ATC MODEL,string)";
constexpr const char* kExprAtcFlightNumber = "(A:ATC FLIGHT NUMBER,string)";
constexpr const char* kExprGroundVelocity = "(A:GROUND VELOCITY,knots)";
constexpr const char* kExprAirspeedIndicated = "(A:AIRSPEED INDICATED,knots)";
constexpr const char* kExprAirspeedTrue = "(A:AIRSPEED TRUE,knots)";
constexpr const char* kExprKohlsmanSetting = "(A:KOHLSMAN SETTING HG, inHg)";
constexpr const char* kExprGpsDrivesNav1 = "(A:GPS DRIVES NAV1,Bool)";
constexpr const char* kExprAdf1Active = "(A:ADF ACTIVE FREQUENCY:1, KHz)";
constexpr const char* kExprAdf2Active = "(A:ADF ACTIVE FREQUENCY:2, KHz)";
constexpr const char* kExprDesignSpeedVs0 = "(A:DESIGN SPEED VS0, Knots)";
constexpr const char* kExprDesignSpeedVs1 = "(A:DESIGN SPEED VS1, Knots)";
constexpr const char* kExprDesignSpeedVc = "(A:DESIGN SPEED VC, Knots)";
constexpr const char* kExprBarberPole = "(A:AIRSPEED BARBER POLE, Knots)";
constexpr const char* kExprMachMaxOperate = "(A:MACH MAX OPERATE, Mach)";
constexpr const char* kExprZuluTime = "(E:ZULU TIME,Seconds)";
constexpr const char* kExprLocalTime = "(E:LOCAL TIME,Seconds)";
constexpr const char* kExprFuelCapacity = "(A:FUEL TOTAL CAPACITY,Gallons)";
constexpr const char* kExprFuelWeight = "(A:FUEL TOTAL QUANTITY WEIGHT,Pounds)";
constexpr const char* kExprTotalWeight = "(A:TOTAL WEIGHT,Pounds)";
constexpr const char* kExprEmptyWeight = "(A:EMPTY WEIGHT,Pounds)";
constexpr const char* kExprFdPitch = "(A:AUTOPILOT FLIGHT DIRECTOR PITCH,Radians)";
constexpr const char* kExprFdBank = "(A:AUTOPILOT FLIGHT DIRECTOR BANK,Radians)";
constexpr const char* kExprPlaneAltitude = "(A:PLANE ALTITUDE,Feet)";
constexpr const char* kExprAltAboveGround = "(A:PLANE ALT ABOVE GROUND,Feet)";
constexpr const char* kExprAmbientDensity = "(A:AMBIENT DENSITY,Slugs per cubic feet)";
constexpr const char* kExprSigmaSqrt = "(A:SIGMA SQRT,Number)";
constexpr const char* kExprBarometer = "(A:BAROMETER PRESSURE,Milibars)";

constexpr const char* kSourceName = "FS9";

constexpr double kFlapsFullyExtended = 16000.0;
constexpr double kDegreesPerCircle = 360.0;
constexpr double kLatitudeUnitsPerCircle = 40007000.0;
constexpr double kLongitudeUnitsPerCircle = 281474976710656.0;  // 2^48
constexpr double kLatitudeLimit = 90.0;
constexpr double kLongitudeLimit = 180.0;
constexpr float kAlphaLimit = 180.0f;
constexpr double kFeetPerMetre = 3.2808399;
constexpr double kAlphaDegreesPerRadian = 57.3;
constexpr double kFlightDirectorDegreesPerRadian = 57.29578;
constexpr double kMetresPerSecondPerKnot = 0.514;
constexpr double kMachPerHostUnit = 0.00005;
constexpr double kVerticalSpeedDivisor = 1.3;
constexpr double kFuelCapacityFactor = 6.84;
constexpr double kKilogramsPerPound = 0.45359;
constexpr double kMetresPerFoot = 0.3048;
constexpr double kDensityPerSlugPerCubicFoot = 515.3788;
constexpr double kMillibarsPerInchHg = 33.86;

constexpr std::int32_t kHoldEngaged = 2;  // lnavst, hdgst, ... while their flag is set
constexpr std::int32_t kFdModeAutopilot = 2;
constexpr std::int32_t kFdModeDirectorOnly = 1;
constexpr std::int32_t kSpeedHolding = 2;
constexpr std::int32_t kSpeedArmed = 1;
constexpr std::int32_t kApSourceGps = 2;

float f32(double v) {
  return static_cast<float>(v);
}

std::int32_t engaged_if_set(double flag) {
  return flag != 0.0 ? kHoldEngaged : 0;
}

// Wind direction into [0, 360). The obvious add/subtract-360 loops never end
// for an infinity, nor for a float so large that 360 no longer changes it, and
// they would run for millions of steps well before that, freezing the host's
// update thread. fmod reduces any finite value in one exact step; from it the
// last step of the loops is replayed in float, so wherever the loops end after
// exact steps (any |value| below 2^27, far beyond real winds) the result is
// the loops' result, bit for bit. Non-finite values go out as they are.
float normalise_wind_direction(float wdir) {
  if (!std::isfinite(wdir)) return wdir;
  const double rest = std::fmod(static_cast<double>(wdir), kDegreesPerCircle);  // exact
  float reduced = wdir < 0.0f ? f32(rest + kDegreesPerCircle) : f32(rest);
  // A tiny negative rest rounds up to 360 in float; the loops then take 360 off.
  if (reduced >= 360.0f) reduced = f32(reduced - kDegreesPerCircle);
  return reduced;
}

}  // namespace

void report_position(Module& m) {
  HostServices& host = m.host;
  PositionState& state = m.position;
  RemoteSettings& remote = m.remote_settings;
  const ModuleVar* const vars = state.vars;
  auto f64_of = [vars](int index) { return module_var_f64(vars[index]); };

  PositionPacket p{};
  double f64_result = 0.0;
  std::int32_t i32_result = 0;
  const char* text_result = nullptr;
  // An expression the host cannot evaluate leaves its holder untouched, so its
  // field repeats the previous result of the same kind.
  auto eval_f64 = [&host, &f64_result](const char* expression) {
    host.execute_calculator_code(expression, &f64_result, nullptr, nullptr);
    return f64_result;
  };
  auto eval_i32 = [&host, &i32_result](const char* expression) {
    host.execute_calculator_code(expression, nullptr, &i32_result, nullptr);
    return i32_result;
  };
  auto eval_text = [&host, &text_result](const char* expression) {
    host.execute_calculator_code(expression, nullptr, nullptr, &text_result);
    return text_result;
  };

  // Every value is read after all are refreshed, so one report is one sample.
  for (ModuleVar& var : state.vars) host.lookup_var(&var);

  p.message_id = kMessagePosition;
  p.version = kPositionVersion;
  p.acf_set = kAllFieldsSet;
  p.pos_set = kAllFieldsSet;
  p.ap_set = kAllFieldsSet;
  p.rad_set = kAllFieldsSet;

  // A null text (the host had none) leaves the field zero.
  set_text_field(p.Tailno, eval_text(kExprAtcId));
  set_text_field(p.ICAO, eval_text(kExprAtcModel));
  set_text_field(p.Source, kSourceName);
  set_text_field(p.CallSign, eval_text(kExprAtcFlightNumber));

  // Aircraft.
  p.LandingG = f64_of(kVarLandingGear) != 0.0 ? 1 : 0;
  p.PBreak = f64_of(kVarParkingBrake) != 0.0 ? 1.0f : 0.0f;
  p.Flaps = f32(f64_of(kVarFlaps) / kFlapsFullyExtended);
  if (p.Flaps < 0.0f) p.Flaps = 0.0f;
  if (p.Flaps > 1.0f) p.Flaps = 1.0f;
  p.SBreak = f64_of(kVarSpeedBrake) != 0.0 ? 1.0f : 0.0f;

  // Position and attitude.
  p.lat = f64_of(kVarLatitude) * kDegreesPerCircle / kLatitudeUnitsPerCircle;
  if (p.lat > kLatitudeLimit) p.lat = kLatitudeLimit;
  if (p.lat < -kLatitudeLimit) p.lat = -kLatitudeLimit;
  p.lon = f64_of(kVarLongitude) * kDegreesPerCircle / kLongitudeUnitsPerCircle;
  if (p.lon > kLongitudeLimit) p.lon = kLongitudeLimit;
  if (p.lon < -kLongitudeLimit) p.lon = -kLongitudeLimit;
  p.elev = f64_of(kVarAltitude) / kFeetPerMetre;
  p.theta = f32(-f64_of(kVarPitch));
  p.phi = f32(-f64_of(kVarBank));
  p.psi = f32(f64_of(kVarHeading));
  p.free = 0.0f;
  p.mvar = f32(-f64_of(kVarMagneticVariation));
  p.alpha = f32(f64_of(kVarAngleOfAttack) * kAlphaDegreesPerRadian);
  if (p.alpha > kAlphaLimit) p.alpha = kAlphaLimit;
  if (p.alpha < -kAlphaLimit) p.alpha = -kAlphaLimit;
  p.beta = 0.0f;

  // Speeds and air.
  p.gs = f32(eval_f64(kExprGroundVelocity) * kMetresPerSecondPerKnot);
  p.ias = f32(eval_f64(kExprAirspeedIndicated));
  p.mach = f32(f64_of(kVarMach) * kMachPerHostUnit);
  p.tas = f32(eval_f64(kExprAirspeedTrue) * kMetresPerSecondPerKnot);
  p.alti = f32(eval_f64(kExprKohlsmanSetting));
  p.vvifpm = f32(f64_of(kVarVerticalSpeed) / kVerticalSpeedDivisor);
  p.wspeed = f32(f64_of(kVarWindSpeed));
  // Added to mvar as it goes on the wire (float), not to the host's double.
  p.wdir = normalise_wind_direction(f32(static_cast<double>(p.mvar) + f64_of(kVarWindDirection)));
  p.otemp = f32(f64_of(kVarOutsideTemperature));

  // Autopilot settings.
  p.altdial = f32(f64_of(kVarApAltitude));
  p.holddial = p.altdial;
  p.vnavdial = 0.0f;
  p.hdgdial = f32(f64_of(kVarApHeading));
  p.vspeeddial = f32(f64_of(kVarApVerticalSpeed));

  // Speed hold. While the host holds a speed it is the authority and its
  // setting is remembered; otherwise the last remembered setting (the host's
  // or a peer's, whichever came last) is reported.
  const double airspeed_hold = f64_of(kVarAirspeedHold);
  const double mach_hold = f64_of(kVarMachHold);
  if (mach_hold == 1.0) {
    p.speedismach = 1;
    p.speeddial = f32(f64_of(kVarMachHoldSetting));
    remote.lspeedial = p.speeddial;
    remote.lsim = 1;
  } else if (airspeed_hold == 1.0) {
    p.speedismach = 0;
    p.speeddial = f32(f64_of(kVarAirspeedHoldSetting));
    remote.lspeedial = p.speeddial;
    remote.lsim = 0;
  } else {
    p.speedismach = remote.lsim;
    p.speeddial = remote.lspeedial;
  }

  if (f64_of(kVarAutopilotEngaged) == 1.0) {
    p.fdmode = kFdModeAutopilot;
  } else {
    p.fdmode = f64_of(kVarFlightDirector) != 0.0 ? kFdModeDirectorOnly : 0;
  }

  // Unlike the hold selection above, any non-zero hold flag counts here.
  if (f64_of(kVarSpeedControlArm) == 0.0) {
    p.speedst = 0;
  } else {
    p.speedst = (airspeed_hold != 0.0 || mach_hold != 0.0) ? kSpeedHolding : kSpeedArmed;
  }

  p.lnavst = engaged_if_set(f64_of(kVarLateralNavHold));
  p.vnavst = 0;
  p.hdgst = engaged_if_set(f64_of(kVarHeadingHold));
  p.locst = engaged_if_set(f64_of(kVarLocalizerHold));
  p.altst = engaged_if_set(f64_of(kVarAltitudeHold));
  p.vsst = engaged_if_set(f64_of(kVarVerticalSpeedHold));
  p.gsst = engaged_if_set(f64_of(kVarGlideSlopeHold));
  p.obs1p = f32(f64_of(kVarNav1Course));
  p.lcst = engaged_if_set(f64_of(kVarFirstStatusWord));
  p.obs2p = f32(f64_of(kVarNav2Course));
  p.n1status = engaged_if_set(f64_of(kVarSecondStatusWord));

  // Navigation source and displays: what the host cannot tell, a peer did.
  p.apsource = eval_i32(kExprGpsDrivesNav1) == 1 ? kApSourceGps : remote.apsource;
  p.mfdmode = remote.mfdmode;
  p.mfdshow = remote.mfdshow;
  p.mfdrange = static_cast<float>(remote.mfdrange);

  // Radios. The host cannot report power, so every radio is reported on.
  p.nav1pwr = 1;
  p.nav2pwr = 1;
  p.com1pwr = 1;
  p.com2pwr = 1;
  p.adf1pwr = 1;
  p.adf2pwr = 1;
  p.dmepwr = 1;
  p.gpspwr = 1;
  p.nav1freq = bcd16_to_freq(module_var_i32(vars[kVarNav1Active]));
  p.nav2freq = bcd16_to_freq(module_var_i32(vars[kVarNav2Active]));
  p.com1freq = bcd16_to_freq(module_var_i32(vars[kVarCom1Active]));
  p.com2freq = bcd16_to_freq(module_var_i32(vars[kVarCom2Active]));
  p.adf1freq = trunc_to_i32(eval_f64(kExprAdf1Active));
  p.adf2freq = trunc_to_i32(eval_f64(kExprAdf2Active));
  p.dmefreq = 0;
  p.nav1sfreq = bcd16_to_freq(module_var_i32(vars[kVarNav1Standby]));
  p.nav2sfreq = bcd16_to_freq(module_var_i32(vars[kVarNav2Standby]));
  p.com1sfreq = bcd16_to_freq(module_var_i32(vars[kVarCom1Standby]));
  p.com2sfreq = bcd16_to_freq(module_var_i32(vars[kVarCom2Standby]));
  p.adf1sfreq = remote.adf1sfreq;
  p.adf2sfreq = remote.adf2sfreq;
  p.dmesfreq = 0;
  p.xpderc = bcd_to_decimal(module_var_i32(vars[kVarTransponder]));
  p.xpdermode = remote.xpdermode;
  p.xpdersqk = 0;
  p.radaux1 = remote.radaux1;
  p.radaux2 = remote.radaux2;

  // Performance.
  p.vso = f32(eval_f64(kExprDesignSpeedVs0));
  p.vs = f32(eval_f64(kExprDesignSpeedVs1));
  p.vfe = f32(eval_f64(kExprDesignSpeedVc));
  p.vno = 0.0f;
  p.vne = f32(eval_f64(kExprBarberPole));
  p.mmo = f32(eval_f64(kExprMachMaxOperate));

  // Time and weight.
  p.zulusecs = static_cast<float>(eval_i32(kExprZuluTime));
  p.localsecs = static_cast<float>(eval_i32(kExprLocalTime));
  p.maxfuel = f32(eval_f64(kExprFuelCapacity) * kFuelCapacityFactor);
  p.totfuel = f32(eval_f64(kExprFuelWeight) * kKilogramsPerPound);
  p.totalweight = f32(eval_f64(kExprTotalWeight));
  // From the stored total, so the two fields agree with each other on the wire.
  p.payloadweight = f32(static_cast<double>(p.totalweight) - eval_f64(kExprEmptyWeight));

  // Flight director and atmosphere.
  p.fdpitch = f32(-eval_f64(kExprFdPitch) * kFlightDirectorDegreesPerRadian);
  p.fdroll = f32(-eval_f64(kExprFdBank) * kFlightDirectorDegreesPerRadian);
  p.msl = f32(eval_f64(kExprPlaneAltitude) * kMetresPerFoot);
  p.agl = f32(eval_f64(kExprAltAboveGround) * kMetresPerFoot);
  p.rho = f32(eval_f64(kExprAmbientDensity) * kDensityPerSlugPerCubicFoot);
  const double sigma_sqrt = eval_f64(kExprSigmaSqrt);
  p.sigma = f32(sigma_sqrt * sigma_sqrt);
  p.speed_sound_ms = 0.0f;
  p.ihg = f32(eval_f64(kExprBarometer) / kMillibarsPerInchHg);

  std::uint8_t bytes[kPositionPacketBytes];
  encode_position_packet(p, bytes);

  // The socket may have been torn down since the network step; the report of
  // this cycle still goes out on a fresh one.
  NetworkState& net = m.network;
  if (net.udp_socket < 0) {
    open_udp_socket(m);
    net.reciever_to_be_binded = bind_receiver(m);
  }
  send_unicast(m, bytes);
  if (++state.position_send_count >= kCallsPerMulticast) {
    state.position_send_count = 0;
    send_multicast(m, bytes);
  }
}

}  // namespace orbitune
