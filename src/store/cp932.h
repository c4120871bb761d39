// Conversion between the program's UTF-8 texts and code page 932, the
// encoding of every data file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvora {

// UTF-8 to code page 932. Nothing when a character has no code in the code
// page; `badChar` (if given) then receives that character in UTF-8.
std::optional<std::string> EncodeCp932(std::string_view utf8, std::string* badChar = nullptr);

// Code page 932 to UTF-8. Nothing when the bytes are not valid code page 932.
std::optional<std::string> DecodeCp932(std::string_view bytes);

// True when the UTF-8 text, written to a data file, reads back exactly as it
// is: every character has a code in the code page and that code decodes to the
// same character. Otherwise `badChar` (if given) receives the first character
// that does not read back.
bool CanStoreText(std::string_view utf8, std::string* badChar = nullptr);

// Replaces the characters that the code page keeps under the code of another
// character by that character, the form they read back as: 〜 → ～, − → －,
// ‖ → ∥, — → ―, ¢ → ￠, £ → ￡, ¬ → ￢, ¥ → ￥, ‾ → ￣. Applied where a
// screen takes a text, so the screen shows what will be stored.
std::string ToStoredForms(std::string_view utf8);

// The message shown when a text cannot be stored, naming the text and the
// first character that the data files cannot hold.
std::string UnstorableTextMessage(std::string_view utf8, std::string_view badChar);

// A double quote cannot be stored in a text field of the data files; it is
// replaced by the full-width quote "＂" so the file reads back as written.
std::string ReplaceQuotes(std::string_view text);

}  // namespace kelvora
