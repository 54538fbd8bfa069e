// The position packet on the wire: a hand-made byte image read and written
// field by field, a round trip with a distinct value in every field, and the
// text field rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "position/position_packet.h"

namespace orbitune {
namespace {

using Image = std::vector<std::uint8_t>;

void put(Image& image, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
  std::size_t i = offset;
  for (std::uint8_t b : bytes) image.at(i++) = b;
}

void put_text(Image& image, std::size_t offset, const char* text) {
  for (std::size_t i = 0; text[i] != '\0'; ++i)
    image.at(offset + i) = static_cast<std::uint8_t>(text[i]);
}

// A command as a peer would send it, written byte by byte at offsets taken
// from the protocol's table rather than from the code under test.
Image hand_made_command() {
  Image image(460, 0);
  put(image, 0, {0x04, 0x00, 0x00, 0x00});                           // Message ID 4
  put(image, 4, {0x10, 0x03, 0x02, 0x10});                           // Version 0x10020310
  put_text(image, 8, "D-EABCDE");                                    // Tailno, full: no terminator
  put_text(image, 16, "B738");                                       // ICAO, then four zero bytes
  put_text(image, 32, "FS9");                                        // Source
  put(image, 48, {0x01, 0x00, 0x00, 0x00});                          // LandingG 1
  put(image, 56, {0x00, 0x00, 0x00, 0x3F});                          // Flaps 0.5f
  put(image, 64, {0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x49, 0x40});  // lat 51.5
  put(image, 72, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD0, 0xBF});  // lon -0.25
  put(image, 80, {0x00, 0x00, 0x00, 0x00, 0x00, 0x4A, 0x93, 0x40});  // elev 1234.5
  put(image, 88, {0x00, 0x00, 0x20, 0xC0});                          // theta -2.5f
  put(image, 148, {0x00, 0x00, 0x70, 0x41});                         // otemp 15.0f
  put(image, 176, {0x02, 0x00, 0x00, 0x00});                         // fdmode 2
  put(image, 240, {0x3C, 0x02, 0x00, 0x00});                         // mfdshow 572
  put(image, 244, {0x00, 0x00, 0x20, 0x42});                         // mfdrange 40.0f
  put(image, 280, {0x7A, 0x2B, 0x00, 0x00});                         // nav1freq 11130
  put(image, 296, {0x61, 0x01, 0x00, 0x00});                         // adf1freq 353
  put(image, 336, {0x14, 0x1E, 0x00, 0x00});                         // xpderc 7700
  put(image, 352, {0xFE, 0xFF, 0xFF, 0xFF});                         // radaux2 -2
  put(image, 356, {0x04, 0x03, 0x02, 0x01});                         // acf_set 0x01020304
  put(image, 360, {0x08, 0x40, 0x00, 0x00});                         // pos_set theta and alti
  put(image, 364, {0x00, 0x00, 0x40, 0x00});                         // ap_set mfdrange
  put(image, 368, {0x00, 0x00, 0x80, 0x00});                         // rad_set xpdermode
  put(image, 380, {0x00, 0x00, 0x34, 0x42});                         // vso 45.0f
  put(image, 404, {0x00, 0xC0, 0x28, 0x47});                         // zulusecs 43200.0f
  put(image, 456, {0x29, 0x5C, 0xEF, 0x41});                         // ihg 29.92f
  return image;
}

// The same command as a record.
PositionPacket hand_made_record() {
  PositionPacket p;
  p.message_id = 4;
  p.version = 0x10020310;
  std::memcpy(p.Tailno, "D-EABCDE", 8);
  std::memcpy(p.ICAO, "B738", 4);
  std::memcpy(p.Source, "FS9", 3);
  p.LandingG = 1;
  p.Flaps = 0.5f;
  p.lat = 51.5;
  p.lon = -0.25;
  p.elev = 1234.5;
  p.theta = -2.5f;
  p.otemp = 15.0f;
  p.fdmode = 2;
  p.mfdshow = 572;
  p.mfdrange = 40.0f;
  p.nav1freq = 11130;
  p.adf1freq = 353;
  p.xpderc = 7700;
  p.radaux2 = -2;
  p.acf_set = 0x01020304u;
  p.pos_set = 0x00004008u;
  p.ap_set = 0x00400000u;
  p.rad_set = 0x00800000u;
  p.vso = 45.0f;
  p.zulusecs = 43200.0f;
  p.ihg = 29.92f;
  return p;
}

std::string text_of(const char* field, std::size_t n) {
  return std::string(field, n);
}

TEST(PositionPacket, DecodesHandMadeImage) {
  const Image image = hand_made_command();
  const PositionPacket p = decode_position_packet(image.data());
  EXPECT_EQ(p.message_id, 4);
  EXPECT_EQ(p.version, kPositionVersion);
  EXPECT_EQ(text_of(p.Tailno, 8), "D-EABCDE");
  EXPECT_EQ(text_of(p.ICAO, 8), std::string("B738\0\0\0\0", 8));
  EXPECT_EQ(text_of(p.CallSign, 8), std::string(8, '\0'));
  EXPECT_EQ(text_of(p.Source, 16), std::string("FS9") + std::string(13, '\0'));
  EXPECT_EQ(p.LandingG, 1);
  EXPECT_EQ(p.PBreak, 0.0f);
  EXPECT_EQ(p.Flaps, 0.5f);
  EXPECT_EQ(p.lat, 51.5);
  EXPECT_EQ(p.lon, -0.25);
  EXPECT_EQ(p.elev, 1234.5);
  EXPECT_EQ(p.theta, -2.5f);
  EXPECT_EQ(p.phi, 0.0f);
  EXPECT_EQ(p.otemp, 15.0f);
  EXPECT_EQ(p.fdmode, 2);
  EXPECT_EQ(p.mfdshow, 572);
  EXPECT_EQ(p.mfdrange, 40.0f);
  EXPECT_EQ(p.nav1freq, 11130);
  EXPECT_EQ(p.adf1freq, 353);
  EXPECT_EQ(p.xpderc, 7700);
  EXPECT_EQ(p.radaux2, -2);
  EXPECT_EQ(p.acf_set, 0x01020304u);
  EXPECT_EQ(p.pos_set, 0x00004008u);
  EXPECT_EQ(p.ap_set, 0x00400000u);
  EXPECT_EQ(p.rad_set, 0x00800000u);
  EXPECT_EQ(p.reserved1, 0);
  EXPECT_EQ(p.vso, 45.0f);
  EXPECT_EQ(p.zulusecs, 43200.0f);
  EXPECT_EQ(p.ihg, 29.92f);
  // Nothing else was in the image.
  EXPECT_EQ(p, hand_made_record());
}

TEST(PositionPacket, EncodesRecordAsHandMadeImage) {
  std::uint8_t out[kPositionPacketBytes];
  std::memset(out, 0xCD, sizeof out);  // the encoder must overwrite every byte
  encode_position_packet(hand_made_record(), out);
  EXPECT_EQ(Image(out, out + sizeof out), hand_made_command());
}

PositionPacket every_field_distinct() {
  PositionPacket p;
  p.message_id = -1 * (0x01000193 * 1 + 1);
  p.version = 1 * (0x01000193 * 2 + 2);
  set_text_field(p.Tailno, "TAILNOAB");
  set_text_field(p.ICAO, "ICAOABCD");
  set_text_field(p.CallSign, "CALLSIGN");
  set_text_field(p.Source, "SOURCEABCDEFGHIJ");
  p.LandingG = -1 * (0x01000193 * 7 + 7);
  p.PBreak = 8.0f + 8.0f / 1024.0f;
  p.Flaps = 9.0f + 9.0f / 1024.0f;
  p.SBreak = 10.0f + 10.0f / 1024.0f;
  p.lat = 11.0 + 1.0 / 77.0;
  p.lon = 12.0 + 1.0 / 84.0;
  p.elev = 13.0 + 1.0 / 91.0;
  p.theta = 14.0f + 14.0f / 1024.0f;
  p.phi = 15.0f + 15.0f / 1024.0f;
  p.psi = 16.0f + 16.0f / 1024.0f;
  p.free = 17.0f + 17.0f / 1024.0f;
  p.mvar = 18.0f + 18.0f / 1024.0f;
  p.alpha = 19.0f + 19.0f / 1024.0f;
  p.beta = 20.0f + 20.0f / 1024.0f;
  p.gs = 21.0f + 21.0f / 1024.0f;
  p.ias = 22.0f + 22.0f / 1024.0f;
  p.mach = 23.0f + 23.0f / 1024.0f;
  p.tas = 24.0f + 24.0f / 1024.0f;
  p.alti = 25.0f + 25.0f / 1024.0f;
  p.vvifpm = 26.0f + 26.0f / 1024.0f;
  p.wspeed = 27.0f + 27.0f / 1024.0f;
  p.wdir = 28.0f + 28.0f / 1024.0f;
  p.otemp = 29.0f + 29.0f / 1024.0f;
  p.altdial = 30.0f + 30.0f / 1024.0f;
  p.holddial = 31.0f + 31.0f / 1024.0f;
  p.vnavdial = 32.0f + 32.0f / 1024.0f;
  p.speeddial = 33.0f + 33.0f / 1024.0f;
  p.hdgdial = 34.0f + 34.0f / 1024.0f;
  p.vspeeddial = 35.0f + 35.0f / 1024.0f;
  p.fdmode = 1 * (0x01000193 * 36 + 36);
  p.speedismach = -1 * (0x01000193 * 37 + 37);
  p.speedst = 1 * (0x01000193 * 38 + 38);
  p.lnavst = -1 * (0x01000193 * 39 + 39);
  p.vnavst = 1 * (0x01000193 * 40 + 40);
  p.hdgst = -1 * (0x01000193 * 41 + 41);
  p.locst = 1 * (0x01000193 * 42 + 42);
  p.altst = -1 * (0x01000193 * 43 + 43);
  p.vsst = 1 * (0x01000193 * 44 + 44);
  p.gsst = -1 * (0x01000193 * 45 + 45);
  p.obs1p = 46.0f + 46.0f / 1024.0f;
  p.lcst = -1 * (0x01000193 * 47 + 47);
  p.obs2p = 48.0f + 48.0f / 1024.0f;
  p.n1status = -1 * (0x01000193 * 49 + 49);
  p.apsource = 1 * (0x01000193 * 50 + 50);
  p.mfdmode = -1 * (0x01000193 * 51 + 51);
  p.mfdshow = 1 * (0x01000193 * 52 + 52);
  p.mfdrange = 53.0f + 53.0f / 1024.0f;
  p.nav1pwr = 1 * (0x01000193 * 54 + 54);
  p.nav2pwr = -1 * (0x01000193 * 55 + 55);
  p.com1pwr = 1 * (0x01000193 * 56 + 56);
  p.com2pwr = -1 * (0x01000193 * 57 + 57);
  p.adf1pwr = 1 * (0x01000193 * 58 + 58);
  p.adf2pwr = -1 * (0x01000193 * 59 + 59);
  p.dmepwr = 1 * (0x01000193 * 60 + 60);
  p.gpspwr = -1 * (0x01000193 * 61 + 61);
  p.nav1freq = 1 * (0x01000193 * 62 + 62);
  p.nav2freq = -1 * (0x01000193 * 63 + 63);
  p.com1freq = 1 * (0x01000193 * 64 + 64);
  p.com2freq = -1 * (0x01000193 * 65 + 65);
  p.adf1freq = 1 * (0x01000193 * 66 + 66);
  p.adf2freq = -1 * (0x01000193 * 67 + 67);
  p.dmefreq = 1 * (0x01000193 * 68 + 68);
  p.nav1sfreq = -1 * (0x01000193 * 69 + 69);
  p.nav2sfreq = 1 * (0x01000193 * 70 + 70);
  p.com1sfreq = -1 * (0x01000193 * 71 + 71);
  p.com2sfreq = 1 * (0x01000193 * 72 + 72);
  p.adf1sfreq = -1 * (0x01000193 * 73 + 73);
  p.adf2sfreq = 1 * (0x01000193 * 74 + 74);
  p.dmesfreq = -1 * (0x01000193 * 75 + 75);
  p.xpderc = 1 * (0x01000193 * 76 + 76);
  p.xpdermode = -1 * (0x01000193 * 77 + 77);
  p.xpdersqk = 1 * (0x01000193 * 78 + 78);
  p.radaux1 = -1 * (0x01000193 * 79 + 79);
  p.radaux2 = 1 * (0x01000193 * 80 + 80);
  p.acf_set = 0x80000000u | (0x01000193u * 81u);
  p.pos_set = 0x80000000u | (0x01000193u * 82u);
  p.ap_set = 0x80000000u | (0x01000193u * 83u);
  p.rad_set = 0x80000000u | (0x01000193u * 84u);
  p.reserved1 = -1 * (0x01000193 * 85 + 85);
  p.reserved2 = 1 * (0x01000193 * 86 + 86);
  p.vso = 87.0f + 87.0f / 1024.0f;
  p.vs = 88.0f + 88.0f / 1024.0f;
  p.vfe = 89.0f + 89.0f / 1024.0f;
  p.vno = 90.0f + 90.0f / 1024.0f;
  p.vne = 91.0f + 91.0f / 1024.0f;
  p.mmo = 92.0f + 92.0f / 1024.0f;
  p.zulusecs = 93.0f + 93.0f / 1024.0f;
  p.localsecs = 94.0f + 94.0f / 1024.0f;
  p.maxfuel = 95.0f + 95.0f / 1024.0f;
  p.totfuel = 96.0f + 96.0f / 1024.0f;
  p.payloadweight = 97.0f + 97.0f / 1024.0f;
  p.totalweight = 98.0f + 98.0f / 1024.0f;
  p.fdpitch = 99.0f + 99.0f / 1024.0f;
  p.fdroll = 100.0f + 100.0f / 1024.0f;
  p.msl = 101.0f + 101.0f / 1024.0f;
  p.agl = 102.0f + 102.0f / 1024.0f;
  p.rho = 103.0f + 103.0f / 1024.0f;
  p.sigma = 104.0f + 104.0f / 1024.0f;
  p.speed_sound_ms = 105.0f + 105.0f / 1024.0f;
  p.ihg = 106.0f + 106.0f / 1024.0f;
  return p;
}

TEST(PositionPacket, RoundTripKeepsEveryField) {
  const PositionPacket original = every_field_distinct();
  std::uint8_t bytes[kPositionPacketBytes];
  encode_position_packet(original, bytes);
  EXPECT_EQ(decode_position_packet(bytes), original);
  // Every field is non-zero in every byte group, so a gap in the layout would
  // show as a zero word.
  for (std::size_t offset = 0; offset < kPositionPacketBytes; offset += 4) {
    EXPECT_NE(bytes[offset] | bytes[offset + 1] | bytes[offset + 2] | bytes[offset + 3], 0)
        << "word at " << offset;
  }
}

TEST(PositionPacket, SetWordsDecodeFromTheirOwnOffsets) {
  // One distinct byte pattern per word: a set word read from a neighbour's
  // offset would show the neighbour's value.
  Image image(460, 0);
  put(image, 352, {0x11, 0x11, 0x11, 0x11});
  put(image, 356, {0x01, 0x00, 0x00, 0x00});  // acf_set
  put(image, 360, {0x00, 0x02, 0x00, 0x00});  // pos_set
  put(image, 364, {0x00, 0x00, 0x03, 0x00});  // ap_set
  put(image, 368, {0x00, 0x00, 0x00, 0x04});  // rad_set
  put(image, 372, {0x22, 0x22, 0x22, 0x22});  // reserved1
  const PositionPacket p = decode_position_packet(image.data());
  EXPECT_EQ(p.acf_set, 0x00000001u);
  EXPECT_EQ(p.pos_set, 0x00000200u);
  EXPECT_EQ(p.ap_set, 0x00030000u);
  EXPECT_EQ(p.rad_set, 0x04000000u);
}

TEST(PositionPacket, ShortCommandReadsMissingWordsAsZero) {
  // A 364-byte command lands in a zero-filled receive buffer: ap_set and
  // rad_set lie beyond it and read as 0, whatever the sender meant.
  PositionPacket sent = every_field_distinct();
  std::uint8_t full[kPositionPacketBytes];
  encode_position_packet(sent, full);
  std::uint8_t buffer[kPositionPacketBytes] = {};
  std::memcpy(buffer, full, 364);
  const PositionPacket p = decode_position_packet(buffer);
  EXPECT_EQ(p.pos_set, sent.pos_set);
  EXPECT_EQ(p.ap_set, 0u);
  EXPECT_EQ(p.rad_set, 0u);
  EXPECT_EQ(p.ihg, 0.0f);
}

struct TextCase {
  const char* text;         // what the writer is given (null: no text)
  const char* field_bytes;  // the eight bytes of Tailno on the wire
};

constexpr TextCase kTextCases[] = {
    {"N12345", "N12345\0\0"},       // short: zero-padded
    {"ABCDE", "ABCDE\0\0\0"},       // five characters, three zero bytes
    {"ABCDEFGH", "ABCDEFGH"},       // exactly full: no terminator
    {"ABCDEFGHI", "ABCDEFGH"},      // nine: the first eight, no terminator
    {"", "\0\0\0\0\0\0\0\0"},       // empty
    {nullptr, "\0\0\0\0\0\0\0\0"},  // no text from the host: left zero
};

TEST(PositionPacket, TextFieldsArePaddedAndNeverOverrun) {
  for (const TextCase& c : kTextCases) {
    PositionPacket p;
    std::memset(p.Tailno, 'x', sizeof p.Tailno);  // stale contents must go
    set_text_field(p.Tailno, c.text);
    p.ICAO[0] = 'Q';  // the neighbour must survive a long text
    std::uint8_t bytes[kPositionPacketBytes];
    encode_position_packet(p, bytes);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 8), 8),
              std::string(c.field_bytes, 8))
        << (c.text != nullptr ? c.text : "(null)");
    EXPECT_EQ(bytes[16], 'Q');
  }
}

TEST(PositionPacket, BytesAfterATextTerminatorStayOffTheWire) {
  PositionPacket p;
  std::memcpy(p.Source, "FS9\0junk-after-0", 16);
  std::uint8_t bytes[kPositionPacketBytes];
  encode_position_packet(p, bytes);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 32), 16),
            std::string("FS9") + std::string(13, '\0'));
  // Read back, the same rule applies.
  std::memcpy(bytes + 32, "FS9\0junk-after-0", 16);
  EXPECT_EQ(text_of(decode_position_packet(bytes).Source, 16),
            std::string("FS9") + std::string(13, '\0'));
}

}  // namespace
}  // namespace orbitune
