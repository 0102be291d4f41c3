#include "PdfProbe.h"
#include "ReportTestSupport.h"

#include "exchange/report/WeatherReportExport.h"
#include "platform/panels/FakeFilePanels.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

namespace zn {
namespace {

class ReportExport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_journal.addDaysAgo(1, 0.4, {{"walk", 2}}, {"Rest"});
        m_contents = m_journal.contents();
    }

    // Runs the export; the outcome once `done` has run, counting its calls.
    void run(const QList<EmotionalWeatherReportContent> &contents)
    {
        runWeatherReportExport(contents, ZephyrTheme{}, m_panels, [this](std::optional<EmotionalWeatherPDFError> e) {
            ++m_calls;
            m_outcome = e;
        });
    }

    QStringList folderEntries() const
    {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    test::ReportJournal m_journal;
    QList<EmotionalWeatherReportContent> m_contents;
    FakeFilePanels m_panels;
    test::TempDir m_dir;
    int m_calls = 0;
    std::optional<EmotionalWeatherPDFError> m_outcome;
};

} // namespace

TEST_F(ReportExport, NoWindowsEndsBeforeAnyPanel)
{
    run({});
    EXPECT_EQ(m_calls, 1);
    EXPECT_EQ(m_outcome, EmotionalWeatherPDFError::empty());
    EXPECT_EQ(m_panels.requestCount(), 0);
}

TEST_F(ReportExport, SavedReportReplacesTheChosenFile)
{
    const QString path = m_dir.file(QStringLiteral("mine.pdf"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older file");
    old.close();

    m_panels.scriptAnswer(path);
    run(m_contents);
    EXPECT_EQ(m_calls, 1);
    EXPECT_FALSE(m_outcome.has_value()) << m_outcome->message().toStdString();

    ASSERT_EQ(m_panels.saveRequests().size(), 1);
    const SavePanelRequest request = m_panels.saveRequests().first();
    EXPECT_EQ(request.title, "Export Weather Report");
    EXPECT_EQ(request.message, "A private PDF of your emotional weather. Nothing is uploaded.");
    EXPECT_EQ(request.prompt, "Export");
    EXPECT_EQ(request.defaultFileName, "Zephyrnote-Weather-Report.pdf");
    EXPECT_EQ(request.fileType.extensions, QStringList{"pdf"});
    EXPECT_TRUE(request.canCreateDirectories);

    const QByteArray written = read(path);
    EXPECT_TRUE(written.startsWith("%PDF-"));
    const test::PdfProbe probe(written);
    ASSERT_TRUE(probe.valid()) << probe.error().toStdString();
    EXPECT_TRUE(probe.find(QStringLiteral("Emotional Weather Report")));
    // Written through a temporary file renamed into place: nothing else is left.
    EXPECT_EQ(folderEntries(), QStringList{"mine.pdf"});
}

TEST_F(ReportExport, APanelThatAnswersLaterStillGetsTheWholeDocument)
{
    run(m_contents);
    EXPECT_EQ(m_calls, 0);
    EXPECT_EQ(m_panels.waitingCount(), 1);
    m_contents.clear(); // the caller's records may be gone by the time the user answers

    const QString path = m_dir.file(QStringLiteral("later.pdf"));
    ASSERT_TRUE(m_panels.answerNext(path));
    EXPECT_EQ(m_calls, 1);
    EXPECT_FALSE(m_outcome.has_value());
    EXPECT_TRUE(read(path).startsWith("%PDF-"));
}

TEST_F(ReportExport, CancelWritesNothing)
{
    m_panels.scriptCancel();
    run(m_contents);
    EXPECT_EQ(m_outcome, EmotionalWeatherPDFError::cancelled());
    m_panels.scriptAnswer(QString());
    run(m_contents);
    EXPECT_EQ(m_outcome, EmotionalWeatherPDFError::cancelled());
    EXPECT_EQ(m_calls, 2);
    EXPECT_TRUE(folderEntries().isEmpty());
}

TEST_F(ReportExport, AFailedWriteSaysWhyAndLeavesNoFile)
{
    for (const QString &path : {m_dir.file(QStringLiteral("missing/folder/report.pdf")),
                                m_dir.path() /* a folder, not a file */}) {
        m_panels.scriptAnswer(path);
        run(m_contents);
        ASSERT_TRUE(m_outcome.has_value()) << path.toStdString();
        EXPECT_EQ(m_outcome->kind, EmotionalWeatherPDFError::Kind::writeFailed);
        EXPECT_TRUE(m_outcome->message().startsWith(QStringLiteral("Couldn\u2019t write PDF: ")));
        EXPECT_FALSE(m_outcome->underlying.isEmpty());
    }
    EXPECT_TRUE(folderEntries().isEmpty());
}

} // namespace zn
