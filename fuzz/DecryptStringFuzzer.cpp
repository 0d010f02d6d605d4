// modCryptText::DecryptString on any cipher text and key: it answers "ERROR"
// or a text exactly as long as the cipher text's body, never more; and
// encryption under a key of two or more bytes, at any time of day, decrypts
// to the text it started from.
//
// Input: the key, then the cipher text, which is also the text that is
// encrypted and decrypted again; the last 8 bytes, read from the end, give
// the year (2 bytes), month, day, hour, minute and second of encryption and
// the key's length (0 to 64).
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/FuzzSupport.h"
#include "support/modCryptText.h"

namespace dwl::fuzz {
namespace {

bool IsUpperHex(const std::string& text) {
  return text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

void CheckDecrypt(const std::string& cipherText, const std::string& key) {
  const std::string plain = modCryptText::DecryptString(cipherText, key);
  const int status = modCryptText::CipherDecrypt(cipherText, key);
  // A text that decrypts to "ERROR" is possible, so only this way round.
  FUZZ_CHECK(status == modCryptText::kFailure ? plain == "ERROR" : plain == modCryptText::LastResult(),
             "status " + std::to_string(status) + " with the answer " + Shown(plain));
  if (status == modCryptText::kFailure) {
    const std::int32_t number = modCryptText::LastErrorNumber();
    FUZZ_CHECK(number == 65303 || number == 65101 || number == 65103 || number == 65305 ||
                   number == 65102 || number == 65104,
               "error number " + std::to_string(number));
    return;
  }
  // The key check (a byte per key pair), the time length, the time, the body.
  FUZZ_CHECK(key.size() >= 2 && cipherText.size() % 2 == 0, "decrypted with a bad key or length");
  const std::size_t at = 2 * (key.size() / 2);
  const int timeLength =
      modCryptText::HexToByte(cipherText.substr(at, 2)) ^ static_cast<unsigned char>(key[0]);
  const std::size_t bodyBytes = cipherText.size() / 2 - key.size() / 2 - 1 -
                                static_cast<std::size_t>(timeLength);
  FUZZ_CHECK(plain.size() == bodyBytes,
             std::to_string(plain.size()) + " bytes from a body of " + std::to_string(bodyBytes));
}

void CheckRoundTrip(const std::string& text, const std::string& key) {
  const std::string cipherText = modCryptText::EncryptString(text, key);
  if (key.size() < 2 || text.empty()) {
    FUZZ_CHECK(cipherText == "ERROR", "encrypted under a key of " + std::to_string(key.size()) +
                                          " bytes: " + Shown(text));
    return;
  }
  FUZZ_CHECK(cipherText.size() % 2 == 0 && IsUpperHex(cipherText),
             "cipher text " + Shown(cipherText));
  const std::string time = Sandbox().clock.FormatGeneralDate(Sandbox().clock.now);
  FUZZ_CHECK(cipherText.size() == 2 * (key.size() / 2 + 1 + time.size() + text.size()),
             "cipher text of " + std::to_string(cipherText.size()) + " digits");
  const std::string back = modCryptText::DecryptString(cipherText, key);
  FUZZ_CHECK(back == text, "encrypted " + Shown(text) + " under " + Shown(key) + " at " + time +
                               ", decrypted " + Shown(back));
}

}  // namespace
}  // namespace dwl::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dwl::fuzz;
  FuzzedDataProvider input(data, size);
  // Year, month, day, hour, minute, second: a braced list takes them in order.
  Sandbox().clock.now = {input.ConsumeIntegralInRange(1, 9999), input.ConsumeIntegralInRange(1, 12),
                         input.ConsumeIntegralInRange(1, 31), input.ConsumeIntegralInRange(0, 23),
                         input.ConsumeIntegralInRange(0, 59), input.ConsumeIntegralInRange(0, 59)};
  const std::string key = input.ConsumeBytesAsString(input.ConsumeIntegralInRange(0, 64));
  const std::string cipherText = input.ConsumeRemainingBytesAsString();
  CheckDecrypt(cipherText, key);
  CheckRoundTrip(cipherText, key);
  return 0;
}
