// Reads an .xlsx file back with another reader (Python's openpyxl) for tests:
// every sheet with its cells (kind, value, bold, number format), frozen cell
// and column widths, as JSON.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "mini_json.h"
#include "run_command.h"

namespace kelvora::testing {

// A Python that has openpyxl (the system one when a user-installed Python
// without it comes first on the PATH).
inline std::string PythonWithOpenpyxl() {
  for (const char* py : {"/usr/bin/python3", "python3"}) {
    if (RunCommand(std::string(py) + " -c 'import openpyxl; print(1)' 2>/dev/null") == "1\n") {
      return py;
    }
  }
  return std::string();
}

inline constexpr const char* kXlsxDumpScript = R"PY(
import json, sys, datetime, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
out = []
for ws in wb.worksheets:
    rows = []
    for row in ws.iter_rows():
        cells = []
        for c in row:
            v = c.value
            if v is None:
                cells.append({"k": "e", "bold": bool(c.font.b)})
            elif isinstance(v, datetime.datetime):
                cells.append({"k": "d", "v": [v.year, v.month, v.day, v.hour, v.minute],
                              "fmt": c.number_format, "bold": bool(c.font.b)})
            elif isinstance(v, (int, float)) and not isinstance(v, bool):
                cells.append({"k": "n", "v": float(v), "fmt": c.number_format,
                              "bold": bool(c.font.b)})
            else:
                cells.append({"k": "s", "v": str(v), "bold": bool(c.font.b)})
        rows.append(cells)
    widths = {k: d.width for k, d in ws.column_dimensions.items()}
    out.append({"name": ws.title, "freeze": ws.freeze_panes or "", "rows": rows,
                "widths": widths})
sys.stdout.buffer.write(json.dumps(out, ensure_ascii=False).encode("utf-8"))
)PY";

// The workbook's sheets as JSON; fails the test when it cannot be read.
inline Json ReadXlsx(const std::filesystem::path& xlsx) {
  const std::string py = PythonWithOpenpyxl();
  if (py.empty()) {
    ADD_FAILURE() << "python3 with openpyxl is needed (scripts/install-packages.sh)";
    return Json();
  }
  const auto script = std::filesystem::temp_directory_path() /
                      ("kelvora-xlsx-dump-" + std::to_string(::getpid()) + ".py");
  {
    std::ofstream s(script);
    s << kXlsxDumpScript;
  }
  const std::string text =
      RunCommand(py + " '" + script.string() + "' '" + xlsx.string() + "' 2>&1");
  std::filesystem::remove(script);
  try {
    return ParseJson(text);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "openpyxl could not read " << xlsx << ": " << text;
    return Json();
  }
}

inline constexpr const char* kXlsxStringsScript = R"PY(
import json, re, sys, zipfile
import xml.etree.ElementTree as ET
ns = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main"}
root = ET.fromstring(zipfile.ZipFile(sys.argv[1]).read("xl/sharedStrings.xml"))
escape = re.compile("_x([0-9A-Fa-f]{4})_")
texts = []
for si in root.findall("m:si", ns):
    raw = "".join(t.text or "" for t in si.iter("{%s}t" % ns["m"]))
    texts.append(escape.sub(lambda m: chr(int(m.group(1), 16)), raw))
sys.stdout.buffer.write(json.dumps(texts, ensure_ascii=True).encode("ascii"))
)PY";

// The shared strings of a workbook as a spreadsheet reads them: straight
// from the XML, each _xHHHH_ escape decoded to its character (openpyxl 3.0
// leaves them as they are).
inline Json ReadXlsxStrings(const std::filesystem::path& xlsx) {
  const auto script = std::filesystem::temp_directory_path() /
                      ("kelvora-xlsx-strings-" + std::to_string(::getpid()) + ".py");
  {
    std::ofstream s(script);
    s << kXlsxStringsScript;
  }
  const std::string text =
      RunCommand("python3 '" + script.string() + "' '" + xlsx.string() + "' 2>&1");
  std::filesystem::remove(script);
  try {
    return ParseJson(text);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "Python could not read the strings of " << xlsx << ": " << text;
    return Json();
  }
}

inline constexpr const char* kCsvDumpScript = R"PY(
import csv, json, sys
with open(sys.argv[1], encoding="utf-8-sig", newline="") as f:
    rows = list(csv.reader(f))
sys.stdout.buffer.write(json.dumps(rows, ensure_ascii=False).encode("utf-8"))
)PY";

// The rows of a CSV file as Python's csv module reads them (UTF-8, a
// byte-order mark dropped), as a JSON array of arrays of texts.
inline Json ReadCsv(const std::filesystem::path& csv) {
  const auto script = std::filesystem::temp_directory_path() /
                      ("kelvora-csv-dump-" + std::to_string(::getpid()) + ".py");
  {
    std::ofstream s(script);
    s << kCsvDumpScript;
  }
  const std::string text =
      RunCommand("python3 '" + script.string() + "' '" + csv.string() + "' 2>&1");
  std::filesystem::remove(script);
  try {
    return ParseJson(text);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "Python could not read " << csv << ": " << text;
    return Json();
  }
}

// The value of a number cell exactly as the reader printed it.
inline double JsonDouble(const Json& v) { return std::strtod(v.text.c_str(), nullptr); }

}  // namespace kelvora::testing
