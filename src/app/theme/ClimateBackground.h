#pragma once

#include "app/theme/ZephyrTheme.h"

#include <QPixmap>
#include <QWidget>

namespace zn {

// The full-window backdrop: put it behind a window's content (it takes no
// input and is hidden from accessibility). Draws from the theme of its scope
// and switches to the plain surface as soon as transparency is reduced or
// contrast increased.
class ClimateBackground : public QWidget
{
    Q_OBJECT
public:
    explicit ClimateBackground(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The faint glows band visibly when drawn at eight bits a channel, so the
    // backdrop is drawn once at sixteen and kept until size or look changes.
    QPixmap m_cache;
    QSize m_cacheSize;
    ZephyrTheme m_cacheTheme;
    bool m_cachePlain = false;
    qreal m_cacheRatio = 0;
};

} // namespace zn
