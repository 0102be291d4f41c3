#pragma once

#include "views/workspace/detail/ReflectionItem.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QVBoxLayout;

namespace zn {

class ReflectionHeading;

// A framed reflection: a small heading (symbol and title, in the palette's
// reflection tint) over content, on a translucent rounded card with a tinted
// hairline border and a soft shadow. Reads its theme from the window at paint
// time, so a palette or scheme change recolours it at once.
//
// Content comes one of two ways:
//  - setItems(): a list of ReflectionItem (texts, a progress row, buttons,
//    bullet lines, theme chips) that the panel lays out with the shared
//    reflection styles. Every button calls the one action handler; with no
//    handler set, Button items are not shown at all. Setting the same list
//    again changes nothing, so a host may call it on every model change.
//  - setContent(): any widget of the host's own.
//
// Typical use (a weekly reflection):
//     auto *panel = new ReflectionPanel(tr("Past 7 days reflection"), "sparkles");
//     panel->setActionHandler([this] { requestWeeklyReflection(); });
//     panel->setItems({ReflectionItem::makeProgress(tr("Reflecting on the past 7 days…"), ...)});
class ReflectionPanel : public QWidget
{
    Q_OBJECT

public:
    // `title` is shown verbatim; `symbolName` names a symbol of the symbol
    // library ("sparkles").
    ReflectionPanel(const QString &title, const QString &symbolName, QWidget *parent = nullptr);
    ~ReflectionPanel() override;

    QString title() const;
    void setTitle(const QString &title);
    QString symbolName() const;
    void setSymbolName(const QString &name);

    // Called once per click of any Button item. Setting or clearing it
    // rebuilds the content (buttons appear or go).
    void setActionHandler(std::function<void()> handler);
    bool hasActionHandler() const { return static_cast<bool>(m_action); }

    void setItems(const ReflectionItems &items);
    ReflectionItems items() const { return m_items; }

    // Replaces the content with the host's widget (ownership taken); the
    // item list is cleared.
    void setContent(QWidget *content);
    QWidget *content() const { return m_content; }

    // Texts of the shown content in order, for tests and accessibility
    // checks: each text line, bullet line, button title and chip word.
    QStringList shownTexts() const;

    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void rebuild();
    void runAction();

    ReflectionHeading *m_heading;
    QVBoxLayout *m_layout;
    QPointer<QWidget> m_content;
    ReflectionItems m_items;
    std::function<void()> m_action;
    bool m_usesItems = false;
};

} // namespace zn
