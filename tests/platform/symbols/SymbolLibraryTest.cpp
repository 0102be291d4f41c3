#include "platform/symbols/SymbolLibrary.h"

#include "platform/base/SystemLog.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace zn {
namespace {

// Every symbol name the screens and the report ask for.
const QStringList kScreenSymbols = {
    "sun.max.fill", "cloud.sun.fill", "cloud.fill", "cloud.rain.fill", "cloud.bolt.rain.fill",
    "cloud.sun", "sparkles", "magnifyingglass", "square.and.pencil", "square.and.arrow.up",
    "mic.circle.fill", "mic", "mic.fill", "stop.fill", "calendar", "list.bullet.rectangle",
    "chevron.left", "chevron.right", "lock.shield", "checkmark.circle.fill", "book.closed",
    "hand.raised", "gearshape", "paintpalette",
};

QImage render(const QString &name, int side, const QColor &tint,
              SymbolRendering rendering = SymbolRendering::Monochrome,
              SymbolWeight weight = SymbolWeight::Regular)
{
    return symbolImage(name, side, tint, rendering, weight);
}

int inkedPixels(const QImage &image, int minAlpha = 16)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) >= minAlpha ? 1 : 0;
    return count;
}

// Alpha at a point given on the symbols' 24-unit grid.
int alphaAt(const QImage &image, qreal gx, qreal gy)
{
    const qreal scale = image.width() / 24.0;
    return qAlpha(image.pixel(int(gx * scale), int(gy * scale)));
}

} // namespace

TEST(SymbolLibrary, ProvidesEveryScreenSymbolAndNothingElse)
{
    QStringList expected = kScreenSymbols;
    expected.sort();
    EXPECT_EQ(symbolNames().join(' ').toStdString(), expected.join(' ').toStdString());
    for (const QString &name : kScreenSymbols)
        EXPECT_TRUE(hasSymbol(name)) << name.toStdString();
}

TEST(SymbolLibrary, EverySymbolInksTheImageInItsTintAtSmallAndLargeSizes)
{
    const QColor tint(40, 120, 200);
    for (const QString &name : kScreenSymbols) {
        for (int side : {16, 64}) {
            const QImage image = render(name, side, tint, SymbolRendering::Hierarchical);
            ASSERT_FALSE(image.isNull()) << name.toStdString();
            // A clean pictogram covers a fair share of its square but not all.
            const int inked = inkedPixels(image);
            EXPECT_GT(inked, side * side / 12) << name.toStdString() << " at " << side;
            EXPECT_LT(inked, side * side * 9 / 10) << name.toStdString() << " at " << side;
            // Every opaque pixel is the tint itself: nothing black survives.
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = QColor::fromRgba(image.pixel(x, y));
                    if (c.alpha() == 255) {
                        ASSERT_EQ(c.rgb(), tint.rgb()) << name.toStdString();
                    }
                }
            }
        }
    }
}

TEST(SymbolLibrary, HierarchicalRenderingFadesOnlyTheSecondaryLayer)
{
    const QColor tint(Qt::darkGreen);
    // The sun behind the cloud: full in one colour, faded in two layers.
    const QImage mono = render("cloud.sun.fill", 96, tint);
    const QImage layered = render("cloud.sun.fill", 96, tint, SymbolRendering::Hierarchical);
    EXPECT_EQ(alphaAt(mono, 8.2, 8.4), 255);
    EXPECT_NEAR(alphaAt(layered, 8.2, 8.4), qRound(255 * kSecondaryLayerOpacity), 2);
    EXPECT_EQ(alphaAt(layered, 14, 16), 255); // the cloud stays full

    // The circled microphone is cut out of its disc in one colour, and the
    // cut-out is filled in full over the faded disc in two layers.
    const QImage micMono = render("mic.circle.fill", 96, tint);
    const QImage micLayered = render("mic.circle.fill", 96, tint, SymbolRendering::Hierarchical);
    EXPECT_EQ(alphaAt(micMono, 12, 8.5), 0);
    EXPECT_EQ(alphaAt(micLayered, 12, 8.5), 255);
    EXPECT_EQ(alphaAt(micMono, 4, 12), 255);
    EXPECT_NEAR(alphaAt(micLayered, 4, 12), qRound(255 * kSecondaryLayerOpacity), 2);
}

