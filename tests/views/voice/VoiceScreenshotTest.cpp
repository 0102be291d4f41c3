#include "VoiceScreenHarness.h"

#include <QPainter>
#include <QTest>

namespace zn {
namespace {

using namespace std::chrono_literals;

const QList<ZephyrTheme> kThemes = {
    {ColorPalettePreference::Warm, ColorScheme::Light},
    {ColorPalettePreference::Cool, ColorScheme::Light},
    {ColorPalettePreference::Warm, ColorScheme::Dark},
    {ColorPalettePreference::Cool, ColorScheme::Dark},
};

const QSize kScreen(960, 720);

enum class Scene { Idle, Recording, Review, Failed };

QImage capture(const ZephyrTheme &theme, Scene scene)
{
    test::VoiceScreenHarness h(theme);
    h.window->resize(kScreen);
    h.view->setGeometry(QRect(QPoint(), kScreen));
    h.show();
    switch (scene) {
    case Scene::Idle:
        break;
    case Scene::Recording:
        EXPECT_TRUE(h.startRecording());
        h.hear(QStringLiteral("What a wonderful, happy morning with my lovely family at the sunny beach"));
        h.clock.advance(1s);
        test::waitUntil([&] { return h.session->liveSentiment() > 0.2; });
        // A minute and a quarter of someone speaking.
        for (int i = 0; i < 150; ++i) {
            h.clock.advance(500ms);
            h.engine().pushBuffer(test::loudBuffer());
            test::drain();
        }
        break;
    case Scene::Review:
        EXPECT_TRUE(h.dictate(QStringLiteral(
            "Walked along the river after work. The light was soft and the water loud after the rain, "
            "and for once I didn’t check my phone.")));
        h.clock.advance(1s);
        test::waitUntil([&] { return h.session->liveSentiment() != 0.0; });
        break;
    case Scene::Failed:
        h.engine().setStartError(QStringLiteral("Device busy"));
        h.view->trigger(VoiceControlAction::Start);
        EXPECT_TRUE(h.waitForPhase(VoicePhase::failed));
        break;
    }
    // Let the orb's spring settle where it is heading.
    QTest::qWait(400);
    return h.window->grab(QRect(QPoint(), kScreen)).toImage();
}

void sheet(Scene scene, const QString &name)
{
    QImage out(kScreen.width() * 2, kScreen.height() * 2, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::white);
    QPainter painter(&out);
    for (int i = 0; i < kThemes.size(); ++i) {
        const QImage shot = capture(kThemes[i], scene);
        painter.drawImage(QPoint((i % 2) * kScreen.width(), (i / 2) * kScreen.height()), shot);
    }
    painter.end();
    EXPECT_TRUE(out.save(test::screenshotPath(name)));
}

TEST(VoiceScreenshot, IdleInBothPalettesAndSchemes)
{
    sheet(Scene::Idle, QStringLiteral("voice-idle.png"));
}

TEST(VoiceScreenshot, RecordingInBothPalettesAndSchemes)
{
    sheet(Scene::Recording, QStringLiteral("voice-recording.png"));
}

TEST(VoiceScreenshot, ReviewInBothPalettesAndSchemes)
{
    sheet(Scene::Review, QStringLiteral("voice-review.png"));
}

TEST(VoiceScreenshot, FailedInBothPalettesAndSchemes)
{
    sheet(Scene::Failed, QStringLiteral("voice-failed.png"));
}

} // namespace
} // namespace zn
