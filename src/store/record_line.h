// The record line format of the data files: fields separated by commas, each
// record ended by CR LF, texts in double quotes, code page 932.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "store/records.h"

namespace kelvora {

enum class FieldKind { Text, Int16, Single, Bool };
using FieldValue = std::variant<std::string, int16_t, float, bool>;

// Field kinds of each record, in file order.
template <typename R>
const std::vector<FieldKind>& RecordFieldKinds();

template <typename R>
std::vector<FieldValue> ToFields(const R& record);
template <typename R>
R FromFields(const std::vector<FieldValue>& fields);

// Field names as the records define them (for the data dump).
template <typename R>
const std::vector<std::string>& RecordFieldNames();

// One record as a line (in code page 932, CR LF included). Nothing when a text
// cannot be written in code page 932; `problem` then holds the message.
std::optional<std::string> WriteRecordLine(const std::vector<FieldValue>& fields,
                                           std::string* problem);

// Result of reading a whole file.
struct ReadResult {
  std::vector<std::vector<FieldValue>> records;  // records read before any problem
  bool ok = true;
  int badLine = 0;     // 1-based record line that could not be read
  std::string reason;  // Japanese description of the problem
};

// Reads records of the given field kinds until the end of the data or the
// first record that cannot be read.
ReadResult ReadRecordLines(std::string_view bytes, const std::vector<FieldKind>& kinds);

}  // namespace kelvora
