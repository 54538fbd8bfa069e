// The position packet: the 460-byte record of a position report (message ID 1)
// and of a peer's command (message ID 4).
//
// The struct is the decoded form; only encode_position_packet and
// decode_position_packet know the wire layout. Peers exchange exactly
// kPositionPacketBytes, so the offsets below are part of the protocol and are
// checked at compile time: each field starts where the previous one ends.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orbitune {

inline constexpr std::size_t kPositionPacketBytes = 460;
// Second word of every position and route packet the module sends.
inline constexpr std::int32_t kPositionVersion = 0x10020310;
// Every set word of a report: all fields are meaningful.
inline constexpr std::uint32_t kAllFieldsSet = 0xFFFFFFFFu;

struct PositionPacket {
  // Header.
  std::int32_t message_id = 0;  // 1 = position report from the module, 4 = command from a peer
  std::int32_t version = 0;     // kPositionVersion in reports; a receiver ignores it

  // Aircraft group (acf_set). Text: zero-padded, no terminator when full.
  char Tailno[8] = {};        // tail number (registration)
  char ICAO[8] = {};          // aircraft type designator
  char CallSign[8] = {};      // flight number or call sign
  char Source[16] = {};       // sending simulator; the module writes "FS9"
  std::int32_t LandingG = 0;  // landing gear indication, 1 or 0
  float PBreak = 0;           // parking brake indication, 1.0 or 0.0
  float Flaps = 0;            // flap position as a fraction, 0.0 to 1.0
  float SBreak = 0;           // speed brake indication, 1.0 or 0.0

  // Position group (pos_set).
  double lat = 0;    // degrees, north positive, -90 to 90
  double lon = 0;    // degrees, east positive, -180 to 180
  double elev = 0;   // altitude, metres
  float theta = 0;   // pitch attitude, degrees
  float phi = 0;     // bank, degrees
  float psi = 0;     // heading, degrees
  float free = 0;    // always 0.0
  float mvar = 0;    // magnetic variation, degrees
  float alpha = 0;   // angle of attack, degrees, -180 to 180
  float beta = 0;    // sideslip, degrees; 0.0 in reports
  float gs = 0;      // ground speed, metres per second
  float ias = 0;     // indicated airspeed, knots
  float mach = 0;    // Mach number
  float tas = 0;     // true airspeed, metres per second
  float alti = 0;    // altimeter setting, inches of mercury
  float vvifpm = 0;  // vertical speed, feet per minute
  float wspeed = 0;  // wind speed, in the host's unit
  float wdir = 0;    // wind direction, degrees, [0, 360)
  float otemp = 0;   // outside air temperature, in the host's unit

  // Autopilot group (ap_set).
  float altdial = 0;             // autopilot altitude setting
  float holddial = 0;            // altitude hold setting; reports carry altdial
  float vnavdial = 0;            // 0.0 in reports
  float speeddial = 0;           // autopilot speed setting: knots, or Mach when speedismach is 1
  float hdgdial = 0;             // autopilot heading setting, degrees
  float vspeeddial = 0;          // autopilot vertical speed setting
  std::int32_t fdmode = 0;       // 0 neither, 1 flight director only, 2 autopilot engaged
  std::int32_t speedismach = 0;  // 1: speeddial is a Mach number, 0: knots
  std::int32_t speedst = 0;      // speed control: 0 off, 1 armed, 2 holding
  std::int32_t lnavst = 0;       // lateral navigation hold: 2 engaged, 0 off
  std::int32_t vnavst = 0;       // 0 in reports
  std::int32_t hdgst = 0;        // heading hold: 2 or 0
  std::int32_t locst = 0;        // localizer hold: 2 or 0
  std::int32_t altst = 0;        // altitude hold: 2 or 0
  std::int32_t vsst = 0;         // vertical speed hold: 2 or 0
  std::int32_t gsst = 0;         // glide slope hold: 2 or 0
  float obs1p = 0;               // NAV1 course selector, degrees
  std::int32_t lcst = 0;         // mode status word, 2 or 0
  float obs2p = 0;               // NAV2 course selector, degrees
  std::int32_t n1status = 0;     // mode status word, 2 or 0
  std::int32_t apsource = 0;     // navigation source: 2 = GPS drives NAV1, else as a peer last set
  std::int32_t mfdmode = 0;      // display mode, as a peer last set
  std::int32_t mfdshow = 0;      // display selection, as a peer last set (ap_set bit 23)
  float mfdrange = 0;  // display range, a whole number, as a peer last set (ap_set bit 22)