TEST(SymbolLibrary, TintOpacityAndWeightCarryThrough)
{
    QColor halfInk(0, 0, 0);
    halfInk.setAlphaF(0.5f);
    const QImage faint = render("stop.fill", 48, halfInk);
    EXPECT_NEAR(alphaAt(faint, 12, 12), 128, 2);

    const int thin = inkedPixels(render("magnifyingglass", 64, Qt::black, SymbolRendering::Monochrome,
                                        SymbolWeight::UltraLight), 128);
    const int regular = inkedPixels(render("magnifyingglass", 64, Qt::black), 128);
    const int bold = inkedPixels(render("magnifyingglass", 64, Qt::black, SymbolRendering::Monochrome,
                                        SymbolWeight::Bold), 128);
    EXPECT_LT(thin, regular);
    EXPECT_LT(regular, bold);
}

TEST(SymbolLibrary, DrawsCentredInTheShorterSideOfAWideRect)
{
    QImage image(60, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    ASSERT_TRUE(drawSymbol(painter, "stop.fill", QRectF(0, 0, 60, 20), Qt::red));
    painter.end();
    EXPECT_EQ(qAlpha(image.pixel(30, 10)), 255);
    EXPECT_EQ(qAlpha(image.pixel(5, 10)), 0);
    EXPECT_EQ(qAlpha(image.pixel(55, 10)), 0);
}

TEST(SymbolLibrary, UnknownNameDrawsNothingReturnsFalseAndLogsOnce)
{
    SystemLogCapture log;
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    EXPECT_FALSE(drawSymbol(painter, "cloud.moon.fill", QRectF(0, 0, 32, 32), Qt::black));
    EXPECT_FALSE(drawSymbol(painter, "cloud.moon.fill", QRectF(0, 0, 32, 32), Qt::red));
    EXPECT_FALSE(drawSymbol(painter, "", QRectF(0, 0, 32, 32), Qt::red));
    painter.end();
    EXPECT_EQ(inkedPixels(image, 1), 0);
    EXPECT_TRUE(symbolImage("cloud.moon.fill", 16, Qt::black).isNull());
    EXPECT_TRUE(symbolIcon("cloud.moon.fill", Qt::black).isNull());

    const QStringList lines = log.lines();
    EXPECT_EQ(lines.filter("cloud.moon.fill").size(), 1);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.first().startsWith("Zephyrnote: "));
}

TEST(SymbolLibrary, DegenerateRequestsDrawNothingWithoutFailing)
{
    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    EXPECT_TRUE(drawSymbol(painter, "sparkles", QRectF(0, 0, 0, 8), Qt::black));
    EXPECT_TRUE(drawSymbol(painter, "sparkles", QRectF(4, 4, -3, -3), Qt::black));
    painter.end();
    EXPECT_EQ(inkedPixels(image, 1), 0);
    EXPECT_TRUE(symbolImage("sparkles", 0, Qt::black).isNull());
}

TEST(SymbolLibrary, IconDrawsAtEveryRequestedSize)
{
    const QIcon icon = symbolIcon("gearshape", Qt::blue);
    ASSERT_FALSE(icon.isNull());
    for (int side : {16, 22, 40}) {
        const QImage image = icon.pixmap(side, side).toImage();
        EXPECT_EQ(image.width(), side);
        EXPECT_GT(inkedPixels(image), side * side / 12);
    }
    // On a double-density screen the pixmap has twice the pixels.
    const QPixmap dense = icon.pixmap(QSize(16, 16), 2.0);
    EXPECT_EQ(dense.width(), 32);
    EXPECT_DOUBLE_EQ(dense.devicePixelRatio(), 2.0);
    // Disabled buttons get a fainter symbol.
    const QImage normal = icon.pixmap(32, 32, QIcon::Normal).toImage();
    const QImage disabled = icon.pixmap(32, 32, QIcon::Disabled).toImage();
    EXPECT_LT(inkedPixels(disabled, 200), inkedPixels(normal, 200));
}

TEST(SymbolLibrary, ConcurrentDrawingFromWorkerThreadsIsSafe)
{
    std::vector<std::thread> workers;
    std::vector<int> inked(4, 0);
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([t, &inked] {
            for (int i = 0; i < 40; ++i) {
                const QString name = kScreenSymbols.at((t * 7 + i) % kScreenSymbols.size());
                inked[t] += inkedPixels(symbolImage(name, 24, QColor(t * 60, 0, 0),
                                                    i % 2 ? SymbolRendering::Hierarchical
                                                          : SymbolRendering::Monochrome)) > 0;
            }
        });
    for (auto &worker : workers)
        worker.join();
    for (int count : inked)
        EXPECT_EQ(count, 40);
}

