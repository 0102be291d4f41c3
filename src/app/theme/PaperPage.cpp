#include "app/theme/PaperPage.h"

#include "app/theme/ThemeScope.h"

#include <QPaintEvent>
#include <QPainter>
#include <QEvent>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace zn {

namespace {

// The scrolled sheet: paints the paper under the column and its margins.
class PaperSheet : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), ThemeScope::themeFor(this).paper());
    }
};

} // namespace

PaperPage::PaperPage(qreal maxMeasure, qreal horizontalPadding, qreal verticalPadding, QWidget *parent)
    : QScrollArea(parent)
    , m_maxMeasure(maxMeasure)
    , m_horizontalPadding(horizontalPadding)
    , m_verticalPadding(verticalPadding)
    , m_sheet(new PaperSheet)
    , m_layout(new QVBoxLayout(m_sheet))
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_sheet->setAttribute(Qt::WA_OpaquePaintEvent);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
    setWidget(m_sheet);
    updateInsets();
}

void PaperPage::setContent(QWidget *content)
{
    if (m_content == content)
        return;
    if (m_content) {
        m_layout->removeWidget(m_content);
        delete m_content;
    }
    m_content = content;
    if (m_content) {
        // Expanding or wrapping views fill the column; any other keeps its
        // own width at the column's leading edge. (An alignment would size a
        // wrapping view to its hint and clip the lines it then needs.)
        const bool fills = m_content->sizePolicy().expandingDirections() & Qt::Horizontal
                           || m_content->hasHeightForWidth();
        m_layout->insertWidget(0, m_content, 0, fills ? Qt::Alignment() : Qt::AlignLeft);
    }
    updateInsets();
}

qreal PaperPage::sideInset(qreal width, qreal maxMeasure, qreal horizontalPadding)
{
    return std::max(horizontalPadding, (width - maxMeasure) / 2);
}

bool PaperPage::viewportEvent(QEvent *event)
{
    // The viewport, not the page, knows the width: a scroll bar coming or
    // going changes it without resizing the page.
    if (event->type() == QEvent::Resize)
        updateInsets();
    return QScrollArea::viewportEvent(event);
}

void PaperPage::updateInsets()
{
    const qreal width = viewport()->width();
    // Floor on the left and ceiling on the right keeps the column within
    // `maxMeasure` when the spare width is odd.
    const qreal inset = sideInset(width, m_maxMeasure, m_horizontalPadding);
    const int left = int(std::floor(inset));
    const int right = int(std::ceil(inset));
    const int vertical = int(std::round(m_verticalPadding));
    m_layout->setContentsMargins(left, vertical, right, vertical);
}

} // namespace zn
