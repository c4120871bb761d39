#include "print/printers.h"

#include <QDir>
#include <QListWidget>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <functional>

#include "print/remembered_folder.h"
#include "screens/dialogs.h"

namespace kelvora {

namespace {

// Every document a print job of its own.
class PrinterSink : public DocumentSink {
 public:
  explicit PrinterSink(const QString& name) : name_(name) {}
  ~PrinterSink() override { End(); }

  PageOutput* Begin(const QString& title, QPageLayout::Orientation orientation) override {
    if (failed_) return nullptr;
    End();
    // A printer removed since the list was shown is not silently replaced by
    // the default one (as Qt would).
    if (!QPrinterInfo::availablePrinterNames().contains(name_)) {
      Fail(QStringLiteral(
          "プリンターが見つかりません。取り外されたか、名前が変わった可能性があります。"));
      return nullptr;
    }
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setPrinterName(name_);
    printer_->setDocName(title);
    printer_->setPageSize(QPageSize(QPageSize::A4));
    printer_->setPageOrientation(orientation);
    if (!printer_->isValid() || printer_->printerName() != name_ ||
        !painter_.begin(printer_.get())) {
      Fail(QStringLiteral("プリンターを使えません。電源、接続、設定を確かめて下さい。"));
      printer_.reset();
      return nullptr;
    }
    page_ = std::make_unique<PageOutput>(*printer_, painter_);
    return page_.get();
  }

  bool End() override {
    if (!printer_) return !failed_;
    page_.reset();
    const bool ended = !painter_.isActive() || painter_.end();
    const bool error = printer_->printerState() == QPrinter::Error;
    printer_.reset();
    if (!ended || error) Fail(QStringLiteral("印刷の途中で失敗しました。"));
    return !failed_;
  }

  bool Finish() override { return End(); }
  QString Error() const override { return error_; }

 private:
  void Fail(const QString& reason) {
    failed_ = true;
    error_ = QStringLiteral("プリンター「%1」で印刷できませんでした。\n%2").arg(name_, reason);
  }

  QString name_;
  std::unique_ptr<QPrinter> printer_;
  QPainter painter_;
  std::unique_ptr<PageOutput> page_;
  QString error_;
  bool failed_ = false;
};

}  // namespace

QStringList SystemPrinters::PrinterNames() const { return QPrinterInfo::availablePrinterNames(); }

QString SystemPrinters::DefaultPrinterName() const { return QPrinterInfo::defaultPrinterName(); }

std::unique_ptr<DocumentSink> SystemPrinters::OpenPrinter(const QString& name) {
  return std::make_unique<PrinterSink>(name);
}

PrintState::PrintState(PrinterSystem& system) : system_(system) {
  current_.name = system.DefaultPrinterName();
}

std::vector<PrinterEntry> PrintState::Entries() const {
  std::vector<PrinterEntry> entries;
  for (const QString& name : system_.PrinterNames()) entries.push_back({name, false});
  entries.push_back({QString(), true});
  return entries;
}

int PrintState::CurrentIndex(const std::vector<PrinterEntry>& entries,
                             const PrinterEntry& current) {
  int found = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].pdf == current.pdf && entries[i].name == current.name) {
      found = static_cast<int>(i);
    }
  }
  return found;
}

void PrintState::MakeCurrent(const std::vector<PrinterEntry>& entries, int row) {
  if (row >= 0 && row < static_cast<int>(entries.size())) current_ = entries[row];
}

std::vector<PrinterEntry> FillPrinterList(QListWidget& list, const PrintState& state) {
  const std::vector<PrinterEntry> entries = state.Entries();
  list.clear();
  for (const PrinterEntry& entry : entries) list.addItem(entry.Label());
  list.setCurrentRow(PrintState::CurrentIndex(entries, state.Current()));
  return entries;
}

std::unique_ptr<DocumentSink> PrintState::OpenCurrent(QWidget* parent, Dialogs& dialogs,
                                                      const QString& suggestedName) {
  if (!current_.pdf) return system_.OpenPrinter(current_.name);
  const QString path =
      AskSaveFile(dialogs, parent, FileKind::Pdf, QStringLiteral("PDFファイルに保存"),
                  suggestedName, QStringLiteral("PDFファイル (*.pdf)"));
  if (path.isEmpty()) return nullptr;
  return std::make_unique<PdfFileSink>(path);
}

bool PrintWith(PrintState& state, QWidget* parent, Dialogs& dialogs, const QString& suggestedName,
               const std::function<bool(DocumentSink&)>& draw) {
  std::unique_ptr<DocumentSink> sink = state.OpenCurrent(parent, dialogs, suggestedName);
  if (!sink) return false;
  const bool drawn = draw(*sink);
  const bool finished = sink->Finish();
  if (drawn && finished) return true;
  dialogs.Message(parent, kTitleCaution, sink->Error(), Dialogs::Icon::Warning);
  return false;
}

}  // namespace kelvora
