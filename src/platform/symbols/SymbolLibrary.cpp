#include "platform/symbols/SymbolLibrary.h"

#include "platform/base/SystemLog.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QMutex>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>
#include <QSet>
#include <QSvgRenderer>

#include <memory>

// The resources live in a static library, so they must be registered by hand.
static void initSymbolResources()
{
    Q_INIT_RESOURCE(symbols);
}

namespace zn {
namespace {

const QString kResourceDir = QStringLiteral(":/symbols/");

// Stroke width of the outlined parts for each weight; the artwork is drawn
// at the regular width of 2 on its 24-unit grid.
QByteArray strokeWidth(SymbolWeight weight)
{
    switch (weight) {
    case SymbolWeight::UltraLight: return "1";
    case SymbolWeight::Thin: return "1.3";
    case SymbolWeight::Light: return "1.6";
    case SymbolWeight::Regular: return "2";
    case SymbolWeight::Medium: return "2.2";
    case SymbolWeight::Semibold: return "2.45";
    case SymbolWeight::Bold: return "2.75";
    }
    return "2";
}

struct RendererKey {
    QString name;
    QRgb rgb;
    SymbolRendering rendering;
    SymbolWeight weight;
    friend bool operator==(const RendererKey &, const RendererKey &) = default;
};

size_t qHash(const RendererKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.name, key.rgb, int(key.rendering), int(key.weight));
}

// Rewrites the one-colour source for a tint, rendering and weight. The tint
// goes into the SVG itself rather than being composited afterwards, so the
// drawing stays plain filled paths on every device, a PDF page included.
QByteArray tintedSource(QByteArray source, const QColor &tint, SymbolRendering rendering, SymbolWeight weight)
{
    source.replace("#000000", tint.name(QColor::HexRgb).toLatin1());
    if (rendering == SymbolRendering::Hierarchical) {
        source.replace(R"(id="secondary" opacity="1")",
                       QByteArray(R"(id="secondary" opacity=")") + QByteArray::number(kSecondaryLayerOpacity)
                           + '"');
    } else {
        // Parts that only make sense over a faded layer (the microphone
        // filling its cut-out) would hide the cut-out in one colour.
        static const QRegularExpression hierarchicalOnly(
            QStringLiteral(R"(<g id="hierarchical-only">.*?</g>)"),
            QRegularExpression::DotMatchesEverythingOption);
        source = QString::fromUtf8(source).remove(hierarchicalOnly).toUtf8();
    }
    if (weight != SymbolWeight::Regular)
        source.replace(R"(stroke-width="2")", QByteArray(R"(stroke-width=")") + strokeWidth(weight) + '"');
    return source;
}

class Library
{
public:
    static Library &shared()
    {
        static Library library;
        return library;
    }

    QStringList names() const { return m_names; }
    bool has(const QString &name) const { return m_sources.contains(name); }

    // True when the name exists; otherwise logs its first miss.
    bool check(const QString &name)
    {
        if (has(name))
            return true;
        QMutexLocker lock(&m_mutex);
        reportMissingLocked(name);
        return false;
    }

    // Draws under the lock: a renderer is not safe to use from two threads.
    bool draw(QPainter &painter, const QString &name, const QRectF &square, const QColor &tint,
              SymbolRendering rendering, SymbolWeight weight)
    {
        QMutexLocker lock(&m_mutex);
        const auto source = m_sources.constFind(name);
        if (source == m_sources.cend()) {
            reportMissingLocked(name);
            return false;
        }
        const RendererKey key{name, tint.rgb(), rendering, weight};
        auto found = m_renderers.find(key);
        if (found == m_renderers.end()) {
            // Tints come from a small fixed set of theme colours; the bound
            // only guards against a caller animating a colour.
            if (m_renderers.size() > 512)
                m_renderers.clear();
            auto renderer = std::make_shared<QSvgRenderer>(tintedSource(*source, tint, rendering, weight));
            found = m_renderers.insert(key, renderer);
        }
        QSvgRenderer &renderer = *found.value();
        if (!renderer.isValid())
            return false;
        painter.save();
        painter.setOpacity(painter.opacity() * tint.alphaF());
        renderer.render(&painter, square);
        painter.restore();
        return true;
    }

private:
    void reportMissingLocked(const QString &name)
    {
        if (m_reported.contains(name))
            return;
        m_reported.insert(name);
        systemLog(QStringLiteral("Zephyrnote: no symbol named \"%1\"; nothing drawn").arg(name));
    }

    Library()
    {
        initSymbolResources();
        const QDir dir(kResourceDir);
        for (const QString &file : dir.entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name)) {
            QFile in(dir.filePath(file));
            if (!in.open(QIODevice::ReadOnly))
                continue;
            const QString name = file.chopped(4);
            m_sources.insert(name, in.readAll());
            m_names.append(name);
        }
        m_names.sort();
    }

    QMutex m_mutex;
    QStringList m_names;
    QHash<QString, QByteArray> m_sources;
    QHash<RendererKey, std::shared_ptr<QSvgRenderer>> m_renderers;
    QSet<QString> m_reported;
};

QRectF centredSquare(const QRectF &rect)
{
    const qreal side = qMin(rect.width(), rect.height());
    return QRectF(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
}

// Draws the symbol afresh at every size an icon is asked for.
class SymbolIconEngine : public QIconEngine
{
public:
    SymbolIconEngine(QString name, QColor tint, SymbolRendering rendering, SymbolWeight weight)
        : m_name(std::move(name)), m_tint(tint), m_rendering(rendering), m_weight(weight)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        QColor tint = m_tint;
        if (mode == QIcon::Disabled)
            tint.setAlphaF(tint.alphaF() * 0.4f);
        drawSymbol(*painter, m_name, rect, tint, m_rendering, m_weight);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }

    // Sharp on high-density screens: QIcon asks for `size` in device pixels.
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap pixmap = this->pixmap(size, mode, state);
        pixmap.setDevicePixelRatio(scale > 0 ? scale : 1.0);
        return pixmap;
    }

