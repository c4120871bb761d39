#include "print/page_output.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPdfWriter>

#include "store/export_target.h"

namespace kelvora {

QPaintDevice& PageOutput::Device() { return device_; }

double PageOutput::Resolution() const { return device_.logicalDpiX(); }

double PageOutput::WidthTwips() const {
  return device_.width() * kTwipsPerInch / device_.logicalDpiX();
}

double PageOutput::HeightTwips() const {
  return device_.height() * kTwipsPerInch / device_.logicalDpiY();
}

bool PageOutput::NewPage() { return device_.newPage(); }

// ---- PagedDeviceSink --------------------------------------------------------------------------

PagedDeviceSink::~PagedDeviceSink() {
  if (painter_.isActive()) painter_.end();
}

PageOutput* PagedDeviceSink::Begin(const QString&, QPageLayout::Orientation orientation) {
  if (!ok_) return nullptr;
  if (!painter_.isActive()) {
    device_.setPageSize(QPageSize(QPageSize::A4));
    device_.setPageOrientation(orientation);
    if (!painter_.begin(&device_)) {
      ok_ = false;
      error_ = QStringLiteral("印刷を始められませんでした。");
      return nullptr;
    }
    page_ = std::make_unique<PageOutput>(device_, painter_);
    return page_.get();
  }
  // The next document starts on a page of its own, in its own orientation.
  device_.setPageOrientation(orientation);
  if (!device_.newPage()) {
    ok_ = false;
    error_ = QStringLiteral("新しいページを始められませんでした。");
    return nullptr;
  }
  painter_.resetTransform();
  return page_.get();
}

bool PagedDeviceSink::Finish() {
  if (painter_.isActive() && !painter_.end()) {
    ok_ = false;
    if (error_.isEmpty()) error_ = QStringLiteral("ページを書き終えられませんでした。");
  }
  return ok_;
}

// ---- PdfFileSink ------------------------------------------------------------------------------

PdfFileSink::PdfFileSink(const QString& path) : path_(path), file_(path) {}

PdfFileSink::~PdfFileSink() {
  // Not finished: nothing replaces the file.
  pages_.reset();
  writer_.reset();
  if (file_.isOpen()) file_.cancelWriting();
}

bool PdfFileSink::Fail(const QString& reason) {
  failed_ = true;
  error_ = QStringLiteral("PDFファイル「%1」に保存できませんでした。\n%2")
               .arg(QDir::toNativeSeparators(path_), reason);
  return false;
}

PageOutput* PdfFileSink::Begin(const QString& title, QPageLayout::Orientation orientation) {
  if (failed_ || finished_) return nullptr;
  if (!writer_) {
    if (QFileInfo(path_).isDir()) {
      Fail(QStringLiteral("同じ名前のフォルダがあります。"));
      return nullptr;
    }
    // Only a regular file (or a new name) is written: a FIFO or a device in
    // the way would be replaced by the rename that finishes the file.
    struct stat st {};
    if (::stat(QFile::encodeName(path_).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
      const char* kind = S_ISFIFO(st.st_mode)                         ? "名前付きパイプ"
                         : S_ISSOCK(st.st_mode)                       ? "ソケット"
                         : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "デバイス"
                                                                      : "特殊なファイル";
      Fail(QStringLiteral("通常のファイルではないため、書き出せません（%1）。")
               .arg(QString::fromUtf8(kind)));
      return nullptr;
    }
    // A file made read-only, or a folder the user may not write in, is
    // refused as spreadsheet programs refuse it.
    std::string reason;
    if (!CheckExportTarget(QFile::encodeName(path_).toStdString(), reason)) {
      Fail(QString::fromStdString(reason));
      return nullptr;
    }
    if (!file_.open(QIODevice::WriteOnly)) {
      Fail(file_.errorString());
      return nullptr;
    }
    writer_ = std::make_unique<QPdfWriter>(&file_);
    writer_->setTitle(title);
    writer_->setCreator(QStringLiteral("ケルボラ１"));
    writer_->setResolution(1200);
    writer_->setPageMargins(QMarginsF(kPdfMarginMillimetres, kPdfMarginMillimetres,
                                      kPdfMarginMillimetres, kPdfMarginMillimetres),
                            QPageLayout::Millimeter);
    pages_ = std::make_unique<PagedDeviceSink>(*writer_);
  }
  PageOutput* page = pages_->Begin(title, orientation);
  if (!page) Fail(pages_->Error());
  return page;
}

bool PdfFileSink::End() { return !failed_; }

bool PdfFileSink::Finish() {
  if (finished_) return !failed_;
  finished_ = true;
  if (failed_) return false;
  if (!writer_) {
    // No document was begun: there is nothing to write.
    return true;
  }
  if (!pages_->Finish()) return Fail(pages_->Error());
  pages_.reset();
  writer_.reset();
  if (!file_.commit()) return Fail(file_.errorString());
  return true;
}

}  // namespace kelvora
