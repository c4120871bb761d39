#include "cli/report.h"

#include <QGuiApplication>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <ostream>
#include <set>

#include "print/page_output.h"
#include "print/reports.h"
#include "store/data_files.h"
#include "store/hensuu.h"
#include "store/number_text.h"

namespace kelvora {

namespace {

const char* kReportHelp =
    "使い方: kelvora-cli report parameters DIR --out FILE.pdf [--records LIST]\n"
    "        kelvora-cli report estimations DIR --out FILE.pdf [--records LIST]\n"
    "\n"
    "データフォルダ DIR の記録から、画面の「データ印刷」「印刷」と同じ帳票を PDF にします。\n"
    "  parameters     パラメータ計算結果（A4 横、1ページに6件）\n"
    "  estimations    窒素無機化の推定結果（A4 縦、1件ずつ新しいページから）\n"
    "  --out FILE     書き出す PDF ファイル\n"
    "  --records LIST 記録の番号（例: 1-7、2,4,9、1-3,8）。番号の小さい順に印刷します。\n"
    "                 省略するとすべての記録。\n"
    "データフォルダの中身は変更しません。画面（ディスプレイ）は使いません。\n"
    "フォルダや記録の番号に誤りがあるとき、書き出せないときは終了コード 2。\n";

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

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  auto usage = [&](const std::string& message) {
    err << message << "\n（kelvora-cli report --help で使い方を表示します）\n";
    return 2;
  };
  std::vector<std::string> positional;
  std::string output, records;
  bool haveOutput = false, haveRecords = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      out << kReportHelp;
      return 0;
    }
    auto value = [&](const std::string& name, std::string& into, bool& have) {
      if (have) return usage("オプション " + name + " が2回以上指定されています。"), false;
      if (a.rfind(name + "=", 0) == 0) {
        into = a.substr(name.size() + 1);
      } else if (i + 1 < args.size()) {
        into = args[++i];
      } else {
        return usage("オプション " + name + " に値がありません。"), false;
      }
      have = true;
      return true;
    };
    if (a == "--out" || a.rfind("--out=", 0) == 0) {
      if (!value("--out", output, haveOutput)) return 2;
    } else if (a == "--records" || a.rfind("--records=", 0) == 0) {
      if (!value("--records", records, haveRecords)) return 2;
    } else if (a.size() > 1 && a[0] == '-') {
      return usage("不明なオプションです: " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2 || (positional[0] != "parameters" && positional[0] != "estimations")) {
    return usage("帳票（parameters か estimations）とデータフォルダを指定して下さい。");
  }
  if (!haveOutput || output.empty())
    return usage("--out で書き出す PDF ファイルを指定して下さい。");
  const bool parameters = positional[0] == "parameters";
  const std::filesystem::path dir = positional[1];

  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    err << "データフォルダ「" << dir.string() << "」がありません。\n";
    return 2;
  }
  hensuu store;
  const FileMessages messages = ReadDataFiles(store, dir);
  if (!messages.empty()) {
    for (const std::string& m : messages) err << m << "\n";
    return 2;
  }
  const int16_t count = parameters ? store.ParaCount() : store.SuiteiCount();
  std::vector<int16_t> chosen;
  if (haveRecords) {
    std::string error;
    std::optional<std::vector<int16_t>> list = ParseRecordList(records, count, error);
    if (!list) {
      err << error << "\n";
      return 2;
    }
    chosen = *list;
  } else {
    for (int16_t r = 1; r <= count; ++r) chosen.push_back(r);
  }
  if (!parameters && chosen.empty()) {
    err << "データフォルダに推定結果がありません。\n";
    return 2;
  }

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
