// Where printed pages go. A document sink takes documents one after another:
// a printer queue (one print job per document) or a PDF file (every document
// starting on a new page of the one file). The report layouts draw on the
// sink's painter and never know which it is.
#pragma once

#include <QPageLayout>
#include <QPainter>
#include <QSaveFile>
#include <QString>
#include <memory>

class QPagedPaintDevice;
class QPdfWriter;

namespace kelvora {

inline constexpr double kTwipsPerInch = 1440;

// The page being drawn: a painter on the device, whose origin is the top left
// corner of the printable area.
class PageOutput {
 public:
  PageOutput(QPagedPaintDevice& device, QPainter& painter) : device_(device), painter_(painter) {}

  QPainter& Painter() { return painter_; }
  QPaintDevice& Device();
  // Device pixels per inch.
  double Resolution() const;
  // Size of the printable area, in twips.
  double WidthTwips() const;
  double HeightTwips() const;
  // Ends this page and starts the next one.
  bool NewPage();

 private:
  QPagedPaintDevice& device_;
  QPainter& painter_;
};

class DocumentSink {
 public:
  virtual ~DocumentSink() = default;
  // Starts a document on A4 paper of the orientation; nullptr after a
  // failure (Error() says why).
  virtual PageOutput* Begin(const QString& title, QPageLayout::Orientation orientation) = 0;
  // Ends the document begun last; false after a failure.
  virtual bool End() = 0;
  // Ends the whole output (a PDF file is written only now); false after a
  // failure. Documents not ended are ended first.
  virtual bool Finish() = 0;
  // A Japanese message naming the printer or file and the reason.
  virtual QString Error() const = 0;
};

// Margins of the pages written to PDF files.
inline constexpr double kPdfMarginMillimetres = 5.0;

// Documents one after another on one paged device that is already set up
// (a PDF writer, a preview's printer): each document after the first starts
// a new page in its own orientation.
class PagedDeviceSink : public DocumentSink {
 public:
  explicit PagedDeviceSink(QPagedPaintDevice& device) : device_(device) {}
  ~PagedDeviceSink() override;
  PageOutput* Begin(const QString& title, QPageLayout::Orientation orientation) override;
  bool End() override { return ok_; }
  bool Finish() override;
  QString Error() const override { return error_; }

 private:
  QString error_;
  bool ok_ = true;
  QPagedPaintDevice& device_;
  QPainter painter_;
  std::unique_ptr<PageOutput> page_;
};

// A PDF file, written to a temporary file beside it and renamed over it only
// when every page is drawn; a failure leaves an existing file untouched.
class PdfFileSink : public DocumentSink {
 public:
  explicit PdfFileSink(const QString& path);
  ~PdfFileSink() override;
  PageOutput* Begin(const QString& title, QPageLayout::Orientation orientation) override;
  bool End() override;
  bool Finish() override;
  QString Error() const override { return error_; }

 private:
  bool Fail(const QString& reason);

  QString path_;
  QSaveFile file_;
  std::unique_ptr<QPdfWriter> writer_;
  std::unique_ptr<PagedDeviceSink> pages_;
  QString error_;
  bool failed_ = false;
  bool finished_ = false;
};

}  // namespace kelvora
