#pragma once

#include <QString>

namespace zn {

// Why the weather report produced no file; each case carries the sentence
// shown to the user.
struct EmotionalWeatherPDFError
{
    enum class Kind { writeFailed, empty, renderFailed, cancelled };

    Kind kind = Kind::renderFailed;
    QString underlying; // writeFailed: the system's description of the failure

    static EmotionalWeatherPDFError writeFailed(const QString &description) { return {Kind::writeFailed, description}; }
    static EmotionalWeatherPDFError empty() { return {Kind::empty, {}}; }
    static EmotionalWeatherPDFError renderFailed() { return {Kind::renderFailed, {}}; }
    static EmotionalWeatherPDFError cancelled() { return {Kind::cancelled, {}}; }

    QString message() const;

    friend bool operator==(const EmotionalWeatherPDFError &, const EmotionalWeatherPDFError &) = default;
};

} // namespace zn
