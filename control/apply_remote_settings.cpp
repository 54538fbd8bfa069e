// Applying a peer's command: the fields that a position-layout packet marks in
// its set words become host key events, or are remembered so that every
// position packet reports them back.
#include <cmath>
#include <cstdint>

#include "control/radio_conversions.h"
#include "control/remote_control.h"
#include "control/truncate.h"
#include "gauge/module.h"
#include "position/position_packet.h"
#include "position/set_word_bits.h"

namespace orbitune {
namespace {

// Key events the commands turn into, by what they do in the host.
namespace event {
inline constexpr std::uint32_t pitch_axis = 0x1009E;
inline constexpr std::uint32_t bank_axis = 0x1009F;
inline constexpr std::uint32_t sideslip_axis = 0x100A0;
inline constexpr std::uint32_t altimeter_setting = 0x101F8;
inline constexpr std::uint32_t altitude_dial = 0x1024C;
inline constexpr std::uint32_t vertical_speed_dial = 0x101F4;
inline constexpr std::uint32_t heading_dial = 0x101FA;
inline constexpr std::uint32_t flight_director_toggle = 0x102F0;
inline constexpr std::uint32_t autopilot_off = 0x100FF;
inline constexpr std::uint32_t autopilot_on = 0x10100;
inline constexpr std::uint32_t localizer_hold_off = 0x10115;
inline constexpr std::uint32_t localizer_hold_on = 0x1010D;
inline constexpr std::uint32_t altitude_hold_off = 0x10118;
inline constexpr std::uint32_t altitude_hold_on = 0x10110;
inline constexpr std::uint32_t glide_slope_hold_off = 0x10116;
inline constexpr std::uint32_t glide_slope_hold_on = 0x1010E;
inline constexpr std::uint32_t obs1_set = 0x100B4;
inline constexpr std::uint32_t obs2_set = 0x100B5;
inline constexpr std::uint32_t airspeed_hold = 0x1022F;  // parameter 1 engages, 0 releases
inline constexpr std::uint32_t mach_hold = 0x10232;      // parameter 1 engages, 0 releases
inline constexpr std::uint32_t airspeed_dial = 0x101F5;  // knots
inline constexpr std::uint32_t mach_dial = 0x101F6;      // hundredths of Mach
inline constexpr std::uint32_t speed_control_arm_toggle = 0x10144;
inline constexpr std::uint32_t heading_hold_off = 0x1023B;
inline constexpr std::uint32_t heading_hold_on = 0x1023A;
inline constexpr std::uint32_t lateral_nav_hold_off = 0x1011B;
inline constexpr std::uint32_t lateral_nav_hold_on = 0x10113;
inline constexpr std::uint32_t gps_drives_nav1_toggle = 0x10347;
inline constexpr std::uint32_t nav1_active = 0x100AC;
inline constexpr std::uint32_t nav2_active = 0x100AD;
inline constexpr std::uint32_t com1_active = 0x100AB;
inline constexpr std::uint32_t com2_active = 0x1038A;
inline constexpr std::uint32_t adf1_active = 0x103AF;
inline constexpr std::uint32_t adf2_active = 0x103FC;
inline constexpr std::uint32_t nav1_standby = 0x1038F;
inline constexpr std::uint32_t nav2_standby = 0x10393;
inline constexpr std::uint32_t com1_standby = 0x10343;
inline constexpr std::uint32_t com2_standby = 0x1038B;
inline constexpr std::uint32_t transponder_code = 0x100B3;
}  // namespace event

inline constexpr const char* kGpsDrivesNav1 = "(A:GPS DRIVES NAV1,Bool)";

// Key-event parameters are 32 bits wide; a negative value travels as its
// two's-complement pattern (-1500 as 0xFFFFFA24).
void send(Module& m, std::uint32_t event_id, std::int32_t parameter) {
  m.host.trigger_key_event(event_id, static_cast<std::uint32_t>(parameter));
}

// A NaN or infinite field is garbage, not a request for 0 or for the end of a
// scale: the step that reads it sends nothing and stores nothing, so that a
// broken peer cannot, say, turn the heading bug to 0. Finite values far out of
// range still saturate, since the peer did ask for "as far as it goes".
bool is_usable(float x) {
  return std::isfinite(x);
}

void send_truncated(Module& m, std::uint32_t event_id, float x) {
  if (!is_usable(x)) return;
  send(m, event_id, trunc_to_i32(x));
}

// Attitudes go to the host's axes at 182 units per degree, sign reversed.
// Truncating the negated product is the same as negating the truncated one,
// and unlike the latter it cannot overflow when the product saturates.
void send_axis(Module& m, std::uint32_t event_id, float x) {
  if (!is_usable(x)) return;
  send(m, event_id, trunc_to_i32(-(static_cast<double>(x) * 182.0)));
}

// Inches of mercury to sixteenths of a millibar. Formed in double precision
// so that every build sends the same parameter for the same command.
void send_altimeter(Module& m, float inches) {
  if (!is_usable(inches)) return;
  send(m, event::altimeter_setting, trunc_to_i32(static_cast<double>(inches) * 16.0 * 33.86));
}

void send_off_or_on(Module& m, std::int32_t state, std::uint32_t off_event,
                    std::uint32_t on_event) {
  send(m, state == 0 ? off_event : on_event, 0);
}

// Refreshes one of the sampler's host variables and tells whether it is set.
// The same record as the sampler's, so the sampler's next read sees the
// value this step acted on.
bool refreshed_flag_is_set(Module& m, int var_index) {
  ModuleVar& var = m.position.vars[var_index];
  m.host.lookup_var(&var);
  return module_var_f64(var) != 0.0;
}

// Event 0x102F0 flips the flight director, so it goes out only when the flag
// must change: clear for mode 0, set for modes 1 and 2. Mode 0 disengages
// the autopilot before clearing the flag; modes 1 and 2 set the flag first.
void apply_flight_director_mode(Module& m, std::int32_t fdmode) {
  const bool director_on = refreshed_flag_is_set(m, kVarFlightDirector);
  switch (fdmode) {
    case 0:
      send(m, event::autopilot_off, 0);
      if (director_on) send(m, event::flight_director_toggle, 0);
      break;
    case 1:
      if (!director_on) send(m, event::flight_director_toggle, 0);
      send(m, event::autopilot_off, 0);
      break;
    case 2:
      if (!director_on) send(m, event::flight_director_toggle, 0);
      send(m, event::autopilot_on, 0);
      break;
    default:
      break;
  }
}

// The hold being released always goes out before the one being engaged.
void apply_speed_hold_selection(Module& m, std::int32_t speedismach) {
  if (speedismach != 0) {
    m.remote_settings.lsim = 1;
    send(m, event::airspeed_hold, 0);
    send(m, event::mach_hold, 1);
  } else {
    m.remote_settings.lsim = 0;
    send(m, event::mach_hold, 0);
    send(m, event::airspeed_hold, 1);
  }
}

void apply_speed_dial(Module& m, float speeddial) {
  if (!is_usable(speeddial)) return;
  RemoteSettings& r = m.remote_settings;
  r.lspeedial = speeddial;
  if (r.lsim == 0) {
    send(m, event::airspeed_dial, trunc_to_i32(r.lspeedial));
  } else {
    // Hundredths of Mach, formed in double precision: a dial of 0.78, which
    // float32 holds as 0.77999997, gives 77 (a float32 product would round
    // to 78.0).
    send(m, event::mach_dial, trunc_to_i32(static_cast<double>(r.lspeedial) * 100.0));
  }
}

// Event 0x10144 flips the arm flag, so it goes out only when the flag must
// change: armed for states 1 and 2, disarmed for state 0. State 2 then
// engages the hold that lsim selects; the others leave both released.
void apply_speed_control_state(Module& m, std::int32_t speedst) {
  const bool armed = refreshed_flag_is_set(m, kVarSpeedControlArm);
  switch (speedst) {
    case 0:
      if (armed) send(m, event::speed_control_arm_toggle, 0);
      send(m, event::mach_hold, 0);
      send(m, event::airspeed_hold, 0);
      break;
    case 1:
      if (!armed) send(m, event::speed_control_arm_toggle, 0);
      send(m, event::mach_hold, 0);
      send(m, event::airspeed_hold, 0);
      break;
    case 2:
      if (!armed) send(m, event::speed_control_arm_toggle, 0);
      if (m.remote_settings.lsim == 1) {
        send(m, event::airspeed_hold, 0);
        send(m, event::mach_hold, 1);
      } else {
        send(m, event::mach_hold, 0);
        send(m, event::airspeed_hold, 1);
      }
      break;
    default:
      break;
  }
}

// Event 0x10347 flips whether the GPS drives NAV1: source 2 asks for the GPS,
// anything lower (negative values included) for the NAV receiver. A higher
// value changes nothing in the host but is still reported back.
void apply_navigation_source(Module& m, std::int32_t apsource) {
  m.remote_settings.apsource = apsource;
  // A host that cannot evaluate the expression leaves the holder alone; 0
  // then reads as "the NAV receiver drives NAV1".
  std::int32_t gps_drives_nav1 = 0;
  m.host.execute_calculator_code(kGpsDrivesNav1, nullptr, &gps_drives_nav1, nullptr);
  if (apsource < 2 && gps_drives_nav1 > 0) send(m, event::gps_drives_nav1_toggle, 0);
  if (apsource == 2 && gps_drives_nav1 == 0) send(m, event::gps_drives_nav1_toggle, 0);
}

void apply_position_group(Module& m, const PositionPacket& p) {
  const std::uint32_t set = p.pos_set;
  if (set & pos_bit::theta) send_axis(m, event::pitch_axis, p.theta);
  if (set & pos_bit::phi) send_axis(m, event::bank_axis, p.phi);
  if (set & pos_bit::beta) send_axis(m, event::sideslip_axis, p.beta);
  if (set & pos_bit::alti) send_altimeter(m, p.alti);
}

// The order matters: steps 14 to 16 read the lsim that an earlier step may
// have just written, and 14 and 16 both drive the speed holds.
void apply_autopilot_group(Module& m, const PositionPacket& p) {
  const std::uint32_t set = p.ap_set;
  RemoteSettings& r = m.remote_settings;
  if (set & ap_bit::altdial) send_truncated(m, event::altitude_dial, p.altdial);
  if (set & ap_bit::vspeeddial) send_truncated(m, event::vertical_speed_dial, p.vspeeddial);
  if (set & ap_bit::hdgdial) send_truncated(m, event::heading_dial, p.hdgdial);
  if (set & ap_bit::fdmode) apply_flight_director_mode(m, p.fdmode);
  if (set & ap_bit::locst) {
    if (p.locst == 0) send(m, event::localizer_hold_off, 0);
    if (p.locst == 1 || p.locst == 2) send(m, event::localizer_hold_on, 0);
  }
  if (set & ap_bit::altst) {
    send_off_or_on(m, p.altst, event::altitude_hold_off, event::altitude_hold_on);
  }
  if (set & ap_bit::gsst) {
    send_off_or_on(m, p.gsst, event::glide_slope_hold_off, event::glide_slope_hold_on);
  }
  if (set & ap_bit::obs1p) send_truncated(m, event::obs1_set, p.obs1p);
  if (set & ap_bit::obs2p) send_truncated(m, event::obs2_set, p.obs2p);
  if (set & ap_bit::speedismach) apply_speed_hold_selection(m, p.speedismach);
  if (set & ap_bit::speeddial) apply_speed_dial(m, p.speeddial);
  if (set & ap_bit::speedst) apply_speed_control_state(m, p.speedst);
  if (set & ap_bit::hdgst) {
    send_off_or_on(m, p.hdgst, event::heading_hold_off, event::heading_hold_on);
  }
  if (set & ap_bit::lnavst) {
    send_off_or_on(m, p.lnavst, event::lateral_nav_hold_off, event::lateral_nav_hold_on);
  }
  if (set & ap_bit::apsource) apply_navigation_source(m, p.apsource);
  if (set & ap_bit::mfdmode) r.mfdmode = p.mfdmode;
  if ((set & ap_bit::mfdrange) && is_usable(p.mfdrange)) r.mfdrange = trunc_to_i32(p.mfdrange);
  if (set & ap_bit::mfdshow) r.mfdshow = p.mfdshow;
}

void apply_radio_group(Module& m, const PositionPacket& p) {
  const std::uint32_t set = p.rad_set;
  RemoteSettings& r = m.remote_settings;
  if (set & rad_bit::nav1freq) send(m, event::nav1_active, freq_to_bcd16(p.nav1freq));
  if (set & rad_bit::nav2freq) send(m, event::nav2_active, freq_to_bcd16(p.nav2freq));
  if (set & rad_bit::com1freq) send(m, event::com1_active, freq_to_bcd16(p.com1freq));
  if (set & rad_bit::com2freq) send(m, event::com2_active, freq_to_bcd16(p.com2freq));
  if (set & rad_bit::adf1freq) send(m, event::adf1_active, adf_freq_to_bcd32(p.adf1freq));
  if (set & rad_bit::adf2freq) send(m, event::adf2_active, adf_freq_to_bcd32(p.adf2freq));
  if (set & rad_bit::nav1sfreq) send(m, event::nav1_standby, freq_to_bcd16(p.nav1sfreq));
  if (set & rad_bit::nav2sfreq) send(m, event::nav2_standby, freq_to_bcd16(p.nav2sfreq));
  if (set & rad_bit::com1sfreq) send(m, event::com1_standby, freq_to_bcd16(p.com1sfreq));
  if (set & rad_bit::com2sfreq) send(m, event::com2_standby, freq_to_bcd16(p.com2sfreq));
  if (set & rad_bit::adf1sfreq) r.adf1sfreq = p.adf1sfreq;
  if (set & rad_bit::adf2sfreq) r.adf2sfreq = p.adf2sfreq;
  if (set & rad_bit::xpderc) send(m, event::transponder_code, decimal_to_bcd(p.xpderc));
  if (set & rad_bit::xpdermode) r.xpdermode = p.xpdermode;
  if (set & rad_bit::radaux1) r.radaux1 = p.radaux1;
  if (set & rad_bit::radaux2) r.radaux2 = p.radaux2;
}

}  // namespace

// A group whose set word is 0 makes no host call at all, not even the
// variable refreshes of the flight-director and speed-control steps; acf_set
// is never consulted, since no aircraft field can be commanded.
void apply_remote_settings(Module& m, const std::uint8_t* packet) {
  const PositionPacket p = decode_position_packet(packet);
  if (p.pos_set != 0) apply_position_group(m, p);
  if (p.ap_set != 0) apply_autopilot_group(m, p);
  if (p.rad_set != 0) apply_radio_group(m, p);
}

}  // namespace orbitune
