#pragma once

#include "app/settings/AppearancePreference.h"

#include <QAbstractButton>
#include <QWidget>

#include <functional>

namespace zn {

// A symbol in the theme's accent colour at a fixed square size.
class AccentSymbol : public QWidget
{
    Q_OBJECT
public:
    AccentSymbol(const QString &name, int size, bool ultraLight, QWidget *parent = nullptr);
    QString symbolName() const { return m_name; }
    QSize sizeHint() const override { return {m_size, m_size}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_name;
    int m_size;
    bool m_ultraLight;
};

// One climate card: a preview of the palette's backdrop in the desktop's
// scheme, its title and caption. A border in the accent colour marks the
// chosen palette and is the only mark of it.
class PaletteCard : public QAbstractButton
{
    Q_OBJECT
public:
    static constexpr QSize kPreviewSize{120, 80};
    static constexpr int kCaptionWidth = 140;

    PaletteCard(ColorPalettePreference palette, std::function<bool()> isSelected,
                std::function<ColorScheme()> previewScheme, QWidget *parent = nullptr);

    ColorPalettePreference palette() const { return m_palette; }
    bool isSelectedPalette() const { return m_isSelected && m_isSelected(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    int captionHeight() const;

    ColorPalettePreference m_palette;
    std::function<bool()> m_isSelected;
    std::function<ColorScheme()> m_previewScheme;
    bool m_keyboardFocus = false;
};

} // namespace zn
