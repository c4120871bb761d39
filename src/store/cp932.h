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

// True when every character of the UTF-8 text can be written to a data file.
bool CanStoreText(std::string_view utf8, std::string* badChar = nullptr);

// The message shown when a text cannot be stored, naming the text and the
// first character that the data files cannot hold.
std::string UnstorableTextMessage(std::string_view utf8, std::string_view badChar);

// A double quote cannot be stored in a text field of the data files; it is
// replaced by the full-width quote "＂" so the file reads back as written.
std::string ReplaceQuotes(std::string_view text);

}  // namespace kelvora
