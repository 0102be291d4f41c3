#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace zn {

// One line of a reflection panel's content, as data: what a presenter decides
// and ReflectionPanel draws. Items stack top to bottom, 12 points apart, each
// moved down further by its own `topPadding`.
struct ReflectionItem
{
    enum class Kind {
        Text,     // `text` in `textStyle`
        Progress, // a small spinner beside `text`; read as `accessibleName`
        Button,   // titled `text`; calls the panel's action
        Bullets,  // the heading `text` over one "• " line per entry of `list`
        Chips,    // one emphasised keyword chip per entry of `list`
    };

    // Font and colour of a Text item.
    enum class TextStyle {
        Summary, // body, primary ink
        Detail,  // body, secondary ink
        Message, // subheadline, secondary ink
        Focus,   // subheadline medium, accent
    };

    // Colour of a Button item's title.
    enum class ButtonTone { Quiet, Accent };

    Kind kind = Kind::Text;
    QString text;
    QStringList list;
    TextStyle textStyle = TextStyle::Message;
    ButtonTone buttonTone = ButtonTone::Accent;
    qreal lineSpacing = 0;
    qreal topPadding = 0;
    QString toolTip;
    QString accessibleName;

    static ReflectionItem makeText(const QString &text, TextStyle style, qreal lineSpacing = 0,
                                   qreal topPadding = 0);
    static ReflectionItem makeProgress(const QString &text, const QString &accessibleName);
    static ReflectionItem makeButton(const QString &title, ButtonTone tone, const QString &toolTip = {});
    static ReflectionItem makeBullets(const QString &heading, const QStringList &points, qreal topPadding = 0);
    static ReflectionItem makeChips(const QStringList &words, qreal topPadding = 0);

    friend bool operator==(const ReflectionItem &, const ReflectionItem &) = default;
};

using ReflectionItems = QList<ReflectionItem>;

} // namespace zn
