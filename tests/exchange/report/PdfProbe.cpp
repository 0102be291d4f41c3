#include "PdfProbe.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocumentFragment>

namespace zn::test {
namespace {

bool run(const QString &program, const QStringList &args, QByteArray *out, QString *error,
         QString *warnings = nullptr)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = program + QStringLiteral(": ") + QString::fromUtf8(process.readAllStandardError());
        return false;
    }
    if (out)
        *out = process.readAllStandardOutput();
    if (warnings)
        *warnings += QString::fromUtf8(process.readAllStandardError());
    return true;
}

QString unescape(const QString &html)
{
    return QTextDocumentFragment::fromHtml(html).toPlainText();
}

} // namespace

PdfProbe::PdfProbe(const QByteArray &pdf)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("probe.pdf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size()) {
        m_error = QStringLiteral("cannot write probe file");
        return;
    }
    file.close();

    QByteArray info;
    if (!run(QStringLiteral("pdfinfo"), {path}, &info, &m_error))
        return;
    m_info = QString::fromUtf8(info);

    QByteArray images;
    if (!run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), path}, &images, &m_error))
        return;
    // Two header lines, then one line per image.
    m_imageCount = int(images.count('\n')) - 2;

    QByteArray fonts;
    if (!run(QStringLiteral("pdffonts"), {path}, &fonts, &m_error))
        return;
    const QList<QByteArray> fontLines = fonts.split('\n');
    for (qsizetype i = 2; i < fontLines.size(); ++i) {
        const QString name = QString::fromUtf8(fontLines[i]).section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
        if (!name.isEmpty())
            m_fonts.append(name.section(QLatin1Char('+'), -1));
    }

    const QString html = dir.filePath(QStringLiteral("probe.html"));
    if (!run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, html}, nullptr, &m_error, &m_warnings))
        return;
    QFile bbox(html);
    if (!bbox.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("no pdftotext output");
        return;
    }
    const QString doc = QString::fromUtf8(bbox.readAll());
    static const QRegularExpression tag(QStringLiteral(
        "<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">|<word xMin=\"([\\d.-]+)\" yMin=\"([\\d.-]+)\" "
        "xMax=\"([\\d.-]+)\" yMax=\"([\\d.-]+)\">(.*?)</word>"));
    for (auto it = tag.globalMatch(doc); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!m.captured(1).isEmpty()) {
            m_pageSizes.append(QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()));
            continue;
        }
        m_words.append({int(m_pageSizes.size()), unescape(m.captured(7)), m.captured(3).toDouble(),
                        m.captured(4).toDouble(), m.captured(5).toDouble(), m.captured(6).toDouble()});
    }
    m_valid = true;
}

QString PdfProbe::text() const
{
    QStringList all;
    for (const PdfWord &word : m_words)
        all.append(word.text);
    return all.join(QLatin1Char(' '));
}

const PdfWord *PdfProbe::find(const QString &phrase, int fromIndex) const
{
    const QStringList parts = phrase.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return nullptr;
    for (qsizetype i = fromIndex; i + parts.size() <= m_words.size(); ++i) {
        bool match = true;
        for (qsizetype k = 0; k < parts.size() && match; ++k)
            match = m_words[i + k].text == parts[k];
        if (match)
            return &m_words[i];
    }
    return nullptr;
}

QList<const PdfWord *> PdfProbe::findAll(const QString &phrase) const
{
    QList<const PdfWord *> out;
    for (const PdfWord *w = find(phrase); w; w = find(phrase, int(w - m_words.data()) + 1))
        out.append(w);
    return out;
}

QList<const PdfWord *> PdfProbe::onPage(int page) const
{
    QList<const PdfWord *> out;
    for (const PdfWord &word : m_words)
        if (word.page == page)
            out.append(&word);
    return out;
}

QStringList PdfProbe::renderPages(const QByteArray &pdf, const QString &stemPath, int dpi)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("render.pdf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(pdf);
    file.close();
    QString error;
    const QString scratchStem = dir.filePath(QStringLiteral("page"));
    if (!run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi), path,
                                          scratchStem},
             nullptr, &error))
        return {};
    QStringList out;
    QStringList rendered = QDir(dir.path()).entryList({QStringLiteral("page-*.png")}, QDir::Files, QDir::Name);
    for (int i = 0; i < rendered.size(); ++i) {
        const QString target = QStringLiteral("%1-%2.png").arg(stemPath).arg(i + 1);
        QFile::remove(target);
        if (QFile::copy(dir.filePath(rendered[i]), target))
            out.append(target);
    }
    return out;
}

} // namespace zn::test
