#include "views/workspace/timeline/EmptyStateView.h"

#include "app/marks/TextStyles.h"
#include "app/theme/ThemeScope.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/workspace/timeline/EntryListControls.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace zn {
namespace {

// The large cloud: hierarchical, in the accent at 0.9.
class CloudGlyph : public QWidget
{
public:
    explicit CloudGlyph(QWidget *parent)
        : QWidget(parent)
    {
        setFixedSize(56, 56);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QColor tint = ThemeScope::themeFor(this).accent();
        tint.setAlphaF(0.9f);
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        drawSymbol(painter, QStringLiteral("cloud.sun"), QRectF(rect()), tint, SymbolRendering::Hierarchical,
                   SymbolWeight::UltraLight);
    }
};

QColor schemeGrey(bool dark, qreal darkAlpha, qreal lightAlpha)
{
    return dark ? QColor::fromRgbF(1, 1, 1, float(darkAlpha)) : QColor::fromRgbF(0, 0, 0, float(lightAlpha));
}

} // namespace

// The title and the message, centred and wrapped: the title across the
// column, the message within 240 points.
class EmptyStateView::Texts : public QWidget
{
public:
    explicit Texts(QWidget *parent)
        : QWidget(parent)
        , m_titleFont(textStyleFont(TextStyle::Title3, FontWeight::Medium))
        , m_messageFont(textStyleFont(TextStyle::Subheadline))
    {
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    void setTexts(const QString &title, const QString &message)
    {
        m_title = title;
        m_message = message;
        setAccessibleName(title);
        setAccessibleDescription(message);
        updateGeometry();
        update();
    }
    QString title() const { return m_title; }
    QString message() const { return m_message; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        return titleRect(width).height() + kSpacing + messageRect(width).height();
    }
    QSize sizeHint() const override { return QSize(kMessageWidth, heightForWidth(kMessageWidth)); }
    QSize minimumSizeHint() const override { return QSize(0, heightForWidth(kMessageWidth)); }
    int messageHeight() const { return messageRect(width()).height(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const bool dark = ThemeScope::themeFor(this).isDark();
        QPainter painter(this);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const QRect title = titleRect(width());
        painter.setFont(m_titleFont);
        painter.setPen(schemeGrey(dark, 0.92, 0.88));
        painter.drawText(title, kFlags, m_title);
        QRect message = messageRect(width());
        message.moveTop(title.bottom() + 1 + kSpacing);
        painter.setFont(m_messageFont);
        painter.setPen(schemeGrey(dark, 0.55, 0.48));
        painter.drawText(message, kFlags, m_message);
    }

private:
    static constexpr int kSpacing = 8;
    static constexpr int kMessageWidth = 240;
    static constexpr int kFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;

    QRect titleRect(int width) const
    {
        const QRect r = QFontMetrics(m_titleFont).boundingRect(QRect(0, 0, std::max(1, width), 100000), kFlags, m_title);
        return QRect(0, 0, width, r.height());
    }
    QRect messageRect(int width) const
    {
        const int w = std::min(width, kMessageWidth);
        const QRect r = QFontMetrics(m_messageFont).boundingRect(QRect(0, 0, std::max(1, w), 100000), kFlags, m_message);
        return QRect((width - w) / 2, 0, w, r.height());
    }

    QFont m_titleFont;
    QFont m_messageFont;
    QString m_title;
    QString m_message;
};

EmptyStateView::EmptyStateView(QWidget *parent)
    : QWidget(parent)
    , m_texts(new Texts(this))
    , m_actions(new QWidget(this))
    , m_actionRow(new QHBoxLayout(m_actions))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);
    column->addSpacing(24);
    column->addStretch(1);
    column->addWidget(new CloudGlyph(this), 0, Qt::AlignHCenter);
    column->addWidget(m_texts);
    m_actionRow->setContentsMargins(0, 0, 0, 0);
    m_actionRow->setSpacing(10);
    column->addWidget(m_actions, 0, Qt::AlignHCenter);
    column->addStretch(1);
    column->addSpacing(40);
}

void EmptyStateView::setContent(const EmptyStateContent &content)
{
    m_texts->setTexts(content.title, content.message);

    QList<EmptyStateAction> shown;
    for (const auto &[action, button] : std::as_const(m_buttons))
        shown.append(action);
    if (shown == content.actions)
        return;
    for (const auto &[action, button] : std::as_const(m_buttons))
        delete button;
    m_buttons.clear();
    // "Write" and "Voice" sit a little lower, in their own row.
    const bool row = !content.actions.contains(EmptyStateAction::ClearFilters);
    m_actionRow->setContentsMargins(0, row ? 4 : 0, 0, 0);
    for (EmptyStateAction action : content.actions) {
        const auto style = action == EmptyStateAction::ClearFilters ? ListButton::Style::Plain
                           : action == EmptyStateAction::Write      ? ListButton::Style::Prominent
                                                                    : ListButton::Style::Bordered;
        auto *button = new ListButton(emptyStateActionTitle(action), style, TextStyle::Body, m_actions);
        button->setSymbolName(emptyStateActionSymbol(action));
        connect(button, &QAbstractButton::clicked, this, [this, action] { Q_EMIT actionTriggered(action); });
        m_actionRow->addWidget(button);
        m_buttons.append({action, button});
    }
    m_actions->setVisible(!m_buttons.isEmpty());
}

QString EmptyStateView::title() const
{
    return m_texts->title();
}

QString EmptyStateView::message() const
{
    return m_texts->message();
}

int EmptyStateView::messageHeight() const
{
    return m_texts->messageHeight();
}

QStringList EmptyStateView::actionTitles() const
{
    QStringList titles;
    for (const auto &[action, button] : m_buttons)
        titles.append(button->text());
    return titles;
}

ListButton *EmptyStateView::button(EmptyStateAction action) const
{
    for (const auto &[which, button] : m_buttons)
        if (which == action)
            return button;
    return nullptr;
}

} // namespace zn
