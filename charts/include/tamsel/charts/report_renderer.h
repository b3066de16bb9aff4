// Writes an evidence report as one self-contained HTML file (inline CSS, charts as inline SVG)
// or as an A4 PDF with page numbers and vector charts. The charts are drawn by ChartView, so
// a QApplication must exist.
#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>

#include "tamsel/workbench/report.h"

namespace tamsel {

// The SHA-256 of text in lowercase hex, for ReportRequest::sha256.
std::string Sha256Hex(std::string_view text);

// Writes report to fileName in the format its suffix names (.html or .pdf). The number of
// pages for a PDF, 1 for HTML; nothing when the suffix is neither or the file cannot be
// written.
std::optional<int> WriteReport(const Report& report, const QString& fileName);

}  // namespace tamsel
