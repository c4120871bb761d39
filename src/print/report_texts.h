// What the two printed reports say and where: the texts of one block of the
// parameter report, and the lines of the estimation report page by page.
// Plain data, so that the layouts can be checked without drawing them.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "store/records.h"

namespace kelvora {

// ---- parameter report ---------------------------------------------------------------------

// Page image of the parameter report, in twips from the top left of the
// image: the title, two rules between the rows of blocks, six blocks.
inline constexpr double kParaPageWidth = 17280;   // rules run from 240 to 17040
inline constexpr double kParaPageHeight = 10350;  // last block ends at 10110
inline constexpr double kParaTitleX = 7080, kParaTitleY = 240;
inline constexpr double kParaRuleLeft = 240, kParaRuleRight = 17040;
inline constexpr std::array<double, 2> kParaRuleY{3720, 7080};
inline constexpr int kBlocksPerPage = 6;
struct TwipPoint {
  double x;
  double y;
};
inline constexpr std::array<TwipPoint, kBlocksPerPage> kParaBlockOrigin{
    {{360, 840}, {360, 4200}, {360, 7680}, {7920, 840}, {7920, 4200}, {7920, 7680}}};

// Inside a block, relative to its origin.
inline constexpr double kBlockNameBoxX = 1320, kBlockNameBoxY = -120, kBlockNameBoxWidth = 5175;
inline constexpr double kBlockModelY = 480, kBlockFormulaY = 840;
inline constexpr std::array<double, 5> kBlockColumnX{0, 1440, 2880, 4320, 5760};
inline constexpr double kBlockNames1Y = 1200, kBlockValues1Y = 1440;
inline constexpr double kBlockNames2Y = 1920, kBlockValues2Y = 2160;
inline constexpr double kValueBoxWidth = 1215, kValueBoxHeight = 270;
inline constexpr double kLabelHeight = 180;

inline const std::string kParaReportTitle = "パラメータ計算結果";
inline const std::string kSoilNameLabel = "土壌名（肥料名）";

// The texts of one block. An empty name means the position is not used: it
// shows neither name nor value box.
struct ParameterBlock {
  std::string soilName;
  std::string modelName;
  std::string formula;
  std::array<std::string, 5> names1, values1;  // positions 1-5
  std::array<std::string, 5> names2, values2;  // positions 6, 7, AIC, RSS, standard temperature
};

// Names and number patterns of the record's model, its parameter slots, AIC
// and the residual sum of squares as stored (also for hand-entered sets),
// the standard temperature as its stored text.
ParameterBlock MakeParameterBlock(const ParaRecord& record);

// ---- estimation report --------------------------------------------------------------------

inline constexpr int kRowsPerColumn = 69;
inline constexpr int kColumnsPerPage = 4;
inline constexpr std::array<double, kColumnsPerPage> kEstimationColumnX{1000, 3500, 6000, 8500};
inline constexpr double kEstimationTop = 500;
// Lines of the heading block, the column header and the unit line, 69 rows:
// the report needs (kEstimationLinesPerPage * h + kEstimationTop) twips.
inline constexpr int kEstimationLinesPerPage = 12 + kRowsPerColumn;

// One line of text at a position in twips (y is the top of the line).
struct TextItem {
  double x;
  double y;
  std::string text;
};
using ReportPageText = std::vector<TextItem>;

// The material's texts: model name, "無機化量"/"mg/100g" (models 1-3) or
// "無機化率"/"％" (4-6); all empty for another model number.
struct EstimationTexts {
  std::string model;
  std::string quantity;
  std::string unit;
};
EstimationTexts EstimationReportTexts(int16_t modelNo);

// The pages of the estimation report of one record, for a line height of `h`
// twips: the heading block, then the date and amount of every row in columns
// of 69, each column under its column header and unit line, four columns a
// page. Every y is the previous one plus its step, rounded to a whole twip.
std::vector<ReportPageText> EstimationReportPages(const SuiteiRecord& record, double h);

}  // namespace kelvora
