// Text encryption for stored account values. The cipher text is upper-case
// hex: a key-check prefix, the encrypted local time of encryption, and the
// text XORed with a keystream from a point that walks in the plane (step
// lengths from the key, headings from the time text). It works on the bytes
// of the system's 8-bit code page. Module state: one operation at a time.
#pragma once

#include <cstdint>
#include <string>

namespace modCryptText {

// Cipher text of `text` under `key`, or "ERROR" when encryption fails.
std::string EncryptString(const std::string& text, const std::string& key);
// Plain text of `cipherText` under `key`, or "ERROR" when decryption fails
// (including any malformed cipher text).
std::string DecryptString(const std::string& cipherText, const std::string& key);

// Status values of the core routines.
inline constexpr int kFailure = -1;
inline constexpr int kSuccess = 1;

// The core routines: on success the output is in LastResult(), on failure
// LastErrorNumber() and LastErrorText() tell why.
int CipherEncrypt(const std::string& text, const std::string& key);
int CipherDecrypt(const std::string& cipherText, const std::string& key);

const std::string& LastResult();
std::int32_t LastErrorNumber();
const std::string& LastErrorText();

// The building blocks, exposed for their own tests.
std::string ByteToHex(int value);
int HexToByte(const std::string& twoDigits);  // -1 for a non-hex digit
int ModuloAbs(double value, int maximum);

}  // namespace modCryptText
