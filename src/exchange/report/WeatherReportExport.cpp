#include "exchange/report/WeatherReportExport.h"

#include "exchange/AtomicFile.h"
#include "exchange/report/WeatherReportPDF.h"
#include "platform/panels/FilePanels.h"

namespace zn {

std::optional<EmotionalWeatherPDFError> writeWeatherReport(const QByteArray &bytes, const QString &path)
{
    if (auto why = writeFileAtomically(path, bytes))
        return EmotionalWeatherPDFError::writeFailed(*why);
    return std::nullopt;
}

void runWeatherReportExport(const QList<EmotionalWeatherReportContent> &contents, const ZephyrTheme &theme,
                            FilePanels &panels, WeatherReportExportCompletion done)
{
    if (contents.isEmpty()) {
        done(EmotionalWeatherPDFError::empty());
        return;
    }
    WeatherReportRenderResult rendered = renderWeatherReportPDF(contents, theme);
    if (!rendered.ok()) {
        done(rendered.error);
        return;
    }

    SavePanelRequest request;
    request.title = QStringLiteral("Export Weather Report");
    request.message = QStringLiteral("A private PDF of your emotional weather. Nothing is uploaded.");
    request.prompt = QStringLiteral("Export");
    request.defaultFileName = kWeatherReportDefaultFileName;
    request.fileType = pdfFileType();
    request.canCreateDirectories = true;
    panels.chooseSaveLocation(request, [pdf = std::move(rendered.pdf), done = std::move(done)](
                                           std::optional<QString> path) {
        if (!path || path->isEmpty()) {
            done(EmotionalWeatherPDFError::cancelled());
            return;
        }
        done(writeWeatherReport(pdf, *path));
    });
}

} // namespace zn