  // Radio group (rad_set).
  std::int32_t nav1pwr = 0;    // radio power flag; 1 in reports
  std::int32_t nav2pwr = 0;    // radio power flag; 1 in reports
  std::int32_t com1pwr = 0;    // radio power flag; 1 in reports
  std::int32_t com2pwr = 0;    // radio power flag; 1 in reports
  std::int32_t adf1pwr = 0;    // radio power flag; 1 in reports
  std::int32_t adf2pwr = 0;    // radio power flag; 1 in reports
  std::int32_t dmepwr = 0;     // radio power flag; 1 in reports
  std::int32_t gpspwr = 0;     // radio power flag; 1 in reports
  std::int32_t nav1freq = 0;   // NAV1 active, hundredths of a MHz (11130 = 111.30 MHz)
  std::int32_t nav2freq = 0;   // NAV2 active, hundredths of a MHz
  std::int32_t com1freq = 0;   // COM1 active, hundredths of a MHz
  std::int32_t com2freq = 0;   // COM2 active, hundredths of a MHz
  std::int32_t adf1freq = 0;   // ADF1 active, whole kHz
  std::int32_t adf2freq = 0;   // ADF2 active, whole kHz
  std::int32_t dmefreq = 0;    // 0 in reports
  std::int32_t nav1sfreq = 0;  // NAV1 standby, hundredths of a MHz
  std::int32_t nav2sfreq = 0;  // NAV2 standby, hundredths of a MHz
  std::int32_t com1sfreq = 0;  // COM1 standby, hundredths of a MHz
  std::int32_t com2sfreq = 0;  // COM2 standby, hundredths of a MHz
  std::int32_t adf1sfreq = 0;  // ADF1 standby, whole kHz, as a peer last set
  std::int32_t adf2sfreq = 0;  // ADF2 standby, whole kHz, as a peer last set
  std::int32_t dmesfreq = 0;   // 0 in reports
  std::int32_t xpderc = 0;     // transponder code, its digits as a decimal number (7700)
  std::int32_t xpdermode = 0;  // transponder mode, as a peer last set
  std::int32_t xpdersqk = 0;   // 0 in reports
  std::int32_t radaux1 = 0;    // as a peer last set
  std::int32_t radaux2 = 0;    // as a peer last set

  // Set words: all ones in reports; in a command, which fields to apply.
  std::uint32_t acf_set = 0;  // aircraft group set word; no bit defined, never read
  std::uint32_t pos_set = 0;  // position group: bit n marks the n-th field from lat
  std::uint32_t ap_set =
      0;  // autopilot group: bit n marks offset 152 + 4n (n < 22), 22 mfdrange, 23 mfdshow
  std::uint32_t rad_set = 0;   // radio group: bit n marks offset 248 + 4n
  std::int32_t reserved1 = 0;  // always 0
  std::int32_t reserved2 = 0;  // always 0

  // Performance group.
  float vso = 0;  // stall speed, landing configuration, knots
  float vs = 0;   // stall speed, clean, knots
  float vfe = 0;  // carries the design cruise speed, knots
  float vno = 0;  // 0.0 in reports
  float vne = 0;  // maximum speed (barber pole), knots
  float mmo = 0;  // maximum operating Mach number

  // Time and weight group.
  float zulusecs = 0;       // UTC time of day, whole seconds
  float localsecs = 0;      // local time of day, whole seconds
  float maxfuel = 0;        // fuel capacity in gallons times 6.84
  float totfuel = 0;        // fuel on board, kilograms
  float payloadweight = 0;  // total weight less empty weight, pounds
  float totalweight = 0;    // total weight, pounds

