#pragma once

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
};

} // namespace zn
