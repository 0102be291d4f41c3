#pragma once

#include <QEvent>
#include <QPaintEvent>
#include <QRegion>
#include <QWidget>

namespace zn::test {

// Records the regions painted on a widget from its construction on.
class PaintRecorder : public QObject
{
public:
    explicit PaintRecorder(QWidget *widget) { widget->installEventFilter(this); }
    QRegion painted;
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent *>(event)->region();
            ++count;
        }
        return false;
    }
};

} // namespace zn::test
