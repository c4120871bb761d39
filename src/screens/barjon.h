// The version window.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <filesystem>

namespace kelvora {

class Barjon : public QWidget {
  Q_OBJECT

 public:
  // `dataDir`: the data folder of the run (not shown when empty).
  explicit Barjon(QWidget* owner, const std::filesystem::path& dataDir = {});
  QLabel* const Label1;
  QLabel* const Label2;
  QLabel* const Label3;  // "バージョン 1.1" (the CMake project's version)
  QLabel* const Label4;  // "データフォルダ: …", selectable for copying
  QPushButton* const Command1;
};

// The program's name with its version as the version window shows it: "1.1"
// gives "ケルボラ１_１" (full-width digits, the parts joined by "_").
QString ProgramNameAndVersion(const QString& version);

// Shows the version window (not modal) over `owner`, or brings the open one
// to the front.
Barjon* ShowBarjon(QWidget* owner, const std::filesystem::path& dataDir = {});

}  // namespace kelvora
