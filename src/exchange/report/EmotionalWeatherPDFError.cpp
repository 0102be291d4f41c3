#include "exchange/report/EmotionalWeatherPDFError.h"

namespace zn {

QString EmotionalWeatherPDFError::message() const
{
    switch (kind) {
    case Kind::writeFailed: return QStringLiteral("Couldn\u2019t write PDF: ") + underlying;
    case Kind::empty: return QStringLiteral("No journal entries found in the selected windows.");
    case Kind::renderFailed: return QStringLiteral("Couldn\u2019t create the PDF report.");
    case Kind::cancelled: return QStringLiteral("Export cancelled.");
    }
    return QStringLiteral("Couldn\u2019t create the PDF report.");
}

} // namespace zn
