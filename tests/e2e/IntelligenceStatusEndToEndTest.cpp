// The real program, read as a screen reader reads it: Settings › Intelligence
// says which address it needs a model server at while none answers there,
// and says "Available" once the loopback model server answers.

#include "AccessibilityBus.h"
#include "X11Session.h"

#include "support/FakeModelServer.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

namespace zn::test {
namespace {

using namespace std::chrono_literals;

// The model server on a thread of its own, so it answers while the test
// waits on the program.
class ServerThread
{
public:
    ServerThread()
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                m_server = std::make_unique<FakeModelServer>();
                m_server->route("/health", FakeModelServer::healthy());
                m_server->route("/props", FakeModelServer::props(4096));
                m_url = m_server->url();
            },
            Qt::BlockingQueuedConnection);
    }
    ~ServerThread()
    {
        QMetaObject::invokeMethod(&m_context, [this] { m_server.reset(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    QUrl url() const { return m_url; }

private:
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<FakeModelServer> m_server;
    QUrl m_url;
};

// A loopback address nothing listens at.
QString deadAddress()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

class IntelligenceStatusEndToEnd : public EndToEndTest
{
protected:
    void SetUp() override
    {
        EndToEndTest::SetUp();
        if (IsSkipped())
            return;
        const QString why = bus.start();
        if (!why.isEmpty())
            GTEST_SKIP() << "no message bus for the accessibility objects: " << why.toStdString();
        home.markOnboardingDone();
    }

    // Starts the program with the model server address, opens Settings with
    // its shortcut and turns to the Intelligence tab.
    void openIntelligenceTab(const QString &modelAddress)
    {
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("ZEPHYRNOTE_MODEL_URL"), modelAddress);
        bus.addTo(extra);
        launch(QStringLiteral("xcb"), extra);
        if (HasFatalFailure())
            return;
        const auto window = waitForWindow(display.name(), QStringLiteral("^Timeline"), 30s);
        ASSERT_TRUE(window) << whatHappened().toStdString();
        mainWindow = *window;
        keys(mainWindow, {QStringLiteral("ctrl+comma")});
        ASSERT_TRUE(waitForWindow(display.name(), QStringLiteral("^Settings"), 10s)) << whatHappened().toStdString();

        const auto tab = waitFor([](const AccessibilityBus::Node &n) {
            return n.role == QLatin1String("page tab") && n.name == QLatin1String("Intelligence");
        });
        ASSERT_TRUE(tab) << "no Intelligence tab among the program's accessible objects";
        ASSERT_TRUE(bus.press(*tab));
    }

    // Waits until a showing object passes `test`; the first that does.
    std::optional<AccessibilityBus::Node> waitFor(const std::function<bool(const AccessibilityBus::Node &)> &test,
                                                  std::chrono::milliseconds timeout = 15s)
    {
        QElapsedTimer timer;
        timer.start();
        do {
            for (const AccessibilityBus::Node &node : bus.objects(QStringLiteral("Zephyrnote")))
                if (node.showing && test(node))
                    return node;
            QThread::msleep(200);
        } while (timer.elapsed() < timeout.count());
        return std::nullopt;
    }

    // The names of the labels on screen, for a failure message.
    QString shownLabels()
    {
        QStringList names;
        for (const AccessibilityBus::Node &node : bus.objects(QStringLiteral("Zephyrnote")))
            if (node.showing && node.role == QLatin1String("label"))
                names << node.name;
        return names.join(QStringLiteral(" | "));
    }

    bool labelShown(const QString &text)
    {
        return waitFor([&](const AccessibilityBus::Node &n) {
                   return n.role == QLatin1String("label") && n.name == text;
               }).has_value();
    }

    void quit()
    {
        keys(mainWindow, {QStringLiteral("ctrl+q")});
        if (!waitForExit(15s)) {
            ADD_FAILURE() << "the program did not quit on Ctrl+Q";
            app.kill();
            app.waitForFinished(3000);
        }
    }

    AccessibilityBus bus;
    QString mainWindow;
};

TEST_F(IntelligenceStatusEndToEnd, NamesTheAddressWithoutAServerAndSaysAvailableWhenOneAnswers)
{
    // Nothing listens at the address: the status and its reason say so.
    const QString address = deadAddress();
    openIntelligenceTab(address);
    if (HasFatalFailure())
        return;
    const QString reason = QStringLiteral("No language model server is answering at %1. Reflections start when a "
                                          "compatible server runs there. Journaling and mood analysis still work.")
                               .arg(address);
    EXPECT_TRUE(labelShown(reason)) << shownLabels().toStdString();
    EXPECT_TRUE(labelShown(address)) << shownLabels().toStdString();
    EXPECT_TRUE(labelShown(QStringLiteral("Not answering"))) << shownLabels().toStdString();
    EXPECT_TRUE(labelShown(QStringLiteral("Unavailable"))) << shownLabels().toStdString();
    quit();

    // The loopback model server answers: the same tab says so.
    ServerThread server;
    openIntelligenceTab(server.url().toString());
    if (HasFatalFailure())
        return;
    EXPECT_TRUE(labelShown(QStringLiteral("Available"))) << shownLabels().toStdString();
    EXPECT_TRUE(labelShown(QStringLiteral("Ready"))) << shownLabels().toStdString();
    EXPECT_TRUE(labelShown(QStringLiteral("The local language model is ready. Reflections stay on this computer.")))
        << shownLabels().toStdString();
    quit();
}

} // namespace
} // namespace zn::test
