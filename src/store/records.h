// The record kinds kept in the data files.
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

// One nitrogen supply plan (Sekkei.txt): the series it takes its temperatures
// from, by record number and name (a number whose record has another name
// names nothing), its days, and its sources with a copy of each parameter set.
struct SekkeiRecord {
  std::string PlanName;
  std::string SiteName;    // the observed series
  int16_t TionNo = 0;      // its record number; 0 when it was deleted
  std::string NormalName;  // the normal-year series; empty for none
  int16_t NormalNo = 0;
  std::string FirstDate;  // "yyyy/MM/dd"
  std::string LastDate;
  std::string GridText;  // the sources, one row each (store/supply_plan.h)
  bool operator==(const SekkeiRecord&) const = default;
};

}  // namespace kelvora
