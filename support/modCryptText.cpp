#include "support/modCryptText.h"

#include <cmath>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace modCryptText {

namespace {

constexpr std::int32_t kKeyMissing = 65303;
constexpr std::int32_t kInvalidKeyLength = 65101;
constexpr std::int32_t kTextHasZeroLength = 65103;
constexpr std::int32_t kCipherTextMissing = 65305;
constexpr std::int32_t kBadTextLength = 65103;
constexpr std::int32_t kInvalidKey = 65102;
constexpr std::int32_t kMalformedCipherText = 65104;

constexpr double kPi = 3.14159265358979;

std::string g_lastResult;
std::int32_t g_lastErrorNumber = 0;
std::string g_lastErrorText;

int SetLastError(std::int32_t number, const std::string& text) {
  g_lastErrorNumber = number;
  g_lastErrorText = text;
  return kFailure;
}

// The walking point of one cipher run.
class Walk {
 public:
  Walk(double x, double y) : currentX_(x), currentY_(y) {}

  void MoveBy(double distance, double heading) {
    const double radians = heading / 180 * kPi;
    currentY_ = Bounded(currentY_ + distance * std::cos(radians));
    currentX_ = Bounded(currentX_ + distance * std::sin(radians));
  }
  double CurrentX() const { return currentX_; }
  double CurrentY() const { return currentY_; }

 private:
  static double Bounded(double value) {
    return value > 2147483647.0 || value < -2147483648.0 ? 0.0 : value;
  }
  double currentX_;
  double currentY_;
};

std::vector<int> Codes(std::string_view bytes) {
  std::vector<int> codes;
  codes.reserve(bytes.size());
  for (const char c : bytes) codes.push_back(static_cast<unsigned char>(c));
  return codes;
}

std::string KeyCheck(const std::vector<int>& k) {
  std::string check;
  const std::size_t n = k.size();
  for (std::size_t i = 0; i < n / 2; ++i) check += ByteToHex(k[i] ^ k[n - 1 - i]);
  return check;
}

int CheckKey(const std::vector<int>& key) {
  if (key.empty()) return SetLastError(kKeyMissing, "Key Missing");
  if (key.size() == 1) return SetLastError(kInvalidKeyLength, "Invalid Key Length");
  return kSuccess;
}

// The body's keystream: one walk step per pair of bytes, its y then its x.
std::string ApplyKeystream(const std::vector<int>& k, const std::vector<int>& time,
                           const std::vector<int>& body) {
  Walk walk(k[0], time[0]);
  const std::size_t n = k.size();
  const std::size_t timeLength = time.size();
  std::size_t j = 1;                 // zero-based: the second key byte
  std::size_t p = 1 % timeLength;    // and the second time byte
  bool stepped = false;
  std::string out;
  out.reserve(body.size());
  for (const int byte : body) {
    int r;
    if (!stepped) {
      walk.MoveBy(k[j], time[p]);
      r = ModuloAbs(walk.CurrentY(), 255);
      stepped = true;
    } else {
      r = ModuloAbs(walk.CurrentX(), 255);
      stepped = false;
    }
    out.push_back(static_cast<char>(byte ^ r));
    j = j + 1 == n ? 0 : j + 1;
    p = p + 1 == timeLength ? 0 : p + 1;
  }
  return out;
}

}  // namespace

std::string ByteToHex(int value) {
  static const char kDigits[] = "0123456789ABCDEF";
  return {kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]};
}

int HexToByte(const std::string& twoDigits) {
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  if (twoDigits.size() != 2) return -1;
  const int high = digit(twoDigits[0]);
  const int low = digit(twoDigits[1]);
  return high < 0 || low < 0 ? -1 : 16 * high + low;
}

int ModuloAbs(double value, int maximum) {
  // Rounds halves to the even neighbour (the default rounding mode).
  const double whole = std::nearbyint(value);
  return static_cast<int>(std::fabs(std::fmod(whole, static_cast<double>(maximum) + 1)));
}

