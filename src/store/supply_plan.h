// A nitrogen supply plan as it is stored: its sources (a copy of each
// parameter set with the set's conversion to kg N per 10 a) kept as the grid
// text of a SekkeiRecord, and the series the plan names by number and name.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store/date_text.h"
#include "store/hensuu.h"

namespace kelvora {

// A plan has at most this many sources.
inline constexpr int kMaxPlanSources = 10;

// One source of a plan: a copy of the parameter set (name, model, parameters
// and standard temperature; its fit values are not kept) and how its amounts
// become kg N/10a. A soil set (models 1-3, mg/100g) is converted with the
// depth of the plough layer and the bulk density and starts on the plan's
// first day; a fertilizer set (models 4-6, % of its nitrogen) with the
// nitrogen applied, and starts on the day it is applied.
struct PlanSource {
  ParaRecord para;
  float depthCm = 15;  // 作土深 (cm), soil
  float density = 1;   // 仮比重 (g/cm3), soil
  float kgPer10a = 0;  // 施用量 (kg N/10a), fertilizer
  CivilDate applied;   // 施用日, fertilizer
  bool IsFertilizer() const { return para.ModelNo >= 4; }
  bool operator==(const PlanSource&) const = default;
};

// The header cells of a plan's sources table, column by column.
const std::vector<std::string>& PlanSourceHeader();

// The sources as the grid text of SekkeiRecord::GridText: the header, then a
// row per source (name, model, Param1 ... Param7, standard temperature,
// depth, density, kg, date; numbers as canonical single text, the columns of
// the other kind empty). TABs and line breaks in a name become blanks (a
// cell holds neither).
std::string PlanSourcesText(const std::vector<PlanSource>& sources);

// Reads the sources back; nothing with `problem` set (Japanese, naming the
// row) when a row cannot be read.
std::optional<std::vector<PlanSource>> ReadPlanSources(const std::string& gridText,
                                                       std::string& problem);

// A copy of a parameter set as a plan keeps it.
ParaRecord PlanCopyOf(const ParaRecord& set);

// The series a plan names: record `number` when it exists and still has the
// plan's `name`; 0 when it was deleted (number 0), the number is beyond the
// table, or the record there has another name (renamed, or the plans and the
// series were saved at different times). A plan never computes with a series
// it did not name.
int16_t FindPlanSeries(const hensuu& store, int16_t number, const std::string& name);

// Why FindPlanSeries gave 0, for a message ("地温データ「A」が見つかりません…").
std::string MissingSeriesMessage(const std::string& role, const std::string& name);

}  // namespace kelvora
