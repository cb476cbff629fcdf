#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace kelvory::test {

// Reads a PDF back with poppler's tools (poppler-utils), as a person reading the
// printout would: its text and where each word sits on the page.

// pdftotext -layout: the text of each page, one string per line, trailing blanks kept
// as poppler writes them. Fails the running test when the tool is missing or fails.
QList<QStringList> pdfLayoutPages(const QString &pdfPath);

struct PdfWord
{
    int page = 0; // 0-based
    QString text;
    double xMin = 0; // points from the left edge of the page
    double yMin = 0; // points from the top edge of the page
    double xMax = 0;
    double yMax = 0;
};

// pdftotext -bbox: every word with its box, in reading order.
QList<PdfWord> pdfWords(const QString &pdfPath);

// Whether poppler's tools are there; a test that needs them fails without them.
bool havePoppler();

} // namespace kelvory::test
