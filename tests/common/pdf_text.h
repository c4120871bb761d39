// Reads PDF files back with poppler's pdfinfo and pdftotext, as a person
// checking a printed report would: page count, page size, the text of each
// page, and the words that lie outside the page.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace kelvora::testing {

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline std::string CommandOutput(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return out;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) out.append(buffer.data(), n);
  return out;
}

inline int PdfPages(const std::filesystem::path& pdf) {
  const std::string info = CommandOutput("pdfinfo " + Quote(pdf.string()) + " 2>&1");
  const size_t at = info.find("Pages:");
  if (at == std::string::npos) {
    ADD_FAILURE() << "pdfinfo could not read " << pdf << ": " << info;
    return -1;
  }
  return std::stoi(info.substr(at + 6));
}

// "595 x 842" style page size in points, as pdfinfo prints it.
inline std::string PdfPageSize(const std::filesystem::path& pdf) {
  const std::string info = CommandOutput("pdfinfo " + Quote(pdf.string()) + " 2>&1");
  const size_t at = info.find("Page size:");
  if (at == std::string::npos) return {};
  std::istringstream in(info.substr(at + 10));
  std::string w, x, h;
  in >> w >> x >> h;
  return w + " x " + h;
}

// The text of every page (pdftotext -layout), compatibility forms folded:
// the CJK fonts map some kanji to their radical code points (⼟ for 土).
inline std::vector<std::string> PdfPageTexts(const std::filesystem::path& pdf) {
  const std::string text = CommandOutput("pdftotext -layout " + Quote(pdf.string()) + " - 2>&1");
  const std::string all =
      QString::fromStdString(text).normalized(QString::NormalizationForm_KC).toStdString();
  std::vector<std::string> pages;
  std::string page;
  for (char c : all) {
    if (c == '\f') {
      pages.push_back(page);
      page.clear();
    } else {
      page += c;
    }
  }
  if (!page.empty()) pages.push_back(page);
  return pages;
}

inline int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + what.size())) {
    ++n;
  }
  return n;
}

// Lines of a page text that contain `what`.
inline std::vector<std::string> LinesWith(const std::string& text, const std::string& what) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.find(what) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

// Words whose box reaches closer than `margin` points to a page edge (or
// beyond it), from pdftotext -bbox: a report must keep every word well inside
// the paper.
inline std::vector<std::string> WordsNearTheEdge(const std::filesystem::path& pdf, double margin) {
  const std::string html = CommandOutput("pdftotext -bbox " + Quote(pdf.string()) + " - 2>&1");
  auto attr = [](const std::string& tag, const char* name) {
    const std::string key = std::string(name) + "=\"";
    const size_t at = tag.find(key);
    return at == std::string::npos ? 0.0 : std::stod(tag.substr(at + key.size()));
  };
  std::vector<std::string> outside;
  double width = 0, height = 0;
  std::istringstream in(html);
  std::string line;
  while (std::getline(in, line)) {
    if (line.find("<page ") != std::string::npos) {
      width = attr(line, "width");
      height = attr(line, "height");
    } else if (line.find("<word ") != std::string::npos) {
      const double x0 = attr(line, "xMin"), y0 = attr(line, "yMin");
      const double x1 = attr(line, "xMax"), y1 = attr(line, "yMax");
      if (x0 < margin || y0 < margin || x1 > width - margin || y1 > height - margin) {
        outside.push_back(line);
      }
    }
  }
  return outside;
}

}  // namespace kelvora::testing
