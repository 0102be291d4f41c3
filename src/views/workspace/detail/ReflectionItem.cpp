#include "views/workspace/detail/ReflectionItem.h"

namespace zn {

ReflectionItem ReflectionItem::makeText(const QString &text, TextStyle style, qreal lineSpacing, qreal topPadding)
{
    ReflectionItem item;
    item.kind = Kind::Text;
    item.text = text;
    item.textStyle = style;
    item.lineSpacing = lineSpacing;
    item.topPadding = topPadding;
    return item;
}

ReflectionItem ReflectionItem::makeProgress(const QString &text, const QString &accessibleName)
{
    ReflectionItem item;
    item.kind = Kind::Progress;
    item.text = text;
    item.accessibleName = accessibleName;
    return item;
}

ReflectionItem ReflectionItem::makeButton(const QString &title, ButtonTone tone, const QString &toolTip)
{
    ReflectionItem item;
    item.kind = Kind::Button;
    item.text = title;
    item.buttonTone = tone;
    item.toolTip = toolTip;
    return item;
}

ReflectionItem ReflectionItem::makeBullets(const QString &heading, const QStringList &points, qreal topPadding)
{
    ReflectionItem item;
    item.kind = Kind::Bullets;
    item.text = heading;
    item.list = points;
    item.topPadding = topPadding;
    return item;
}

ReflectionItem ReflectionItem::makeChips(const QStringList &words, qreal topPadding)
{
    ReflectionItem item;
    item.kind = Kind::Chips;
    item.list = words;
    item.topPadding = topPadding;
    return item;
}

} // namespace zn