// One symbol per cell on a PDF page: the page must hold paths, not pictures,
// and every cell must show ink once the page is rasterised.
TEST(SymbolLibrary, PdfPageKeepsEverySymbolAsVectorPaths)
{
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty() || QStandardPaths::findExecutable("pdfimages").isEmpty())
        GTEST_SKIP() << "poppler-utils not installed";
    test::TempDir dir;
    const QString pdfPath = dir.file("symbols.pdf");
    const int columns = 6;
    const qreal cell = 60;
    {
        QPdfWriter writer(pdfPath);
        writer.setResolution(72);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        for (int i = 0; i < kScreenSymbols.size(); ++i) {
            const QRectF rect(20 + (i % columns) * cell, 20 + (i / columns) * cell, 40, 40);
            ASSERT_TRUE(drawSymbol(painter, kScreenSymbols.at(i), rect, QColor(180, 90, 30),
                                   SymbolRendering::Hierarchical));
        }
    }

    QProcess images;
    images.start("pdfimages", {"-list", pdfPath});
    ASSERT_TRUE(images.waitForFinished(10000));
    const QStringList listed = QString::fromUtf8(images.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(listed.size(), 2) << "only the header lines: no raster images on the page";

    QProcess raster;
    raster.start("pdftoppm", {"-r", "72", "-png", "-singlefile", pdfPath, dir.file("page")});
    ASSERT_TRUE(raster.waitForFinished(20000));
    const QImage page(dir.file("page.png"));
    ASSERT_FALSE(page.isNull());
    for (int i = 0; i < kScreenSymbols.size(); ++i) {
        const QRect rect(20 + (i % columns) * int(cell), 20 + (i / columns) * int(cell), 40, 40);
        int coloured = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                coloured += qRed(page.pixel(x, y)) - qBlue(page.pixel(x, y)) > 40 ? 1 : 0;
        EXPECT_GT(coloured, 40) << kScreenSymbols.at(i).toStdString();
    }
}

TEST(SymbolLibrary, ScreenshotSheetOfAllSymbols)
{
    const int cell = 76;
    const int columns = 6;
    const int rows = int((kScreenSymbols.size() + columns - 1) / columns);
    QImage sheet(columns * cell * 2, rows * cell, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRect(0, 0, columns * cell, rows * cell), QColor(250, 237, 219));
    painter.fillRect(QRect(columns * cell, 0, columns * cell, rows * cell), QColor(36, 26, 20));
    QFont font = painter.font();
    font.setPixelSize(8);
    painter.setFont(font);
    for (int half = 0; half < 2; ++half) {
        const QColor tint = half ? QColor(235, 158, 97) : QColor(184, 107, 56);
        for (int i = 0; i < kScreenSymbols.size(); ++i) {
            const int x = half * columns * cell + (i % columns) * cell;
            const int y = (i / columns) * cell;
            drawSymbol(painter, kScreenSymbols.at(i), QRectF(x + 6, y + 6, 36, 36), tint,
                       SymbolRendering::Hierarchical);
            drawSymbol(painter, kScreenSymbols.at(i), QRectF(x + 46, y + 8, 24, 24), tint);
            drawSymbol(painter, kScreenSymbols.at(i), QRectF(x + 50, y + 36, 16, 16), tint,
                       SymbolRendering::Monochrome, SymbolWeight::Semibold);
            painter.setPen(half ? QColor(255, 255, 255, 160) : QColor(0, 0, 0, 140));
            painter.drawText(QRect(x, y + 56, cell, 16), Qt::AlignCenter, kScreenSymbols.at(i));
        }
    }
    painter.end();
    EXPECT_TRUE(sheet.save(test::screenshotPath("symbols-sheet.png")));

    // The same set large, to judge the drawing itself.
    QImage large(8 * 112, 3 * 112, QImage::Format_ARGB32_Premultiplied);
    large.fill(Qt::white);
    QPainter big(&large);
    big.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < kScreenSymbols.size(); ++i)
        drawSymbol(big, kScreenSymbols.at(i), QRectF((i % 8) * 112 + 8, (i / 8) * 112 + 8, 96, 96),
                   QColor(60, 60, 70), SymbolRendering::Hierarchical);
    big.end();
    EXPECT_TRUE(large.save(test::screenshotPath("symbols-large.png")));
}

} // namespace zn
