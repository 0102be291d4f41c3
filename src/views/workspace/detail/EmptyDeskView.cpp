#include "views/workspace/detail/EmptyDeskView.h"

#include "app/theme/ThemeScope.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/workspace/detail/DetailWidgets.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace zn {
namespace {

constexpr int kEmblemSize = 96;
constexpr int kMessageWidth = 380;
constexpr int kButtonLabelWidth = 110;

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

// The book in its soft accent circle.
class DeskEmblem : public QWidget
{
public:
    explicit DeskEmblem(QWidget *parent) : QWidget(parent)
    {
        setFixedSize(kEmblemSize, kEmblemSize);
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const QColor accent = ThemeScope::themeFor(this).accent();
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(accent, 0.1));
        painter.drawEllipse(QRectF(rect()));
        const qreal box = symbolBoxForFontPixelSize(36);
        const QRectF symbol((width() - box) / 2.0, (height() - box) / 2.0, box, box);
        drawSymbol(painter, QStringLiteral("book.closed"), symbol, withAlpha(accent, 0.9),
                   SymbolRendering::Hierarchical, SymbolWeight::UltraLight);
    }
};

} // namespace

EmptyDeskView::EmptyDeskView(const QString &title, const QString &message, std::function<void()> onNewEntry,
                             std::function<void()> onVoice, QWidget *parent)
    : QWidget(parent), m_title(title), m_message(message)
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(40, 40, 40, 40);
    outer->setSpacing(22);
    outer->addStretch(1);
    outer->addWidget(new DeskEmblem(this), 0, Qt::AlignHCenter);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(10);
    auto *titleLabel = new InkLabel(title, textStyleFont(TextStyle::Title2, FontWeight::Medium), InkRole::Ink, this);
    titleLabel->setAlignment(Qt::AlignHCenter);
    texts->addWidget(titleLabel, 0, Qt::AlignHCenter);
    // Rich text only for the extra 3 points between lines; the message
    // itself is escaped and shown as given.
    auto *messageLabel = m_messageLabel = new InkLabel({}, textStyleFont(TextStyle::Body), InkRole::InkSecondary, this);
    const int lineHeight = QFontMetrics(messageLabel->font()).lineSpacing() + 3;
    messageLabel->setTextFormat(Qt::RichText);
    messageLabel->setText(QStringLiteral("<div style=\"line-height:%1px\">%2</div>")
                              .arg(lineHeight)
                              .arg(message.toHtmlEscaped()));
    messageLabel->setAlignment(Qt::AlignHCenter);
    messageLabel->setWordWrap(true);
    messageLabel->setAccessibleName(message);
    // A row of its own: a vertical layout would ask the wrapped height for
    // the column's width instead of the label's.
    auto *messageRow = new QHBoxLayout;
    messageRow->addStretch(1);
    messageRow->addWidget(messageLabel);
    messageRow->addStretch(1);
    texts->addLayout(messageRow);
    outer->addLayout(texts);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addStretch(1);
    m_write = new DetailButton(tr("Write"), DetailButton::Style::Prominent, this);
    m_write->setSymbolName(QStringLiteral("square.and.pencil"));
    m_write->setMinimumLabelWidth(kButtonLabelWidth);
    connect(m_write, &QAbstractButton::clicked, this, [onNewEntry] {
        if (onNewEntry)
            onNewEntry();
    });
    buttons->addWidget(m_write);
    if (onVoice) {
        m_voice = new DetailButton(tr("Voice"), DetailButton::Style::Bordered, this);
        m_voice->setSymbolName(QStringLiteral("mic.circle.fill"));
        m_voice->setMinimumLabelWidth(kButtonLabelWidth);
        connect(m_voice, &QAbstractButton::clicked, this, [onVoice] { onVoice(); });
        buttons->addWidget(m_voice);
    }
    buttons->addStretch(1);
    outer->addSpacing(6);
    outer->addLayout(buttons);
    outer->addStretch(1);
}

void EmptyDeskView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // At most 380 points and inside the padding; a fixed width lets the
    // layout ask the wrapped height for the width the label really gets.
    const int natural = QFontMetrics(m_messageLabel->font()).horizontalAdvance(m_message) + 4;
    const int w = std::max(40, std::min({natural, kMessageWidth, width() - 80}));
    if (m_messageLabel->width() != w || m_messageLabel->minimumWidth() != w)
        m_messageLabel->setFixedWidth(w);
}

void EmptyDeskView::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.fillRect(rect(), theme.paper());
    QLinearGradient gradient(rect().topLeft(), rect().bottomRight());
    gradient.setColorAt(0.0, withAlpha(theme.background(), 0.55));
    gradient.setColorAt(0.5, theme.paper());
    gradient.setColorAt(1.0, withAlpha(theme.backgroundDeep(), 0.35));
    painter.fillRect(rect(), gradient);
}

} // namespace zn
