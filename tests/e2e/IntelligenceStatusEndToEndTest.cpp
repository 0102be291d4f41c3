// The real program, read as a screen reader reads it: Settings › Intelligence
// says which address it needs a model server at while none answers there,
// and says "Available" once the loopback model server answers, if only later.

#include "AccessibilityBus.h"
#include "X11Session.h"

#include "support/FakeModelServer.h"

#include <QThread>

#include <gtest/gtest.h>

namespace zn::test {
namespace {

using namespace std::chrono_literals;

const QString kSummary = QStringLiteral("A slow walk by the river brought a steady calm, with small details like "
                                        "birdsong and cold air standing out through the morning.");

// The model server on a thread of its own, so it answers while the test
// waits on the program.
class ServerThread
{
public:
    explicit ServerThread(quint16 port = 0)
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        QMetaObject::invokeMethod(&m_context, [this, port] {
            m_server = std::make_unique<FakeModelServer>(port);
            m_server->route("/health", FakeModelServer::healthy());
            m_server->route("/props", FakeModelServer::props(4096));
            m_server->route("/v1/chat/completions", FakeModelServer::streamedChat(QStringLiteral(
                R"({"overallScore":0.6,"summary":"%1","emotionalTone":"Calm and quietly content.","keyPoints":[],)"
                R"("overallSentiment":"Mostly positive.","closingFocus":"Noticing what made the morning steady.",)"
                R"("themes":["nature"]})").arg(kSummary).toUtf8()));
        }, Qt::BlockingQueuedConnection);
    }
    ~ServerThread()
    {
        QMetaObject::invokeMethod(&m_context, [this] { m_server.reset(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    QString address() const { return m_server->url().toString(); }
    bool listening() const { return m_server->url().port() > 0; }

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

    // Starts the program with the model server address, saves an entry of
    // each text with the keyboard, opens Settings with its shortcut and
    // turns to the Intelligence tab; the journal's window.
    QString openIntelligenceTab(const QString &modelAddress, const QStringList &entries = {})
    {
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("ZEPHYRNOTE_MODEL_URL"), modelAddress);
        launchOnBus(extra);
        const QString window = journalWindow();
        if (window.isEmpty())
            return {};
        for (const QString &text : entries) {
            keys(window, {QStringLiteral("ctrl+n")});
            type(window, text);
            keys(window, {QStringLiteral("ctrl+s")});
        }
        keys(window, {QStringLiteral("ctrl+comma")});
        const auto tab = bus.waitFor([](const AccessibilityBus::Node &n) {
            return n.role == QLatin1String("page tab") && n.name == QLatin1String("Intelligence");
        }, 15s);
        EXPECT_TRUE(tab && bus.press(*tab)) << "no Intelligence tab to press among: " << bus.shownNames();
        return window;
    }

    // Whether a text without a name reads `text`, as a reader reads it.
    bool showsText(const QString &text, std::chrono::milliseconds timeout)
    {
        return bus.waitFor([&](const AccessibilityBus::Node &n) {
            return n.name.isEmpty() && bus.call(n, QStringLiteral("org.a11y.atspi.Text"), QStringLiteral("GetText"),
                                                {0, -1}).arguments().value(0).toString() == text;
        }, timeout).has_value();
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
    const test::ReservedPort reserved;
    const quint16 port = reserved.port();
    ASSERT_NE(port, 0) << "no loopback port to hold";
    const QString address = QStringLiteral("http://127.0.0.1:%1").arg(port);
    QString window = openIntelligenceTab(address, {QStringLiteral("Walked by the river before work, calm."),
                                                   QStringLiteral("Cooked dinner with friends and laughed.")});
    ASSERT_FALSE(window.isEmpty());
    const QString noServer = QStringLiteral("No language model server is answering at %1. Reflections start when a "
                                            "compatible server runs there. Journaling and mood analysis still work.")
                                 .arg(address);
    for (const QString &text : {noServer, address, QStringLiteral("Not answering"), QStringLiteral("Unavailable")})
        EXPECT_TRUE(bus.shows(text)) << text.toStdString() << " is not among: " << bus.shownNames();
    EXPECT_TRUE(showsText(noServer, 10s)) << "the entry's card does not say why it has no reflection";

    // A server starts there later: with nothing pressed, the entry shown
    // gets its reflection.
    {
        ServerThread late(port);
        ASSERT_TRUE(late.listening()) << "the late server could not listen at " << address.toStdString();
        EXPECT_TRUE(showsText(kSummary, 60s)) << "the entry's card shows no reflection";
        ASSERT_TRUE(quit(window)) << "the program did not quit on Ctrl+Q";
    }

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