int CipherEncrypt(const std::string& text, const std::string& key) {
  const dwl::Platform& platform = dwl::ThePlatform();
  const std::vector<int> k = Codes(platform.codePage->ToAnsi(key));
  if (CheckKey(k) == kFailure) return kFailure;
  std::string time = platform.clock->FormatGeneralDate(platform.clock->Now());
  time = platform.codePage->ToAnsi(time);
  // The time length travels in one byte.
  if (time.size() > 255) time.resize(255);
  if (time.empty()) time.push_back(' ');
  if (text.empty()) return SetLastError(kTextHasZeroLength, "Text Has Zero Length");

  const std::vector<int> t = Codes(platform.codePage->ToAnsi(text));
  const std::vector<int> timeCodes = Codes(time);
  const std::size_t n = k.size();

  std::string out = KeyCheck(k);
  out.reserve(2 * (n / 2 + 1 + timeCodes.size() + t.size()));
  out += ByteToHex(k[0] ^ static_cast<int>(timeCodes.size()));
  std::size_t j = 1;
  for (const int c : timeCodes) {
    out += ByteToHex(c ^ k[j]);
    j = j + 1 == n ? 0 : j + 1;
  }
  for (const char c : ApplyKeystream(k, timeCodes, t)) {
    out += ByteToHex(static_cast<unsigned char>(c));
  }
  g_lastResult = std::move(out);
  return kSuccess;
}

int CipherDecrypt(const std::string& cipherText, const std::string& key) {
  if (cipherText.empty()) return SetLastError(kCipherTextMissing, "Cipher Text Missing");
  if (cipherText.size() < 10) return SetLastError(kBadTextLength, "Bad Text Length");
  const dwl::Platform& platform = dwl::ThePlatform();
  const std::vector<int> k = Codes(platform.codePage->ToAnsi(key));
  if (CheckKey(k) == kFailure) return kFailure;
  const std::size_t n = k.size();
  const std::string check = KeyCheck(k);
  if (cipherText.compare(0, check.size(), check) != 0) {
    return SetLastError(kInvalidKey, "Invalid Key");
  }
  if (cipherText.size() % 2 != 0) return SetLastError(kBadTextLength, "Bad Text Length");

  std::vector<int> c;
  c.reserve(cipherText.size() / 2);
  for (std::size_t i = 0; i < cipherText.size(); i += 2) {
    const int byte = HexToByte(cipherText.substr(i, 2));
    if (byte < 0) return SetLastError(kMalformedCipherText, "Malformed Cipher Text");
    c.push_back(byte);
  }

  std::size_t at = n / 2;
  if (at >= c.size()) return SetLastError(kMalformedCipherText, "Malformed Cipher Text");
  const std::size_t timeLength = static_cast<std::size_t>(c[at++] ^ k[0]);
  if (timeLength == 0 || timeLength > c.size() - at) {
    return SetLastError(kMalformedCipherText, "Malformed Cipher Text");
  }
  std::vector<int> time;
  time.reserve(timeLength);
  std::size_t j = 1;
  for (std::size_t i = 0; i < timeLength; ++i) {
    time.push_back(c[at++] ^ k[j]);
    j = j + 1 == n ? 0 : j + 1;
  }
  const std::vector<int> body(c.begin() + static_cast<std::ptrdiff_t>(at), c.end());
  g_lastResult = platform.codePage->FromAnsi(ApplyKeystream(k, time, body));
  return kSuccess;
}

std::string EncryptString(const std::string& text, const std::string& key) {
  return CipherEncrypt(text, key) == kFailure ? "ERROR" : LastResult();
}

std::string DecryptString(const std::string& cipherText, const std::string& key) {
  return CipherDecrypt(cipherText, key) == kFailure ? "ERROR" : LastResult();
}

const std::string& LastResult() { return g_lastResult; }
std::int32_t LastErrorNumber() { return g_lastErrorNumber; }
const std::string& LastErrorText() { return g_lastErrorText; }

}  // namespace modCryptText
