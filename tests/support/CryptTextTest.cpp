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
  platform.clock.now = {2026, 12, 4, 11, 38, 56};
  EXPECT_EQ(EncryptString("Hello, Dropwell", kKey),
            "52515D59515E7C756D72585C44534079756B021006000C010B020051492F263CD2DA60914D0AD224"
            "DE0AACF969DB");
  platform.clock.now = {2026, 12, 4, 0, 0, 0};
  EXPECT_EQ(EncryptString("secret", "ab"), "036853534D554D5352535403C9CF8B8E30");
  EXPECT_EQ(DecryptString("036853534D554D5352535403C9CF8B8E30", "ab"), "secret");
}

TEST_F(CryptTextTest, RoundTripsRandomTextsAndKeys) {
  std::mt19937 random(20261207);
  const std::vector<std::string> pieces = {"a", "Z", "0", " ", "~", "\t", "é", "ß", "€",
                                           "日本", "\xF0\x9F\x93\x8E", "\r\n", "\x01"};
  for (int round = 0; round < 3000; ++round) {
    platform.clock.now.second = round % 60;
    platform.clock.now.minute = round / 60 % 60;
    std::string key;
    const int keyLength = 2 + static_cast<int>(random() % 39);
    while (static_cast<int>(key.size()) < keyLength) key.push_back(static_cast<char>(33 + random() % 94));
    std::string text;
    const int parts = 1 + static_cast<int>(random() % 40);
    for (int i = 0; i < parts; ++i) text += pieces[random() % pieces.size()];

    const std::string cipher = EncryptString(text, key);
    const std::string time = platform.clock.FormatGeneralDate(platform.clock.now);
    ASSERT_EQ(cipher.size(), 2 * (key.size() / 2 + 1 + time.size() + text.size()))
        << "key " << key << " text " << text;
    ASSERT_EQ(cipher.find_first_not_of("0123456789ABCDEF"), std::string::npos) << cipher;
    ASSERT_EQ(DecryptString(cipher, key), text) << "key " << key;
  }
}

TEST_F(CryptTextTest, TheTimeMakesEveryEncryptionDifferent) {
  const std::string first = EncryptString("same text", kKey);
  platform.clock.now.second += 1;
  const std::string second = EncryptString("same text", kKey);
  EXPECT_NE(first, second);
  EXPECT_EQ(DecryptString(first, kKey), "same text");
  EXPECT_EQ(DecryptString(second, kKey), "same text");
}

TEST_F(CryptTextTest, TheKeyCheckTellsMostWrongKeys) {
  const std::string cipher = EncryptString("account", kKey);
  EXPECT_EQ(DecryptString(cipher, "ginkgoKEY407162386"), "ERROR");
  EXPECT_EQ(modCryptText::LastErrorNumber(), 65102);
  EXPECT_EQ(modCryptText::LastErrorText(), "Invalid Key");

  // Only the outer pairs are checked: a key that keeps each pair's XOR passes
  // the check and yields wrong text.
  const std::string a = EncryptString("account", "abc");
  EXPECT_EQ(a.substr(0, 2), "02") << "a three-character key has a one-byte check";
  const std::string decoded = DecryptString(a, "bbb" /* 'b'^'b' != 'a'^'c' */);
  EXPECT_EQ(decoded, "ERROR");
  const std::string sameCheck = DecryptString(a, "cda");  // 'c'^'a' == 'a'^'c'
  EXPECT_NE(sameCheck, "ERROR");
  EXPECT_NE(sameCheck, "account");
  EXPECT_EQ(EncryptString("x", "ab").substr(0, 2), "03") << "a two-character key: 'a'^'b'";
}

TEST_F(CryptTextTest, ReportsEachFailureWithItsNumber) {
  struct Case {
    bool encrypt;
    std::string text;
    std::string key;
    int number;
    const char* message;
  };
  const Case cases[] = {
      {true, "text", "", 65303, "Key Missing"},
      {true, "text", "k", 65101, "Invalid Key Length"},
      {true, "", "key", 65103, "Text Has Zero Length"},
      {false, "", "key", 65305, "Cipher Text Missing"},
      {false, "ERROR", "key", 65103, "Bad Text Length"},
      {false, "0123456789", "", 65303, "Key Missing"},
      {false, "0123456789", "k", 65101, "Invalid Key Length"},
  };
  for (const Case& c : cases) {
    const int status = c.encrypt ? modCryptText::CipherEncrypt(c.text, c.key)
                                 : modCryptText::CipherDecrypt(c.text, c.key);
    EXPECT_EQ(status, modCryptText::kFailure) << c.message;
    EXPECT_EQ(modCryptText::LastErrorNumber(), c.number) << c.message;
    EXPECT_EQ(modCryptText::LastErrorText(), c.message);
    EXPECT_EQ(c.encrypt ? EncryptString(c.text, c.key) : DecryptString(c.text, c.key), "ERROR");
  }
}

TEST_F(CryptTextTest, MalformedCipherTextYieldsError) {
  const std::string good = EncryptString("value", kKey);
  const std::string check = good.substr(0, 18);
  const std::vector<std::string> malformed = {
      good + "0",                                   // odd length
      good.substr(0, 30) + "ZZ" + good.substr(32),  // not hex
      check + "FF" + "0102",                        // a time longer than what follows
      check,                                        // nothing after the key check
      check + "6700",                               // a time length of zero ('g' is 0x67)
  };
  for (const std::string& text : malformed) {
    EXPECT_EQ(DecryptString(text, kKey), "ERROR") << text;
  }
  EXPECT_EQ(DecryptString("ERROR", kKey), "ERROR");
  // Lower-case hex after the key check still reads.
  std::string lower = good;
  for (std::size_t i = 18; i < lower.size(); ++i) lower[i] = static_cast<char>(std::tolower(lower[i]));
  EXPECT_EQ(DecryptString(lower, kKey), "value");
}

TEST(CryptTextHelpersTest, HexDigitsAndModulo) {
  EXPECT_EQ(modCryptText::ByteToHex(10), "0A");
  EXPECT_EQ(modCryptText::ByteToHex(255), "FF");
  EXPECT_EQ(modCryptText::ByteToHex(0), "00");
  EXPECT_EQ(modCryptText::HexToByte("0a"), 10);
  EXPECT_EQ(modCryptText::HexToByte("Ff"), 255);
  EXPECT_EQ(modCryptText::HexToByte("G0"), -1);
  EXPECT_EQ(modCryptText::ModuloAbs(-257.0, 255), 1);
  EXPECT_EQ(modCryptText::ModuloAbs(2.5, 255), 2) << "halves go to the even neighbour";
  EXPECT_EQ(modCryptText::ModuloAbs(3.5, 255), 4);
  EXPECT_EQ(modCryptText::ModuloAbs(511.6, 255), 0);
}

}  // namespace
}  // namespace dwl
