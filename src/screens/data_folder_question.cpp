#include "screens/data_folder_question.h"

#include <QDir>
#include <QFile>
#include <system_error>

#include "screens/dialogs.h"
#include "screens/qtext.h"
#include "store/data_files.h"

namespace kelvora {

namespace fs = std::filesystem;

namespace {

// Empty when the folder is there or was made; else the system's reason.
std::string MakeFolder(const fs::path& dir) {
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return {};
  if (fs::create_directories(dir, ec) && !ec) return {};
  if (fs::is_directory(dir, ec)) return {};
  if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
  return SystemReason(ec.value());
}

}  // namespace

std::optional<fs::path> UsableDataFolder(Dialogs& dialogs, const fs::path& dir, QWidget* parent) {
  fs::path candidate = dir;
  for (;;) {
    const std::string reason = MakeFolder(candidate);
    if (reason.empty()) return candidate;
    const bool choose = dialogs.YesNo(
        parent, kTitleCaution,
        QStringLiteral("データフォルダ「%1」を作成できませんでした。\n理由: %2\n\n"
                       "このままではデータを保存できません。別のフォルダを選びますか。\n"
                       "（「いいえ」でプログラムを終了します）")
            .arg(Q(candidate.string()), Q(reason)));
    if (!choose) return std::nullopt;
    const QString chosen =
        dialogs.FolderName(parent, QStringLiteral("データフォルダを選択"), QDir::homePath());
    // A cancelled choice asks again.
    if (!chosen.isEmpty()) candidate = fs::path(QFile::encodeName(chosen).toStdString());
  }
}

}  // namespace kelvora
