// Printers for the screen tests: two named printers whose print jobs are
// written as PDF files into a folder, one file per job, so that a test can
// count the documents and read them back.
#pragma once

#include <QDir>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "print/page_output.h"
#include "print/printers.h"

namespace kelvora::test {

class FakePrinters : public PrinterSystem {
 public:
  struct Job {
    QString printer;
    QString title;
    QString file;
  };

  QStringList names{QStringLiteral("事務所のプリンター"), QStringLiteral("Canon_LBP")};
  QString defaultName = QStringLiteral("Canon_LBP");
  QString jobFolder;
  std::vector<Job> jobs;
  bool broken = false;  // every job fails as it starts

  QStringList PrinterNames() const override { return names; }
  QString DefaultPrinterName() const override { return defaultName; }
  std::unique_ptr<DocumentSink> OpenPrinter(const QString& name) override {
    return std::make_unique<JobSink>(*this, name);
  }

 private:
  // Every document a job of its own, as a print queue takes them.
  class JobSink : public DocumentSink {
   public:
    JobSink(FakePrinters& printers, const QString& name) : printers_(printers), name_(name) {}
    PageOutput* Begin(const QString& title, QPageLayout::Orientation orientation) override {
      if (!End()) return nullptr;
      if (printers_.broken) {
        error_ = QStringLiteral("プリンター「%1」で印刷できませんでした。").arg(name_);
        return nullptr;
      }
      QDir().mkpath(printers_.jobFolder);
      const QString file =
          QDir(printers_.jobFolder)
              .filePath(QStringLiteral("job-%1.pdf").arg(printers_.jobs.size() + 1));
      printers_.jobs.push_back({name_, title, file});
      job_ = std::make_unique<PdfFileSink>(file);
      return job_->Begin(title, orientation);
    }
    bool End() override {
      if (!job_) return error_.isEmpty();
      const bool ok = job_->Finish();
      if (!ok) error_ = job_->Error();
      job_.reset();
      return ok;
    }
    bool Finish() override { return End(); }
    QString Error() const override { return error_; }

   private:
    FakePrinters& printers_;
    QString name_;
    std::unique_ptr<PdfFileSink> job_;
    QString error_;
  };
};

}  // namespace kelvora::test