  // Flight director and atmosphere group.
  float fdpitch = 0;         // flight director pitch, degrees
  float fdroll = 0;          // flight director bank, degrees
  float msl = 0;             // altitude above sea level, metres
  float agl = 0;             // height above ground, metres
  float rho = 0;             // air density, kilograms per cubic metre
  float sigma = 0;           // density ratio
  float speed_sound_ms = 0;  // 0.0 in reports
  float ihg = 0;             // barometric pressure, inches of mercury

  friend bool operator==(const PositionPacket&, const PositionPacket&) = default;
};

// Byte offset of every field on the wire.
namespace position_offset {
inline constexpr std::size_t message_id = 0;
inline constexpr std::size_t version = 4;
inline constexpr std::size_t Tailno = 8;
inline constexpr std::size_t ICAO = 16;
inline constexpr std::size_t CallSign = 24;
inline constexpr std::size_t Source = 32;
inline constexpr std::size_t LandingG = 48;
inline constexpr std::size_t PBreak = 52;
inline constexpr std::size_t Flaps = 56;
inline constexpr std::size_t SBreak = 60;
inline constexpr std::size_t lat = 64;
inline constexpr std::size_t lon = 72;
inline constexpr std::size_t elev = 80;
inline constexpr std::size_t theta = 88;
inline constexpr std::size_t phi = 92;
inline constexpr std::size_t psi = 96;
inline constexpr std::size_t free = 100;
inline constexpr std::size_t mvar = 104;
inline constexpr std::size_t alpha = 108;
inline constexpr std::size_t beta = 112;
inline constexpr std::size_t gs = 116;
inline constexpr std::size_t ias = 120;
inline constexpr std::size_t mach = 124;
inline constexpr std::size_t tas = 128;
inline constexpr std::size_t alti = 132;
inline constexpr std::size_t vvifpm = 136;
inline constexpr std::size_t wspeed = 140;
inline constexpr std::size_t wdir = 144;
inline constexpr std::size_t otemp = 148;
inline constexpr std::size_t altdial = 152;
inline constexpr std::size_t holddial = 156;
inline constexpr std::size_t vnavdial = 160;
inline constexpr std::size_t speeddial = 164;
inline constexpr std::size_t hdgdial = 168;
inline constexpr std::size_t vspeeddial = 172;
inline constexpr std::size_t fdmode = 176;
inline constexpr std::size_t speedismach = 180;
inline constexpr std::size_t speedst = 184;
inline constexpr std::size_t lnavst = 188;
inline constexpr std::size_t vnavst = 192;
inline constexpr std::size_t hdgst = 196;
inline constexpr std::size_t locst = 200;
inline constexpr std::size_t altst = 204;
inline constexpr std::size_t vsst = 208;
inline constexpr std::size_t gsst = 212;
inline constexpr std::size_t obs1p = 216;
inline constexpr std::size_t lcst = 220;
inline constexpr std::size_t obs2p = 224;
inline constexpr std::size_t n1status = 228;
inline constexpr std::size_t apsource = 232;
inline constexpr std::size_t mfdmode = 236;
inline constexpr std::size_t mfdshow = 240;
inline constexpr std::size_t mfdrange = 244;
inline constexpr std::size_t nav1pwr = 248;
inline constexpr std::size_t nav2pwr = 252;
inline constexpr std::size_t com1pwr = 256;
inline constexpr std::size_t com2pwr = 260;
inline constexpr std::size_t adf1pwr = 264;
inline constexpr std::size_t adf2pwr = 268;
inline constexpr std::size_t dmepwr = 272;
inline constexpr std::size_t gpspwr = 276;
inline constexpr std::size_t nav1freq = 280;
inline constexpr std::size_t nav2freq = 284;
inline constexpr std::size_t com1freq = 288;
inline constexpr std::size_t com2freq = 292;
inline constexpr std::size_t adf1freq = 296;
inline constexpr std::size_t adf2freq = 300;
inline constexpr std::size_t dmefreq = 304;
inline constexpr std::size_t nav1sfreq = 308;
inline constexpr std::size_t nav2sfreq = 312;
inline constexpr std::size_t com1sfreq = 316;
inline constexpr std::size_t com2sfreq = 320;
inline constexpr std::size_t adf1sfreq = 324;
inline constexpr std::size_t adf2sfreq = 328;
inline constexpr std::size_t dmesfreq = 332;
inline constexpr std::size_t xpderc = 336;
inline constexpr std::size_t xpdermode = 340;
inline constexpr std::size_t xpdersqk = 344;
inline constexpr std::size_t radaux1 = 348;
inline constexpr std::size_t radaux2 = 352;
inline constexpr std::size_t acf_set = 356;
inline constexpr std::size_t pos_set = 360;
inline constexpr std::size_t ap_set = 364;
inline constexpr std::size_t rad_set = 368;
inline constexpr std::size_t reserved1 = 372;
inline constexpr std::size_t reserved2 = 376;
inline constexpr std::size_t vso = 380;
inline constexpr std::size_t vs = 384;
inline constexpr std::size_t vfe = 388;
inline constexpr std::size_t vno = 392;
inline constexpr std::size_t vne = 396;
inline constexpr std::size_t mmo = 400;
inline constexpr std::size_t zulusecs = 404;
inline constexpr std::size_t localsecs = 408;
inline constexpr std::size_t maxfuel = 412;
inline constexpr std::size_t totfuel = 416;
inline constexpr std::size_t payloadweight = 420;
inline constexpr std::size_t totalweight = 424;
inline constexpr std::size_t fdpitch = 428;
inline constexpr std::size_t fdroll = 432;
inline constexpr std::size_t msl = 436;
inline constexpr std::size_t agl = 440;
inline constexpr std::size_t rho = 444;
inline constexpr std::size_t sigma = 448;
inline constexpr std::size_t speed_sound_ms = 452;
inline constexpr std::size_t ihg = 456;

static_assert(version == message_id + 4);
static_assert(Tailno == version + 4);
static_assert(ICAO == Tailno + 8);
static_assert(CallSign == ICAO + 8);
static_assert(Source == CallSign + 8);
static_assert(LandingG == Source + 16);
static_assert(PBreak == LandingG + 4);
static_assert(Flaps == PBreak + 4);
static_assert(SBreak == Flaps + 4);
static_assert(lat == SBreak + 4);
static_assert(lon == lat + 8);
static_assert(elev == lon + 8);
static_assert(theta == elev + 8);
static_assert(phi == theta + 4);
static_assert(psi == phi + 4);
static_assert(free == psi + 4);
static_assert(mvar == free + 4);
static_assert(alpha == mvar + 4);
static_assert(beta == alpha + 4);
static_assert(gs == beta + 4);
static_assert(ias == gs + 4);
static_assert(mach == ias + 4);
static_assert(tas == mach + 4);
static_assert(alti == tas + 4);
static_assert(vvifpm == alti + 4);
static_assert(wspeed == vvifpm + 4);
static_assert(wdir == wspeed + 4);
static_assert(otemp == wdir + 4);
static_assert(altdial == otemp + 4);
static_assert(holddial == altdial + 4);
static_assert(vnavdial == holddial + 4);
static_assert(speeddial == vnavdial + 4);
static_assert(hdgdial == speeddial + 4);
static_assert(vspeeddial == hdgdial + 4);
static_assert(fdmode == vspeeddial + 4);
static_assert(speedismach == fdmode + 4);
static_assert(speedst == speedismach + 4);
static_assert(lnavst == speedst + 4);
static_assert(vnavst == lnavst + 4);
static_assert(hdgst == vnavst + 4);
static_assert(locst == hdgst + 4);
static_assert(altst == locst + 4);
static_assert(vsst == altst + 4);
static_assert(gsst == vsst + 4);
static_assert(obs1p == gsst + 4);
static_assert(lcst == obs1p + 4);
static_assert(obs2p == lcst + 4);
static_assert(n1status == obs2p + 4);
static_assert(apsource == n1status + 4);
static_assert(mfdmode == apsource + 4);
static_assert(mfdshow == mfdmode + 4);
static_assert(mfdrange == mfdshow + 4);
static_assert(nav1pwr == mfdrange + 4);
static_assert(nav2pwr == nav1pwr + 4);
static_assert(com1pwr == nav2pwr + 4);
static_assert(com2pwr == com1pwr + 4);
static_assert(adf1pwr == com2pwr + 4);
static_assert(adf2pwr == adf1pwr + 4);
static_assert(dmepwr == adf2pwr + 4);
static_assert(gpspwr == dmepwr + 4);
static_assert(nav1freq == gpspwr + 4);
static_assert(nav2freq == nav1freq + 4);
static_assert(com1freq == nav2freq + 4);
static_assert(com2freq == com1freq + 4);
static_assert(adf1freq == com2freq + 4);
static_assert(adf2freq == adf1freq + 4);
static_assert(dmefreq == adf2freq + 4);
static_assert(nav1sfreq == dmefreq + 4);
static_assert(nav2sfreq == nav1sfreq + 4);
static_assert(com1sfreq == nav2sfreq + 4);
static_assert(com2sfreq == com1sfreq + 4);
static_assert(adf1sfreq == com2sfreq + 4);
static_assert(adf2sfreq == adf1sfreq + 4);
static_assert(dmesfreq == adf2sfreq + 4);
static_assert(xpderc == dmesfreq + 4);
static_assert(xpdermode == xpderc + 4);
static_assert(xpdersqk == xpdermode + 4);
static_assert(radaux1 == xpdersqk + 4);
static_assert(radaux2 == radaux1 + 4);
static_assert(acf_set == radaux2 + 4);
static_assert(pos_set == acf_set + 4);
static_assert(ap_set == pos_set + 4);
static_assert(rad_set == ap_set + 4);
static_assert(reserved1 == rad_set + 4);
static_assert(reserved2 == reserved1 + 4);
static_assert(vso == reserved2 + 4);
static_assert(vs == vso + 4);
static_assert(vfe == vs + 4);
static_assert(vno == vfe + 4);
static_assert(vne == vno + 4);
static_assert(mmo == vne + 4);
static_assert(zulusecs == mmo + 4);
static_assert(localsecs == zulusecs + 4);
static_assert(maxfuel == localsecs + 4);
static_assert(totfuel == maxfuel + 4);
static_assert(payloadweight == totfuel + 4);
static_assert(totalweight == payloadweight + 4);
static_assert(fdpitch == totalweight + 4);
static_assert(fdroll == fdpitch + 4);
static_assert(msl == fdroll + 4);
static_assert(agl == msl + 4);
static_assert(rho == agl + 4);
static_assert(sigma == rho + 4);
static_assert(speed_sound_ms == sigma + 4);
static_assert(ihg == speed_sound_ms + 4);
static_assert(ihg + 4 == kPositionPacketBytes);
// The float64 fields sit 8-byte aligned within the record.
static_assert(lat % 8 == 0 && lon % 8 == 0 && elev % 8 == 0);
}  // namespace position_offset

// Writes every field little-endian into exactly kPositionPacketBytes bytes.
// Bytes after a text's first zero byte go out as zeros, so nothing left over
// in a text field after its terminator reaches the wire.
void encode_position_packet(const PositionPacket& packet, std::uint8_t out[kPositionPacketBytes]);

// Reads kPositionPacketBytes bytes. A receiver passes its zero-filled receive
// buffer, so fields beyond a short datagram read as 0. Text fields are taken up
// to their first zero byte and zero-padded.
PositionPacket decode_position_packet(const std::uint8_t* bytes);

// Copies at most N characters of `text` into a text field and zero-pads the
// rest; a text of N characters or more fills the field with no terminator. A
// null text leaves the field all zeros.
template <std::size_t N>
void set_text_field(char (&field)[N], const char* text) {
  std::size_t i = 0;
  if (text != nullptr) {
    for (; i < N && text[i] != '\0'; ++i) field[i] = text[i];
  }
  for (; i < N; ++i) field[i] = '\0';
}

}  // namespace orbitune
