#include "support/modCryptText.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/TestPlatform.h"

namespace dwl {
namespace {

using modCryptText::DecryptString;
using modCryptText::EncryptString;

constexpr const char* kKey = "ginkgoKEY407162385";

class CryptTextTest : public ::testing::Test {
 protected:
  testing::TestPlatform platform;
};

// Fixed cipher texts: settings.cfg files already written must keep
// decrypting, so the cipher may never change. Made with the time text
// "12/4/2026 11:38:56 AM" (and "12/4/2026" at midnight).
TEST_F(CryptTextTest, MatchesKnownCipherTexts) {
  EXPECT_EQ(EncryptString("Hello, Dropwell", kKey),
            "52515D59515E7C756D72585C44534079756B021006000C010B020051492F263CD2DA60914D0AD224"
            "DE0AACF969DB");
  platform.clock.now = {2026, 12, 4, 0, 0, 0};
  EXPECT_EQ(EncryptString("secret", "ab"), "036853534D554D5352535403C9CF8B8E30");
  EXPECT_EQ(DecryptString("036853534D554D5352535403C9CF8B8E30", "ab"), "secret");
}

// Every time of day makes another cipher text of the same text.
TEST_F(CryptTextTest, RoundTripsRandomTextsAndKeysAtAnyTime) {
  std::mt19937 random(20261207);
  const std::vector<std::string> pieces = {"a", "Z", "0", " ", "~", "\t", "é", "ß", "€",
                                           "日本", "\xF0\x9F\x93\x8E", "\r\n", "\x01"};
  std::string previous;
  for (int round = 0; round < 3000; ++round) {
    platform.clock.now.second = round % 60;
    platform.clock.now.minute = round / 60 % 60;
    std::string key(2 + random() % 39, ' ');
    for (char& c : key) c = static_cast<char>(33 + random() % 94);
    std::string text;
    for (int parts = 1 + static_cast<int>(random() % 40); parts > 0; --parts) text += pieces[random() % pieces.size()];

    const std::string cipher = EncryptString(text, key);
    ASSERT_EQ(cipher.find_first_not_of("0123456789ABCDEF"), std::string::npos) << cipher;
    ASSERT_EQ(DecryptString(cipher, key), text) << "key " << key;
    const std::string same = EncryptString("same text", kKey);
    ASSERT_NE(same, previous);
    previous = same;
  }
}

// The key check catches most wrong keys; only the outer pairs are checked,
// so a key that keeps each pair's XOR passes it and yields wrong text.
TEST_F(CryptTextTest, AWrongKeyOrMalformedCipherTextYieldsError) {
  const std::string good = EncryptString("value", kKey);
  EXPECT_EQ(DecryptString(good, "ginkgoKEY407162386"), "ERROR");
  const std::string account = EncryptString("account", "abc");
  EXPECT_EQ(DecryptString(account, "bbb"), "ERROR");  // 'b'^'b' != 'a'^'c'
  EXPECT_NE(DecryptString(account, "cda"), "account");  // 'c'^'a' == 'a'^'c'

  const std::string check = good.substr(0, 18);
  for (const auto& [text, key] : std::vector<std::pair<std::string, std::string>>{
           {good + "0", kKey},                                   // odd length
           {good.substr(0, 30) + "ZZ" + good.substr(32), kKey},  // not hex
           {check + "FF" + "0102", kKey},                        // a time longer than what follows
           {check, kKey},                                        // nothing after the key check
           {check + "6700", kKey},                               // a time length of zero ('g' is 0x67)
           {"", kKey}, {"ERROR", kKey}, {good, ""}, {good, "k"}}) {
    EXPECT_EQ(DecryptString(text, key), "ERROR") << text << " with key '" << key << "'";
  }
  for (const auto& [text, key] : {std::pair{"text", ""}, std::pair{"text", "k"}, std::pair{"", "key"}}) {
    EXPECT_EQ(EncryptString(text, key), "ERROR") << "'" << text << "' with key '" << key << "'";
  }
  // Lower-case hex after the key check still reads.
  std::string lower = good;
  for (std::size_t i = 18; i < lower.size(); ++i) lower[i] = static_cast<char>(std::tolower(lower[i]));
  EXPECT_EQ(DecryptString(lower, kKey), "value");
}

// The walk's rounding, which no known answer reaches: halves go to the even
// neighbour, as they always did.
TEST(CryptTextHelpersTest, ModuloAbsRoundsHalvesToTheEvenNeighbour) {
  EXPECT_EQ(modCryptText::ModuloAbs(2.5, 255), 2);
  EXPECT_EQ(modCryptText::ModuloAbs(3.5, 255), 4);
  EXPECT_EQ(modCryptText::ModuloAbs(-257.0, 255), 1);
  EXPECT_EQ(modCryptText::ModuloAbs(511.6, 255), 0);
}

}  // namespace
}  // namespace dwl
