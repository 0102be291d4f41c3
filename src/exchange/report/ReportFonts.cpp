#include "exchange/report/ReportFonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QStringList>

namespace zn {
namespace {

struct FontFamilyFiles {
    QString family;
    QStringList files;
};

const FontFamilyFiles kCandidates[] = {
    {QStringLiteral("Inter"),
     {QStringLiteral("/usr/share/fonts/opentype/inter/Inter-Regular.otf"),
      QStringLiteral("/usr/share/fonts/opentype/inter/Inter-Medium.otf"),
      QStringLiteral("/usr/share/fonts/opentype/inter/Inter-Bold.otf")}},
    {QStringLiteral("DejaVu Sans"),
     {QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"),
      QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf")}},
};

QString loadFamily()
{
    for (const FontFamilyFiles &candidate : kCandidates) {
        bool loaded = false;
        QString family = candidate.family;
        for (const QString &file : candidate.files) {
            if (!QFile::exists(file))
                continue;
            const int id = QFontDatabase::addApplicationFont(file);
            const QStringList families = QFontDatabase::applicationFontFamilies(id);
            if (id >= 0 && !families.isEmpty()) {
                loaded = true;
                family = families.first();
            }
        }
        if (loaded)
            return family;
    }
    return {};
}

} // namespace

QString reportFontFamily()
{
    static const QString family = loadFamily();
    return family;
}

QFont reportFont(qreal size, QFont::Weight weight)
{
    QFont font;
    const QString family = reportFontFamily();
    if (!family.isEmpty())
        font.setFamilies({family});
    font.setPointSizeF(size);
    font.setWeight(weight);
    // Unhinted outlines: glyph advances stay those of the design, so a text
    // measures the same at every resolution it is later rendered at.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    return font;
}

} // namespace zn
