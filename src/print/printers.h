// The printers of the system, the program's current printer and the entry
// "PDFファイルに保存" that both printer lists offer besides them.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "print/page_output.h"

class QListWidget;
class QWidget;

namespace kelvora {

class Dialogs;

inline const QString kPdfEntry = QStringLiteral("PDFファイルに保存");

// What the platform offers.
class PrinterSystem {
 public:
  virtual ~PrinterSystem() = default;
  // Device names of the installed printers, in the system's order.
  virtual QStringList PrinterNames() const = 0;
  // The system's default printer; empty when there is none.
  virtual QString DefaultPrinterName() const = 0;
  // A sink that sends every document to the printer as its own print job.
  virtual std::unique_ptr<DocumentSink> OpenPrinter(const QString& name) = 0;
};

// The printers of CUPS, as Qt sees them.
class SystemPrinters : public PrinterSystem {
 public:
  QStringList PrinterNames() const override;
  QString DefaultPrinterName() const override;
  std::unique_ptr<DocumentSink> OpenPrinter(const QString& name) override;
};

// One entry of a printer list.
struct PrinterEntry {
  QString name;  // the device name; empty for the PDF entry
  bool pdf = false;
  QString Label() const { return pdf ? kPdfEntry : name; }
};

// The current printer of the run: the system's default at start, then the
// one last chosen in a printer list.
class PrintState {
 public:
  explicit PrintState(PrinterSystem& system);

  PrinterSystem& System() { return system_; }
  // The installed printers, then the PDF entry.
  std::vector<PrinterEntry> Entries() const;
  // The entry of the current printer (the last when several match, the first
  // when none does).
  static int CurrentIndex(const std::vector<PrinterEntry>& entries, const PrinterEntry& current);
  const PrinterEntry& Current() const { return current_; }
  void MakeCurrent(const PrinterEntry& entry) { current_ = entry; }
  // The entry at `row` of a list shown from `entries`; nothing when no row
  // is selected.
  void MakeCurrent(const std::vector<PrinterEntry>& entries, int row);

  // A sink for the current printer. For the PDF entry the file name is asked
  // first (`suggestedName` in the documents folder); nullptr when the user
  // cancels that question.
  std::unique_ptr<DocumentSink> OpenCurrent(QWidget* parent, Dialogs& dialogs,
                                            const QString& suggestedName);

 private:
  PrinterSystem& system_;
  PrinterEntry current_;
};

// Fills a printer list of a window: the entries in order, the current one
// selected. Returns the entries, row by row.
std::vector<PrinterEntry> FillPrinterList(QListWidget& list, const PrintState& state);

// Runs one print: opens the current printer, calls `draw` with the sink,
// finishes it, and tells the user when the platform reported a failure.
// False when nothing was printed (cancelled or failed).
bool PrintWith(PrintState& state, QWidget* parent, Dialogs& dialogs, const QString& suggestedName,
               const std::function<bool(DocumentSink&)>& draw);

}  // namespace kelvora
