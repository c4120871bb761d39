// The five record kinds kept in the data files.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kelvora {

// One laboratory incubation data set.
struct BaiyoRecord {
  std::string SoilName;
  std::string GridText;  // incubation table, 100 rows x 4 columns
  bool IsFertilizer = false;
  bool operator==(const BaiyoRecord&) const = default;
};

// One parameter set of a fitted or hand-entered model.
struct ParaRecord {
  std::string SoilName;
  int16_t ModelNo = 0;
  std::array<float, 7> Param{};  // Param1 ... Param7 (Param[0] is Param1)
  float Aic = 0;
  float Rss = 0;
  bool IsManual = false;
  float StdTemp = 0;
  bool operator==(const ParaRecord&) const = default;
};

// One daily soil temperature series.
struct TionRecord {
  std::string SiteName;
  std::string GridText;  // "年/月/日" TAB "地温(℃)", then date TAB temperature
  bool operator==(const TionRecord&) const = default;
};

// One stored estimation result.
struct SuiteiRecord {
  int16_t ModelNo = 0;
  std::string SoilName;
  std::string SiteName;
  std::string GridText;
  float StdTemp = 0;
  bool operator==(const SuiteiRecord&) const = default;
};

// One field-burial incubation data set.
struct HojyoRecord {
  std::string SoilName;
  std::string GridText;  // "年/月/日" TAB "地温(℃)" TAB "無機化量", then rows
  bool IsFertilizer = false;
  bool operator==(const HojyoRecord&) const = default;
};

}  // namespace kelvora
