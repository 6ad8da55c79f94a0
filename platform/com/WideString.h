#pragma once
// Wide strings of COM calls (UTF-16 as char16_t), their conversion to and
// from the system's CP1251 byte strings, and BSTR, the length-prefixed wide
// string that VARIANTs carry.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::com {

using WideString = std::u16string;
using LPWSTR = char16_t*;
using LPCWSTR = const char16_t*;
using BSTR = char16_t*;

// CP1251 bytes to UTF-16 (every byte maps). Any thread.
WideString AnsiToWide(std::string_view cp1251);
// UTF-16 to CP1251; a character CP1251 lacks becomes '?'. Any thread.
std::string WideToAnsi(std::u16string_view wide);
// A zero-terminated wide string as a view; null gives an empty view.
// At most `limit` characters are looked at. Any thread.
std::u16string_view WideView(const char16_t* text, std::size_t limit = 1u << 20);

// BSTR: a 4-byte byte count before the characters and a zero after them.
// Longest BSTR the layer makes (characters).
inline constexpr std::uint32_t kMaxBstrLength = 1u << 24;
// A new BSTR with a copy of `text` (null gives an empty BSTR); null when
// `text` is longer than kMaxBstrLength or memory runs out. Any thread.
BSTR SysAllocString(std::u16string_view text);
BSTR SysAllocString(const char16_t* text);
// Frees a BSTR of SysAllocString; null is allowed. Any thread.
void SysFreeString(BSTR text);
// Characters of a BSTR (0 for null). Any thread.
std::uint32_t SysStringLen(BSTR text);

}  // namespace platform::com
