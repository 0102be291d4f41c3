#include "exchange/report/WeatherReportExport.h"

#include "exchange/report/WeatherReportPDF.h"
#include "platform/panels/FilePanels.h"

#include <QSaveFile>

namespace zn {

std::optional<EmotionalWeatherPDFError> writeWeatherReport(const QByteArray &bytes, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return EmotionalWeatherPDFError::writeFailed(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return EmotionalWeatherPDFError::writeFailed(reason);
    }
    if (!file.commit())
        return EmotionalWeatherPDFError::writeFailed(file.errorString());
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
