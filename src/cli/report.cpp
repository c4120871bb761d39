#include "cli/report.h"

#include <QGuiApplication>
#include <filesystem>
#include <memory>
#include <ostream>
#include <set>

#include "cli/input_checks.h"
#include "print/page_output.h"
#include "print/reports.h"
#include "store/data_files.h"
#include "store/hensuu.h"

namespace kelvora {

namespace {

std::optional<int> ParseNumber(const std::string& s) {
  if (s.empty() || s.size() > 6) return std::nullopt;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  return std::stoi(s);
}

// The report command needs Qt's GUI library for fonts and PDF output, never a
// display: the offscreen platform is used whatever the environment says.
std::unique_ptr<QGuiApplication> StartGui() {
  if (QCoreApplication::instance()) return nullptr;
  // The offscreen platform complains about a missing runtime folder of the
  // desktop session, which a command line run does not need.
  static QtMessageHandler previous = qInstallMessageHandler(
      [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type != QtCriticalMsg && type != QtFatalMsg &&
            message.contains(QLatin1String("XDG_RUNTIME_DIR"))) {
          return;
        }
        if (previous) previous(type, context, message);
      });
  static int argc = 3;
  static char name[] = "kelvora-cli";
  static char option[] = "-platform";
  static char platform[] = "offscreen";
  static char* argv[] = {name, option, platform, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

std::optional<std::vector<int16_t>> ParseRecordList(const std::string& list, int16_t count,
                                                    std::string& error) {
  std::set<int16_t> chosen;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    const std::string part = list.substr(start, end - start);
    const size_t dash = part.find('-');
    std::optional<int> from, to;
    if (dash == std::string::npos) {
      from = to = ParseNumber(part);
    } else {
      from = ParseNumber(part.substr(0, dash));
      to = ParseNumber(part.substr(dash + 1));
    }
    if (!from || !to || *from > *to) {
      error = "記録の番号「" + part + "」が正しくありません。";
      return std::nullopt;
    }
    if (*from < 1 || *to > count) {
      error = "記録の番号「" + part + "」がありません（記録は " +
              (count > 0 ? "1〜" + std::to_string(count) : std::string("0 件")) + "）。";
      return std::nullopt;
    }
    for (int r = *from; r <= *to; ++r) chosen.insert(static_cast<int16_t>(r));
    start = end + 1;
  }
  return std::vector<int16_t>(chosen.begin(), chosen.end());
}

bool ReadChosenRecords(bool parameters, const std::filesystem::path& dir,
                       const std::optional<std::string>& records, hensuu& store,
                       std::vector<int16_t>& chosen, std::ostream& err) {
  if (!HoldsDataFiles(dir, err)) return false;
  const FileMessages messages = ReadDataFiles(store, dir);
  if (!messages.empty()) {
    for (const std::string& m : messages) err << m << "\n";
    return false;
  }
  const int16_t count = parameters ? store.ParaCount() : store.SuiteiCount();
  chosen.clear();
  if (records) {
    std::string error;
    std::optional<std::vector<int16_t>> list = ParseRecordList(*records, count, error);
    if (!list) {
      err << error << "\n";
      return false;
    }
    chosen = *list;
  } else {
    for (int r = 1; r <= count; ++r) chosen.push_back(static_cast<int16_t>(r));
  }
  if (!parameters && chosen.empty()) {
    err << "データフォルダに推定結果がありません。\n";
    return false;
  }
  return true;
}

int WriteReport(bool parameters, const std::filesystem::path& dir, const std::string& output,
                const std::optional<std::string>& records, std::ostream& err) {
  hensuu store;
  std::vector<int16_t> chosen;
  if (!ReadChosenRecords(parameters, dir, records, store, chosen, err)) return 2;

  std::unique_ptr<QGuiApplication> app = StartGui();
  PdfFileSink sink(QString::fromStdString(output));
  bool drawn = true;
  if (parameters) {
    std::vector<ParaRecord> list;
    for (int16_t r : chosen) list.push_back(store.ParaTable(r));
    drawn = PrintParameterReport(sink, list);
  } else {
    for (int16_t r : chosen) {
      if (!(drawn = PrintEstimationReport(sink, store.SuiteiTable(r)))) break;
    }
  }
  if (!drawn || !sink.Finish()) {
    err << sink.Error().toStdString() << "\n";
    return 2;
  }
  return 0;
}

}  // namespace kelvora