    QIconEngine *clone() const override { return new SymbolIconEngine(m_name, m_tint, m_rendering, m_weight); }
    QString key() const override { return QStringLiteral("zn.symbol"); }
    QString iconName() override { return m_name; }

private:
    QString m_name;
    QColor m_tint;
    SymbolRendering m_rendering;
    SymbolWeight m_weight;
};

} // namespace

QStringList symbolNames()
{
    return Library::shared().names();
}

bool hasSymbol(const QString &name)
{
    return Library::shared().has(name);
}

bool drawSymbol(QPainter &painter, const QString &name, const QRectF &rect, const QColor &tint,
                SymbolRendering rendering, SymbolWeight weight)
{
    if (!rect.isValid() || rect.isEmpty())
        return Library::shared().check(name);
    return Library::shared().draw(painter, name, centredSquare(rect), tint, rendering, weight);
}

QImage symbolImage(const QString &name, int pixelSize, const QColor &tint, SymbolRendering rendering,
                   SymbolWeight weight, qreal devicePixelRatio)
{
    if (!Library::shared().check(name) || pixelSize <= 0)
        return {};
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const int side = qMax(1, qRound(pixelSize * ratio));
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawSymbol(painter, name, QRectF(0, 0, pixelSize, pixelSize), tint, rendering, weight);
    return image;
}

QIcon symbolIcon(const QString &name, const QColor &tint, SymbolRendering rendering, SymbolWeight weight)
{
    if (!Library::shared().check(name))
        return {};
    return QIcon(new SymbolIconEngine(name, tint, rendering, weight));
}

qreal symbolBoxForFontPixelSize(qreal fontPixelSize)
{
    // A symbol beside text stands about as tall as the text's ascender and
    // descender together.
    return qMax<qreal>(0, fontPixelSize * 1.2);
}

} // namespace zn
