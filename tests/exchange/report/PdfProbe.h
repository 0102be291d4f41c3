#pragma once

#include <QByteArray>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace zn::test {

// One word as poppler extracts it, in points from the page's top left.
struct PdfWord {
    int page = 0; // from 1
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

// A PDF read back with poppler-utils (pdfinfo, pdftotext -bbox), so tests
// check the document a viewer would show, not our own idea of it.
class PdfProbe
{
public:
    explicit PdfProbe(const QByteArray &pdf);

    bool valid() const { return m_valid; }
    QString error() const { return m_error; }
    int pageCount() const { return int(m_pageSizes.size()); }
    QSizeF pageSize(int page) const { return m_pageSizes.value(page - 1); }
    QString pdfinfo() const { return m_info; }
    // Raster images in the document (pdfimages -list).
    int imageCount() const { return m_imageCount; }
    // Names of the embedded fonts (pdffonts), subset prefixes removed.
    QStringList fonts() const { return m_fonts; }
    // What poppler complained about while reading the document.
    QString warnings() const { return m_warnings; }
    const QList<PdfWord> &words() const { return m_words; }
    QString text() const;

    // The first word of the first occurrence of `phrase` (words in reading
    // order, single spaces), or nullptr.
    const PdfWord *find(const QString &phrase, int fromIndex = 0) const;
    // Every occurrence's first word.
    QList<const PdfWord *> findAll(const QString &phrase) const;
    QList<const PdfWord *> onPage(int page) const;

    // Renders every page to PNGs named "<stem>-<page>.png" at `dpi`; returns their paths.
    static QStringList renderPages(const QByteArray &pdf, const QString &stemPath, int dpi = 110);

private:
    bool m_valid = false;
    QString m_error;
    QString m_info;
    QString m_warnings;
    int m_imageCount = -1;
    QStringList m_fonts;
    QList<QSizeF> m_pageSizes;
    QList<PdfWord> m_words;
};

} // namespace zn::test
