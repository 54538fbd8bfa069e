// What `orbitune-peer watch` makes of received packets: the JSON of every wire
// field, the units a person reads, and flight plans put together from their
// route messages.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/little_endian.h"
#include "position/position_packet.h"
#include "route/route_packet.h"
#include "tools/peer/packet_fields.h"
#include "tools/peer/peer_view.h"

namespace orbitune::peer {
namespace {

// Every field a different value, so that two swapped fields or a shifted
// offset cannot agree with themselves.
PositionPacket distinct_packet() {
  PositionPacket p;
  p.message_id = 1;
  p.version = kPositionVersion;
  set_text_field(p.Tailno, "N123AB");
  set_text_field(p.ICAO, "C172SPXX");  // fills the field, no terminator
  set_text_field(p.CallSign, "ORB42");
  set_text_field(p.Source, "FS9");
  p.LandingG = 1;
  p.PBreak = 1.0f;
  p.Flaps = 0.25f;
  p.SBreak = 0.5f;
  p.lat = 47.449;
  p.lon = -122.309;
  p.elev = 1523.75;
  p.theta = 2.5f, p.phi = -10.25f, p.psi = 271.5f, p.free = 0.0f, p.mvar = 15.5f;
  p.alpha = 3.75f, p.beta = -0.125f, p.gs = 92.5f, p.ias = 160.25f, p.mach = 0.3125f;
  p.tas = 95.75f, p.alti = 29.92f, p.vvifpm = 512.0f, p.wspeed = 12.5f, p.wdir = 275.0f;
  p.otemp = -4.5f;
  p.altdial = 5000.0f, p.holddial = 5000.5f, p.vnavdial = 0.75f, p.speeddial = 250.0f;
  p.hdgdial = 270.0f, p.vspeeddial = -700.0f;
  p.fdmode = 2, p.speedismach = 1, p.speedst = 3, p.lnavst = 4, p.vnavst = 5, p.hdgst = 6;
  p.locst = 7, p.altst = 8, p.vsst = 9, p.gsst = 10;
  p.obs1p = 123.5f, p.lcst = 11, p.obs2p = 45.25f, p.n1status = 12, p.apsource = 13;
  p.mfdmode = 14, p.mfdshow = 572, p.mfdrange = 40.0f;
  p.nav1pwr = 15, p.nav2pwr = 16, p.com1pwr = 17, p.com2pwr = 18, p.adf1pwr = 19;
  p.adf2pwr = 20, p.dmepwr = 21, p.gpspwr = 22;
  p.nav1freq = 11380, p.nav2freq = 10800, p.com1freq = 11850, p.com2freq = 12190;
  p.adf1freq = 353, p.adf2freq = 190, p.dmefreq = 23, p.nav1sfreq = 11050, p.nav2sfreq = 11795;
  p.com1sfreq = 13697, p.com2sfreq = 11800, p.adf1sfreq = 1500, p.adf2sfreq = 999;
  p.dmesfreq = 24, p.xpderc = 7700, p.xpdermode = 25, p.xpdersqk = 26, p.radaux1 = 27;
  p.radaux2 = 28;
  p.acf_set = 0x01020304u, p.pos_set = 0xFFFFFFFEu, p.ap_set = 0x80000001u;
  p.rad_set = 0x7FFFFFFFu, p.reserved1 = 29, p.reserved2 = 30;
  p.vso = 40.5f, p.vs = 48.25f, p.vfe = 110.0f, p.vno = 129.5f, p.vne = 163.0f, p.mmo = 0.5f;
  p.zulusecs = 50400.0f, p.localsecs = 21600.0f, p.maxfuel = 384.75f, p.totfuel = 120.5f;
  p.payloadweight = 420.0f, p.totalweight = 2450.0f;
  p.fdpitch = 1.5f, p.fdroll = -2.25f, p.msl = 1523.5f, p.agl = 1400.25f, p.rho = 1.125f;
  p.sigma = 0.875f, p.speed_sound_ms = 331.5f, p.ihg = 29.875f;
  return p;
}

TEST(PeerPositionJson, EveryFieldSurvivesTheJsonRoundTrip) {
  const PositionPacket sent = distinct_packet();
  std::uint8_t image[kPositionPacketBytes];
  encode_position_packet(sent, image);
  const nlohmann::json j = position_image_to_json(image);
  EXPECT_EQ(j.size(), position_fields().size());
  // Back through text, as a script would hand it on.
  std::array<std::uint8_t, kPositionPacketBytes> again{};
  apply_json_to_position_image(nlohmann::json::parse(j.dump()), again.data());
  EXPECT_EQ(std::memcmp(again.data(), image, kPositionPacketBytes), 0);
  EXPECT_EQ(decode_position_packet(again.data()), sent);
}

TEST(PeerPositionJson, NamesAndValuesOfAHandMadeImage) {
  std::uint8_t image[kPositionPacketBytes] = {};
  const std::uint8_t header[] = {0x01, 0, 0, 0, 0x10, 0x03, 0x02, 0x10, 'N', '1', '2', '3'};
  std::memcpy(image, header, sizeof header);
  const std::uint8_t lat[] = {0, 0, 0, 0, 0, 0xC0, 0x47, 0x40};  // 47.5
  std::memcpy(image + 64, lat, sizeof lat);
  const std::uint8_t hdgdial[] = {0x00, 0x00, 0x87, 0x43};  // 270.0f at 168
  std::memcpy(image + 168, hdgdial, sizeof hdgdial);
  const std::uint8_t mfdshow[] = {0x3C, 0x02, 0, 0};  // 572 at 240
  std::memcpy(image + 240, mfdshow, sizeof mfdshow);
  const std::uint8_t com1freq[] = {0x4A, 0x2E, 0, 0};  // 11850 at 288
  std::memcpy(image + 288, com1freq, sizeof com1freq);
  std::memset(image + 356, 0xFF, 16);                   // all four set words
  const std::uint8_t ihg[] = {0x00, 0x00, 0xEF, 0x41};  // 29.875f at 456
  std::memcpy(image + 456, ihg, sizeof ihg);

  const nlohmann::json j = position_image_to_json(image);
  EXPECT_EQ(j["Message ID"], 1);
  EXPECT_EQ(j["Version"], 0x10020310);
  EXPECT_EQ(j["Tailno"], "N123");
  EXPECT_EQ(j["Source"], "");
  EXPECT_EQ(j["lat"], 47.5);
  EXPECT_EQ(j["hdgdial"], 270.0);
  EXPECT_EQ(j["mfdshow"], 572);
  EXPECT_EQ(j["mfdrange"], 0.0);
  EXPECT_EQ(j["com1freq"], 11850);
  EXPECT_EQ(j["acf_set"], 0xFFFFFFFFu);
  EXPECT_EQ(j["rad_set"], 0xFFFFFFFFu);
  EXPECT_EQ(j["reserved1"], 0);
  EXPECT_EQ(j["ihg"], 29.875);
}

TEST(PeerPositionJson, TextThatIsNotUtf8StillPrints) {
  std::uint8_t image[kPositionPacketBytes] = {};
  image[8] = 0xFF;  // a tail number byte that no UTF-8 text has
  const std::string line =
      position_image_to_json(image).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  EXPECT_NE(line.find("\"Tailno\":\"\xEF\xBF\xBD\""), std::string::npos) << line;
}

TEST(PeerUnits, RadiosAsOnThePanel) {
  EXPECT_EQ(format_mhz(11850), "118.50");
  EXPECT_EQ(format_mhz(10805), "108.05");
  EXPECT_EQ(format_khz(353), "353 kHz");
  EXPECT_EQ(format_squawk(7700), "7700");
  EXPECT_EQ(format_squawk(400), "0400");
  const std::string radios = format_radios_line(distinct_packet());
  EXPECT_EQ(radios,
            "COM1 118.50/136.97  COM2 121.90/118.00  NAV1 113.80/110.50  NAV2 108.00/117.95  "
            "ADF1 353 kHz  ADF2 190 kHz  XPDR 7700");
}

TEST(PeerUnits, AircraftBlockInPilotsUnits) {
  const std::string block = format_aircraft_block(distinct_packet());
  // 1523.75 m is 4999 ft; 92.5 m/s ground speed is 180 kt; 95.75 m/s TAS is 186 kt.
  for (const char* part :
       {"N123AB",      "C172SPXX",         "ORB42",         "from FS9",    " 47.44900 N",
        "122.30900 W", "4999 ft (1524 m)", "heading 271.5", "bank  -10.2", "IAS 160 kt",
        "TAS 186 kt",  "GS 180 kt",        "VS +512 fpm",   "AP on ",      "HDG 270",
        "ALT 5000 ft", "VS -700 fpm",      "SPD M250.00",   "XPDR 7700",   "gear down",
        "flaps 25%"}) {
    EXPECT_NE(block.find(part), std::string::npos) << part << "\n" << block;
  }
}

RoutePacket route_message(std::int32_t nopoints, std::int32_t cleg, std::int32_t segment,
                          std::int32_t segpoints, std::int32_t first_index) {
  RoutePacket p;
  p.header = {2, kRouteVersion, nopoints, cleg, segment, segpoints};
  for (std::int32_t k = 0; k < segpoints; ++k) {
    p.points[k].TYPE = 1 + (first_index + k) % 5;
    set_text_field(p.points[k].NAME, ("WP" + std::to_string(first_index + k)).c_str());
    p.points[k].LAT = 47.0f + 0.01f * static_cast<float>(first_index + k);
    p.points[k].LON = -122.0f - 0.01f * static_cast<float>(first_index + k);
    p.points[k].ELEV = 100.0f * static_cast<float>(first_index + k);
  }
  return p;
}

TEST(PeerFlightPlanAssembly, TwoSegmentsMakeOnePlanInOrder) {
  FlightPlanAssembler a;
  EXPECT_FALSE(a.add(route_message(73, 12, 0, 50, 0)));
  const auto plan = a.add(route_message(73, 12, 1, 23, 50));
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->nopoints, 73);
  EXPECT_EQ(plan->cleg, 12);
  ASSERT_EQ(plan->points.size(), 73u);
  EXPECT_STREQ(plan->points[50].NAME, "WP50");
  EXPECT_STREQ(plan->points[72].NAME, "WP72");
  EXPECT_EQ(plan->points[72].ELEV, 7200.0f);
}

TEST(PeerFlightPlanAssembly, DuplicatesAndLostSegmentsNeverMixReports) {
  FlightPlanAssembler a;
  // The group's copy and a unicast copy of each message, group first.
  EXPECT_FALSE(a.add(route_message(73, 3, 0, 50, 0)));
  EXPECT_FALSE(a.add(route_message(73, 3, 0, 50, 0)));
  EXPECT_TRUE(a.add(route_message(73, 3, 1, 23, 50)));
  EXPECT_FALSE(a.add(route_message(73, 3, 1, 23, 50)));
  // A second segment whose first was lost gives nothing.
  EXPECT_FALSE(a.add(route_message(73, 4, 1, 23, 50)));
  // A first segment of a different plan followed by a stale second one.
  EXPECT_FALSE(a.add(route_message(60, 4, 0, 50, 0)));
  EXPECT_FALSE(a.add(route_message(73, 4, 1, 23, 50)));
  // A segment claiming more points than the plan has.
  EXPECT_FALSE(a.add(route_message(30, 4, 0, 50, 0)));
}

TEST(PeerFlightPlanAssembly, EmptyPlanIsOneMessageWithoutPoints) {
  FlightPlanAssembler a;
  const auto plan = a.add(route_message(0, 0, 0, 0, 0));
  ASSERT_TRUE(plan);
  EXPECT_TRUE(plan->points.empty());
  EXPECT_EQ(format_plan(*plan), "Flight plan: 0 waypoints, active waypoint 0\n");
}

TEST(PeerFlightPlanAssembly, PlanShownWithTheActiveWaypointMarked) {
  FlightPlanAssembler a;
  const auto plan = a.add(route_message(3, 1, 0, 3, 0));
  ASSERT_TRUE(plan);
  EXPECT_EQ(format_plan(*plan),
            "Flight plan: 3 waypoints, active waypoint 1\n"
            "     0  WP0      47.00000 N   122.00000 W       0 ft\n"
            "  >  1  WP1      47.01000 N   122.01000 W     100 ft\n"
            "     2  WP2      47.02000 N   122.02000 W     200 ft\n");
}

TEST(PeerRouteJson, HeaderAndCarriedPointsByWireName) {
  std::uint8_t bytes[kRoutePacketMaxBytes];
  const RoutePacket sent = route_message(2, 1, 0, 2, 7);
  const std::size_t length = encode_route_packet(sent.header, sent.points, bytes);
  ASSERT_EQ(length, 80u);
  const nlohmann::json j = route_packet_to_json(decode_route_packet(bytes, length));
  EXPECT_EQ(j["Message ID"], 2);
  EXPECT_EQ(j["Version"], kRouteVersion);
  EXPECT_EQ(j["nopoints"], 2);
  EXPECT_EQ(j["cleg"], 1);
  EXPECT_EQ(j["segment"], 0);
  EXPECT_EQ(j["segpoints"], 2);
  ASSERT_EQ(j["points"].size(), 2u);
  EXPECT_EQ(j["points"][1]["NAME"], "WP8");
  EXPECT_EQ(j["points"][1]["TYPE"], 4);
  EXPECT_EQ(j["points"][1]["LAT"], double{47.0f + 0.01f * 8.0f});
  EXPECT_EQ(j["points"][1]["ELEV"], 800.0);
}

}  // namespace
}  // namespace orbitune::peer
