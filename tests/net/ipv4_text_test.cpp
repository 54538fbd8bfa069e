// The dotted IPv4 conversion used for the seed file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "net/ipv4_text.h"

namespace orbitune {
namespace {

// The expected address in natural order; kInaddrNone for rejected text.
struct TextCase {
  const char* text;
  std::uint32_t host_order;
};
constexpr TextCase kTextCases[] = {
    {"127.0.0.1", 0x7F000001},
    {"239.224.224.1", 0xEFE0E001},
    {"10.20.30.40\n", 0x0A141E28},        // line end
    {"10.20.30.40\r\n", 0x0A141E28},      // CRLF line end
    {"10.20.30.40\t# peer", 0x0A141E28},  // anything after white space is ignored
    {"0.0.0.0", 0x00000000},
    {"255.255.255.254", 0xFFFFFFFE},
    {"255.255.255.255", kInaddrNone},  // reads as the failure value itself
    {"1.2.3", 0x01020003},             // three parts: the last fills 16 bits
    {"1.2.65535", 0x0102FFFF},
    {"1.2.65536", kInaddrNone},
    {"1.16777215", 0x01FFFFFF},  // two parts: the last fills 24 bits
    {"1.16777216", kInaddrNone},
    {"3232235777", 0xC0A80101},  // one part: the whole address
    {"4294967295", kInaddrNone},
    {"4294967296", kInaddrNone},  // beyond 32 bits, not wrapped
    {"99999999999999999999", kInaddrNone},
    {"0x7F.0X0.00.0x01", 0x7F000001},  // hex and octal parts
    {"0177.0.0.01", 0x7F000001},
    {"0xfF.0xAb.0.1", 0xFFAB0001},
    {"010.0.0.8", 0x08000008},  // octal 010 is 8
    {"08.0.0.1", kInaddrNone},  // 8 is no octal digit
    {"1.2.3.09", kInaddrNone},
    {"0x.1.2.3", kInaddrNone},     // hex prefix without digits
    {"0x100.1.2.3", kInaddrNone},  // a leading part above one byte
    {"256.1.2.3", kInaddrNone},
    {"1.2.3.256", kInaddrNone},
    {"1.2.3.4.5", kInaddrNone},  // five parts
    {"1.2.3.", kInaddrNone},     // empty last part
    {"1..2.3", kInaddrNone},
    {".1.2.3", kInaddrNone},
    {"1.2.3.4x", kInaddrNone},  // a character right after the address
    {"1.2.3.4;", kInaddrNone},
    {"-1.2.3.4", kInaddrNone},
    {"+1.2.3.4", kInaddrNone},
    {" 1.2.3.4", kInaddrNone},  // leading white space
    {"\n", kInaddrNone},        // an empty line
    {"", kInaddrNone},
    {"[peers]\n", kInaddrNone},
    {"localhost", kInaddrNone},
};
void PrintTo(const TextCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(std::string(c.text));
}

class Ipv4TextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(Ipv4TextTest, ConvertsToNetworkOrder) {
  const TextCase c = GetParam();
  EXPECT_EQ(dotted_ipv4_to_address_be(c.text), host_to_net32(c.host_order)) << '"' << c.text << '"';
}
INSTANTIATE_TEST_SUITE_P(Table, Ipv4TextTest, ::testing::ValuesIn(kTextCases));

TEST(Ipv4TextOctets, EveryByteValueInEveryPositionAndEveryBase) {
  const char* formats[] = {"%u", "0%o", "0x%x", "0X%X"};
  for (int position = 0; position < 4; ++position) {
    for (unsigned v = 0; v <= 0x1FF; ++v) {
      for (const char* format : formats) {
        char part[16];
        std::snprintf(part, sizeof part, format, v);
        // A fixed, distinct background in the other bytes.
        unsigned octets[4] = {0x21, 0x43, 0x65, 0x87};
        std::string text;
        for (int i = 0; i < 4; ++i) {
          if (i > 0) text += '.';
          text += i == position ? std::string(part) : std::to_string(octets[i]);
        }
        octets[position] = v;
        const std::uint32_t expected =
            v > 0xFF
                ? kInaddrNone
                : host_to_net32(octets[0] << 24 | octets[1] << 16 | octets[2] << 8 | octets[3]);
        ASSERT_EQ(dotted_ipv4_to_address_be(text.c_str()), expected) << text;
      }
    }
  }
}

}  // namespace
}  // namespace orbitune
