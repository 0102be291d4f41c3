#include "views/settings/SettingsForm.h"

#include "app/marks/TextStyles.h"
#include "app/theme/ThemeScope.h"
#include "views/workspace/detail/DetailWidgets.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

namespace zn {

namespace {
constexpr qreal kPanelRadius = 10;
} // namespace

ToneLabel::ToneLabel(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setFont(textStyleFont(TextStyle::Body));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void ToneLabel::setStatus(const StatusText &status)
{
    setText(status.text);
    setTone(status.tone);
}

void ToneLabel::setTone(StatusTone tone)
{
    if (m_tone == tone)
        return;
    m_tone = tone;
    update();
}

QColor ToneLabel::toneColor(StatusTone tone, bool dark, const QColor &secondary)
{
    // The desktop's usual green and orange, a shade deeper on light
    // backgrounds so they stay readable there.
    switch (tone) {
    case StatusTone::Green:
        return dark ? QColor(48, 209, 88) : QColor(36, 138, 61);
    case StatusTone::Orange:
        return dark ? QColor(255, 159, 10) : QColor(201, 104, 0);
    case StatusTone::Secondary:
        break;
    }
    return secondary;
}

void ToneLabel::paintEvent(QPaintEvent *event)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    const QColor color = toneColor(m_tone, theme.isDark(), theme.secondaryInk());
    if (palette().color(QPalette::WindowText) != color) {
        QPalette p = palette();
        p.setColor(QPalette::WindowText, color);
        setPalette(p);
    }
    QLabel::paintEvent(event);
}

void FormPanel::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The border is 0.5 wide, inside the edge.
    const QRectF frame = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    QPainterPath shape;
    shape.addRoundedRect(frame, kPanelRadius, kPanelRadius);
    painter.fillPath(shape, theme.panelFill());
    painter.setPen(QPen(theme.panelBorder(), 0.5));
    painter.drawPath(shape);
}

FormSection::FormSection(const QString &header, QWidget *parent)
    : QWidget(parent)
    , m_panel(new FormPanel)
    , m_rows(new QVBoxLayout(m_panel))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    if (!header.isEmpty()) {
        auto *title = new InkLabel(header, textStyleFont(TextStyle::Subheadline, FontWeight::Semibold),
                                   InkRole::InkSecondary);
        title->setContentsMargins(10, 0, 0, 0);
        layout->addWidget(title);
    }
    m_rows->setContentsMargins(14, 12, 14, 12);
    m_rows->setSpacing(10);
    layout->addWidget(m_panel);
}

void FormSection::addRow(const QString &title, QWidget *value)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(12);
    auto *label = new InkLabel(title, textStyleFont(TextStyle::Body), InkRole::Ink);
    row->addWidget(label, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(value, 0, Qt::AlignVCenter);
    // A control is known by its row's title. A shown value keeps its own
    // text for assistive technology and is labelled by the title.
    label->setBuddy(value);
    if (!qobject_cast<QLabel *>(value))
        value->setAccessibleName(title);
    m_rows->addLayout(row);
}

InkLabel *FormSection::addCaption(const QString &text)
{
    auto *caption = new InkLabel(text, textStyleFont(TextStyle::Caption), InkRole::InkSecondary);
    caption->setWordWrap(true);
    m_rows->addWidget(caption);
    return caption;
}

void FormSection::addWidget(QWidget *widget, Qt::Alignment alignment)
{
    m_rows->addWidget(widget, 0, alignment);
}

FormPage::FormPage(QWidget *parent) : QWidget(parent)
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Not a stop of its own for Tab: the page scrolls to whichever control
    // the keyboard reaches.
    scroll->setFocusPolicy(Qt::NoFocus);
    // The window's backdrop shows through.
    scroll->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    auto *content = new QWidget;
    content->setAutoFillBackground(false);
    m_column = new QVBoxLayout(content);
    m_column->setContentsMargins(20, 20, 20, 20);
    m_column->setSpacing(20);
    m_column->addStretch(1);
    scroll->setWidget(content);
    outer->addWidget(scroll);
}

void FormPage::addSection(FormSection *section)
{
    m_column->insertWidget(m_column->count() - 1, section);
}

} // namespace zn
