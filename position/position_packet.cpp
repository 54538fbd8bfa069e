#include "position/position_packet.h"

#include <cstring>

#include "platform/little_endian.h"

namespace orbitune {

namespace {

namespace at = position_offset;

template <std::size_t N>
void write_text(std::uint8_t* out, const char (&field)[N]) {
  std::size_t i = 0;
  for (; i < N && field[i] != '\0'; ++i) out[i] = static_cast<std::uint8_t>(field[i]);
  for (; i < N; ++i) out[i] = 0;
}

template <std::size_t N>
void read_text(const std::uint8_t* in, char (&field)[N]) {
  std::size_t i = 0;
  for (; i < N && in[i] != 0; ++i) field[i] = static_cast<char>(in[i]);
  for (; i < N; ++i) field[i] = '\0';
}

}  // namespace

void encode_position_packet(const PositionPacket& p, std::uint8_t out[kPositionPacketBytes]) {
  std::memset(out, 0, kPositionPacketBytes);
  store_le_i32(out + at::message_id, p.message_id);
  store_le_i32(out + at::version, p.version);
  write_text(out + at::Tailno, p.Tailno);
  write_text(out + at::ICAO, p.ICAO);
  write_text(out + at::CallSign, p.CallSign);
  write_text(out + at::Source, p.Source);
  store_le_i32(out + at::LandingG, p.LandingG);
  store_le_f32(out + at::PBreak, p.PBreak);
  store_le_f32(out + at::Flaps, p.Flaps);
  store_le_f32(out + at::SBreak, p.SBreak);
  store_le_f64(out + at::lat, p.lat);
  store_le_f64(out + at::lon, p.lon);
  store_le_f64(out + at::elev, p.elev);
  store_le_f32(out + at::theta, p.theta);
  store_le_f32(out + at::phi, p.phi);
  store_le_f32(out + at::psi, p.psi);
  store_le_f32(out + at::free, p.free);
  store_le_f32(out + at::mvar, p.mvar);
  store_le_f32(out + at::alpha, p.alpha);
  store_le_f32(out + at::beta, p.beta);
  store_le_f32(out + at::gs, p.gs);
  store_le_f32(out + at::ias, p.ias);
  store_le_f32(out + at::mach, p.mach);
  store_le_f32(out + at::tas, p.tas);
  store_le_f32(out + at::alti, p.alti);
  store_le_f32(out + at::vvifpm, p.vvifpm);
  store_le_f32(out + at::wspeed, p.wspeed);
  store_le_f32(out + at::wdir, p.wdir);
  store_le_f32(out + at::otemp, p.otemp);
  store_le_f32(out + at::altdial, p.altdial);
  store_le_f32(out + at::holddial, p.holddial);
  store_le_f32(out + at::vnavdial, p.vnavdial);
  store_le_f32(out + at::speeddial, p.speeddial);
  store_le_f32(out + at::hdgdial, p.hdgdial);
  store_le_f32(out + at::vspeeddial, p.vspeeddial);
  store_le_i32(out + at::fdmode, p.fdmode);
  store_le_i32(out + at::speedismach, p.speedismach);
  store_le_i32(out + at::speedst, p.speedst);
  store_le_i32(out + at::lnavst, p.lnavst);
  store_le_i32(out + at::vnavst, p.vnavst);
  store_le_i32(out + at::hdgst, p.hdgst);
  store_le_i32(out + at::locst, p.locst);
  store_le_i32(out + at::altst, p.altst);
  store_le_i32(out + at::vsst, p.vsst);
  store_le_i32(out + at::gsst, p.gsst);
  store_le_f32(out + at::obs1p, p.obs1p);
  store_le_i32(out + at::lcst, p.lcst);
  store_le_f32(out + at::obs2p, p.obs2p);
  store_le_i32(out + at::n1status, p.n1status);
  store_le_i32(out + at::apsource, p.apsource);
  store_le_i32(out + at::mfdmode, p.mfdmode);
  store_le_i32(out + at::mfdshow, p.mfdshow);
  store_le_f32(out + at::mfdrange, p.mfdrange);
  store_le_i32(out + at::nav1pwr, p.nav1pwr);
  store_le_i32(out + at::nav2pwr, p.nav2pwr);
  store_le_i32(out + at::com1pwr, p.com1pwr);
  store_le_i32(out + at::com2pwr, p.com2pwr);
  store_le_i32(out + at::adf1pwr, p.adf1pwr);
  store_le_i32(out + at::adf2pwr, p.adf2pwr);
  store_le_i32(out + at::dmepwr, p.dmepwr);
  store_le_i32(out + at::gpspwr, p.gpspwr);
  store_le_i32(out + at::nav1freq, p.nav1freq);
  store_le_i32(out + at::nav2freq, p.nav2freq);
  store_le_i32(out + at::com1freq, p.com1freq);
  store_le_i32(out + at::com2freq, p.com2freq);
  store_le_i32(out + at::adf1freq, p.adf1freq);
  store_le_i32(out + at::adf2freq, p.adf2freq);
  store_le_i32(out + at::dmefreq, p.dmefreq);
  store_le_i32(out + at::nav1sfreq, p.nav1sfreq);
  store_le_i32(out + at::nav2sfreq, p.nav2sfreq);
  store_le_i32(out + at::com1sfreq, p.com1sfreq);
  store_le_i32(out + at::com2sfreq, p.com2sfreq);
  store_le_i32(out + at::adf1sfreq, p.adf1sfreq);
  store_le_i32(out + at::adf2sfreq, p.adf2sfreq);
  store_le_i32(out + at::dmesfreq, p.dmesfreq);
  store_le_i32(out + at::xpderc, p.xpderc);
  store_le_i32(out + at::xpdermode, p.xpdermode);
  store_le_i32(out + at::xpdersqk, p.xpdersqk);
  store_le_i32(out + at::radaux1, p.radaux1);
  store_le_i32(out + at::radaux2, p.radaux2);
  store_le_u32(out + at::acf_set, p.acf_set);
  store_le_u32(out + at::pos_set, p.pos_set);
  store_le_u32(out + at::ap_set, p.ap_set);
  store_le_u32(out + at::rad_set, p.rad_set);
  store_le_i32(out + at::reserved1, p.reserved1);
  store_le_i32(out + at::reserved2, p.reserved2);
  store_le_f32(out + at::vso, p.vso);
  store_le_f32(out + at::vs, p.vs);
  store_le_f32(out + at::vfe, p.vfe);
  store_le_f32(out + at::vno, p.vno);
  store_le_f32(out + at::vne, p.vne);
  store_le_f32(out + at::mmo, p.mmo);
  store_le_f32(out + at::zulusecs, p.zulusecs);
  store_le_f32(out + at::localsecs, p.localsecs);
  store_le_f32(out + at::maxfuel, p.maxfuel);
  store_le_f32(out + at::totfuel, p.totfuel);
  store_le_f32(out + at::payloadweight, p.payloadweight);
  store_le_f32(out + at::totalweight, p.totalweight);
  store_le_f32(out + at::fdpitch, p.fdpitch);
  store_le_f32(out + at::fdroll, p.fdroll);
  store_le_f32(out + at::msl, p.msl);
  store_le_f32(out + at::agl, p.agl);
  store_le_f32(out + at::rho, p.rho);
  store_le_f32(out + at::sigma, p.sigma);
  store_le_f32(out + at::speed_sound_ms, p.speed_sound_ms);
  store_le_f32(out + at::ihg, p.ihg);
}

PositionPacket decode_position_packet(const std::uint8_t* bytes) {
  PositionPacket p;
  p.message_id = load_le_i32(bytes + at::message_id);
  p.version = load_le_i32(bytes + at::version);
  read_text(bytes + at::Tailno, p.Tailno);
  read_text(bytes + at::ICAO, p.ICAO);
  read_text(bytes + at::CallSign, p.CallSign);
  read_text(bytes + at::Source, p.Source);
  p.LandingG = load_le_i32(bytes + at::LandingG);
  p.PBreak = load_le_f32(bytes + at::PBreak);
  p.Flaps = load_le_f32(bytes + at::Flaps);
  p.SBreak = load_le_f32(bytes + at::SBreak);
  p.lat = load_le_f64(bytes + at::lat);
  p.lon = load_le_f64(bytes + at::lon);
  p.elev = load_le_f64(bytes + at::elev);
  p.theta = load_le_f32(bytes + at::theta);
  p.phi = load_le_f32(bytes + at::phi);
  p.psi = load_le_f32(bytes + at::psi);
  p.free = load_le_f32(bytes + at::free);
  p.mvar = load_le_f32(bytes + at::mvar);
  p.alpha = load_le_f32(bytes + at::alpha);
  p.beta = load_le_f32(bytes + at::beta);
  p.gs = load_le_f32(bytes + at::gs);
  p.ias = load_le_f32(bytes + at::ias);
  p.mach = load_le_f32(bytes + at::mach);
  p.tas = load_le_f32(bytes + at::tas);
  p.alti = load_le_f32(bytes + at::alti);
  p.vvifpm = load_le_f32(bytes + at::vvifpm);
  p.wspeed = load_le_f32(bytes + at::wspeed);
  p.wdir = load_le_f32(bytes + at::wdir);
  p.otemp = load_le_f32(bytes + at::otemp);
  p.altdial = load_le_f32(bytes + at::altdial);
  p.holddial = load_le_f32(bytes + at::holddial);
  p.vnavdial = load_le_f32(bytes + at::vnavdial);
  p.speeddial = load_le_f32(bytes + at::speeddial);
  p.hdgdial = load_le_f32(bytes + at::hdgdial);
  p.vspeeddial = load_le_f32(bytes + at::vspeeddial);
  p.fdmode = load_le_i32(bytes + at::fdmode);
  p.speedismach = load_le_i32(bytes + at::speedismach);
  p.speedst = load_le_i32(bytes + at::speedst);
  p.lnavst = load_le_i32(bytes + at::lnavst);
  p.vnavst = load_le_i32(bytes + at::vnavst);
  p.hdgst = load_le_i32(bytes + at::hdgst);
  p.locst = load_le_i32(bytes + at::locst);
  p.altst = load_le_i32(bytes + at::altst);
  p.vsst = load_le_i32(bytes + at::vsst);
  p.gsst = load_le_i32(bytes + at::gsst);
  p.obs1p = load_le_f32(bytes + at::obs1p);
  p.lcst = load_le_i32(bytes + at::lcst);
  p.obs2p = load_le_f32(bytes + at::obs2p);
  p.n1status = load_le_i32(bytes + at::n1status);
  p.apsource = load_le_i32(bytes + at::apsource);
  p.mfdmode = load_le_i32(bytes + at::mfdmode);
  p.mfdshow = load_le_i32(bytes + at::mfdshow);
  p.mfdrange = load_le_f32(bytes + at::mfdrange);
  p.nav1pwr = load_le_i32(bytes + at::nav1pwr);
  p.nav2pwr = load_le_i32(bytes + at::nav2pwr);
  p.com1pwr = load_le_i32(bytes + at::com1pwr);
  p.com2pwr = load_le_i32(bytes + at::com2pwr);
  p.adf1pwr = load_le_i32(bytes + at::adf1pwr);
  p.adf2pwr = load_le_i32(bytes + at::adf2pwr);
  p.dmepwr = load_le_i32(bytes + at::dmepwr);
  p.gpspwr = load_le_i32(bytes + at::gpspwr);
  p.nav1freq = load_le_i32(bytes + at::nav1freq);
  p.nav2freq = load_le_i32(bytes + at::nav2freq);
  p.com1freq = load_le_i32(bytes + at::com1freq);
  p.com2freq = load_le_i32(bytes + at::com2freq);
  p.adf1freq = load_le_i32(bytes + at::adf1freq);
  p.adf2freq = load_le_i32(bytes + at::adf2freq);
  p.dmefreq = load_le_i32(bytes + at::dmefreq);
  p.nav1sfreq = load_le_i32(bytes + at::nav1sfreq);
  p.nav2sfreq = load_le_i32(bytes + at::nav2sfreq);
  p.com1sfreq = load_le_i32(bytes + at::com1sfreq);
  p.com2sfreq = load_le_i32(bytes + at::com2sfreq);
  p.adf1sfreq = load_le_i32(bytes + at::adf1sfreq);
  p.adf2sfreq = load_le_i32(bytes + at::adf2sfreq);
  p.dmesfreq = load_le_i32(bytes + at::dmesfreq);
  p.xpderc = load_le_i32(bytes + at::xpderc);
  p.xpdermode = load_le_i32(bytes + at::xpdermode);
  p.xpdersqk = load_le_i32(bytes + at::xpdersqk);
  p.radaux1 = load_le_i32(bytes + at::radaux1);
  p.radaux2 = load_le_i32(bytes + at::radaux2);
  p.acf_set = load_le_u32(bytes + at::acf_set);
  p.pos_set = load_le_u32(bytes + at::pos_set);
  p.ap_set = load_le_u32(bytes + at::ap_set);
  p.rad_set = load_le_u32(bytes + at::rad_set);
  p.reserved1 = load_le_i32(bytes + at::reserved1);
  p.reserved2 = load_le_i32(bytes + at::reserved2);
  p.vso = load_le_f32(bytes + at::vso);
  p.vs = load_le_f32(bytes + at::vs);
  p.vfe = load_le_f32(bytes + at::vfe);
  p.vno = load_le_f32(bytes + at::vno);
  p.vne = load_le_f32(bytes + at::vne);
  p.mmo = load_le_f32(bytes + at::mmo);
  p.zulusecs = load_le_f32(bytes + at::zulusecs);
  p.localsecs = load_le_f32(bytes + at::localsecs);
  p.maxfuel = load_le_f32(bytes + at::maxfuel);
  p.totfuel = load_le_f32(bytes + at::totfuel);
  p.payloadweight = load_le_f32(bytes + at::payloadweight);
  p.totalweight = load_le_f32(bytes + at::totalweight);
  p.fdpitch = load_le_f32(bytes + at::fdpitch);
  p.fdroll = load_le_f32(bytes + at::fdroll);
  p.msl = load_le_f32(bytes + at::msl);
  p.agl = load_le_f32(bytes + at::agl);
  p.rho = load_le_f32(bytes + at::rho);
  p.sigma = load_le_f32(bytes + at::sigma);
  p.speed_sound_ms = load_le_f32(bytes + at::speed_sound_ms);
  p.ihg = load_le_f32(bytes + at::ihg);
  return p;
}

}  // namespace orbitune
