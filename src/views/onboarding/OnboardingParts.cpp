#include "views/onboarding/OnboardingParts.h"

#include "app/marks/TextStyles.h"
#include "app/theme/ThemeScope.h"
#include "app/theme/ZephyrTheme.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/FocusRing.h"
#include "views/onboarding/OnboardingModel.h"

#include <QFocusEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace zn {

namespace {
constexpr int kCardSpacing = 8;
constexpr qreal kPreviewRadius = 12;
constexpr qreal kBorderWidth = 2;
} // namespace

AccentSymbol::AccentSymbol(const QString &name, int size, bool ultraLight, QWidget *parent)
    : QWidget(parent), m_name(name), m_size(size), m_ultraLight(ultraLight)
{
    setFixedSize(size, size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void AccentSymbol::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    drawSymbol(painter, m_name, QRectF(rect()), ThemeScope::themeFor(this).accent(), SymbolRendering::Monochrome,
               m_ultraLight ? SymbolWeight::UltraLight : SymbolWeight::Regular);
}

PaletteCard::PaletteCard(ColorPalettePreference palette, std::function<bool()> isSelected,
                         std::function<ColorScheme()> previewScheme, QWidget *parent)
    : QAbstractButton(parent)
    , m_palette(palette)
    , m_isSelected(std::move(isSelected))
    , m_previewScheme(std::move(previewScheme))
{
    setText(OnboardingModel::paletteTitle(palette));
    setAccessibleName(OnboardingModel::paletteTitle(palette));
    setAccessibleDescription(OnboardingModel::paletteCaption(palette));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

int PaletteCard::captionHeight() const
{
    const QFontMetrics fm(textStyleFont(TextStyle::Caption));
    return fm.boundingRect(QRect(0, 0, kCaptionWidth, 200), Qt::AlignHCenter | Qt::TextWordWrap,
                           OnboardingModel::paletteCaption(m_palette))
        .height();
}

QSize PaletteCard::sizeHint() const
{
    const QFontMetrics title(textStyleFont(TextStyle::Headline));
    return {kCaptionWidth, kPreviewSize.height() + kCardSpacing + title.height() + kCardSpacing + captionHeight()};
}

void PaletteCard::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QRectF preview((width() - kPreviewSize.width()) / 2.0, 0, kPreviewSize.width(), kPreviewSize.height());
    // Both previews use the desktop's scheme, whichever palette and
    // appearance are chosen: the cards compare palettes, not schemes.
    const ZephyrTheme shown{m_palette, m_previewScheme ? m_previewScheme() : ColorScheme::Light};
    QLinearGradient gradient(preview.topLeft(), preview.bottomLeft());
    gradient.setColorAt(0, shown.background());
    gradient.setColorAt(1, shown.backgroundDeep());
    QPainterPath shape;
    shape.addRoundedRect(preview, kPreviewRadius, kPreviewRadius);
    painter.fillPath(shape, gradient);
    if (isSelectedPalette()) {
        // Stroked inside the edge, as the border of a card is.
        const qreal inset = kBorderWidth / 2;
        painter.setPen(QPen(theme.accent(), kBorderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(preview.adjusted(inset, inset, -inset, -inset), kPreviewRadius - inset,
                                kPreviewRadius - inset);
    }
    const QFont titleFont = textStyleFont(TextStyle::Headline);
    const QFontMetrics titleMetrics(titleFont);
    qreal y = preview.bottom() + kCardSpacing;
    if (hasFocus() && m_keyboardFocus) {
        // Around the title, so it never reads as the chosen card's border.
        const qreal ringWidth = std::min<qreal>(width(), titleMetrics.horizontalAdvance(text()) + 20);
        const QRectF ring((width() - ringWidth) / 2, y - 3, ringWidth, titleMetrics.height() + 6);
        paintFocusRing(painter, ring, 7, theme);
    }
    painter.setFont(titleFont);
    painter.setPen(theme.primaryInk());
    painter.drawText(QRectF(0, y, width(), titleMetrics.height()), Qt::AlignHCenter | Qt::AlignTop, text());
    y += titleMetrics.height() + kCardSpacing;
    painter.setFont(textStyleFont(TextStyle::Caption));
    painter.setPen(theme.secondaryInk());
    painter.drawText(QRectF((width() - kCaptionWidth) / 2.0, y, kCaptionWidth, height() - y),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, OnboardingModel::paletteCaption(m_palette));
}

void PaletteCard::focusInEvent(QFocusEvent *event)
{
    m_keyboardFocus = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    QAbstractButton::focusInEvent(event);
}

} // namespace zn
