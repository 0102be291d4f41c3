// The real program, read as a screen reader reads it: Settings › Intelligence
// says which address it needs a model server at while none answers there,
// and says "Available" once the loopback model server answers.

#include "AccessibilityBus.h"
#include "X11Session.h"

#include "support/FakeModelServer.h"

#include <QTcpServer>

#include <gtest/gtest.h>

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
        QMetaObject::invokeMethod(&m_context, [this] {
            m_server = std::make_unique<FakeModelServer>();
            m_server->route("/health", FakeModelServer::healthy());
            m_server->route("/props", FakeModelServer::props(4096));
        }, Qt::BlockingQueuedConnection);
    }
    ~ServerThread()
    {
        QMetaObject::invokeMethod(&m_context, [this] { m_server.reset(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    QString address() const { return m_server->url().toString(); }

private:
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<FakeModelServer> m_server;
};

class IntelligenceStatusEndToEnd : public BusEndToEndTest
{
protected:
    void SetUp() override
    {
        BusEndToEndTest::SetUp();
        home.markOnboardingDone();
    }

    // Starts the program with the model server address, opens Settings with
    // its shortcut and turns to the Intelligence tab; the journal's window.
    QString openIntelligenceTab(const QString &modelAddress)
    {
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("ZEPHYRNOTE_MODEL_URL"), modelAddress);
        launchOnBus(extra);
        const QString window = journalWindow();
        if (window.isEmpty())
            return {};
        keys(window, {QStringLiteral("ctrl+comma")});
        const auto tab = bus.waitFor([](const AccessibilityBus::Node &n) {
            return n.role == QLatin1String("page tab") && n.name == QLatin1String("Intelligence");
        }, 15s);
        EXPECT_TRUE(tab && bus.press(*tab)) << "no Intelligence tab to press among: " << bus.shownNames();
        return window;
    }

    bool quit(const QString &window)
    {
        keys(window, {QStringLiteral("ctrl+q")});
        return waitForExit(15s);
    }
};

TEST_F(IntelligenceStatusEndToEnd, NamesTheAddressWithoutAServerAndSaysAvailableWhenOneAnswers)
{
    // Nothing listens at the address: the status and its reason say so.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const QString address = QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
    probe.close();
    QString window = openIntelligenceTab(address);
    ASSERT_FALSE(window.isEmpty());
    for (const QString &text : {QStringLiteral("No language model server is answering at %1. Reflections start when a "
                                               "compatible server runs there. Journaling and mood analysis still work.")
                                    .arg(address),
                                address, QStringLiteral("Not answering"), QStringLiteral("Unavailable")})
        EXPECT_TRUE(bus.shows(text)) << text.toStdString() << " is not among: " << bus.shownNames();
    ASSERT_TRUE(quit(window)) << "the program did not quit on Ctrl+Q";

    // The loopback model server answers: the same tab says so.
    ServerThread server;
    window = openIntelligenceTab(server.address());
    ASSERT_FALSE(window.isEmpty());
    for (const QString &text : {QStringLiteral("Available"), QStringLiteral("Ready"),
                                QStringLiteral("The local language model is ready. Reflections stay on this computer.")})
        EXPECT_TRUE(bus.shows(text)) << text.toStdString() << " is not among: " << bus.shownNames();
    ASSERT_TRUE(quit(window));
}

} // namespace
} // namespace zn::test
