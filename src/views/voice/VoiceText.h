#pragma once

#include "app/theme/ZephyrTheme.h"

#include <QFont>
#include <QWidget>

namespace zn {

// The ink a text of the voice screen is drawn in, resolved from the theme at
// paint time so a palette or scheme change needs no update of its own.
enum class VoiceInk { Primary, Secondary, SecondaryDimmed, Accent };
QColor voiceInkColor(VoiceInk ink, const ZephyrTheme &theme);

// A plain text (wrapped where it must) in one font and ink. Tabular digits
// can be asked for, so a running clock does not jiggle.
class VoiceText : public QWidget
{
    Q_OBJECT
public:
    VoiceText(const QFont &font, VoiceInk ink, Qt::Alignment alignment, QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    void setTabularDigits(bool on);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int flags() const;
    qreal digitCell() const;
    qreal tabularWidth() const;

    QFont m_font;
    VoiceInk m_ink;
    Qt::Alignment m_alignment;
    QString m_text;
    bool m_tabular = false;
};

} // namespace zn
