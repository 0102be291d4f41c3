#include "platform/speech/PocketsphinxSpeechPlatform.h"

#include "platform/speech/SpeechSamples.h"
#include "platform/speech/SpeechTestAudio.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

#include <mutex>

namespace zn::speech {
namespace {

PocketsphinxSpeechPlatform &platform()
{
    return *PocketsphinxSpeechPlatform::shared();
}

std::optional<std::optional<QLocale>> supported(SpeechPlatform &p, const QLocale &locale)
{
    std::optional<std::optional<QLocale>> answer;
    p.supportedTranscriberLocale(locale, [&](std::optional<QLocale> l) { answer = l; });
    EXPECT_FALSE(answer.has_value()) << "completions arrive later, never inside the call";
    test::waitUntil([&] { return answer.has_value(); }, std::chrono::seconds(20));
    return answer;
}

TEST(PocketsphinxSpeechPlatform, EnglishAndTheCLocaleMapToUsEnglishOthersAreUnsupported)
{
    for (const QLocale &english : {QLocale(QLocale::English, QLocale::UnitedKingdom), QLocale::c(),
                                   QLocale(QLocale::English, QLocale::India)}) {
        auto answer = supported(platform(), english);
        ASSERT_TRUE(answer.has_value());
        ASSERT_TRUE(answer->has_value()) << english.name().toStdString();
        EXPECT_EQ((*answer)->name(), QStringLiteral("en_US"));
        auto recognizer = platform().makeRecognizer(english);
        ASSERT_TRUE(recognizer);
        EXPECT_TRUE(recognizer->isAvailable());
        EXPECT_TRUE(recognizer->supportsOnDeviceRecognition());
    }
    for (const QLocale &other : {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::French)}) {
        auto answer = supported(platform(), other);
        ASSERT_TRUE(answer.has_value());
        EXPECT_FALSE(answer->has_value());
        EXPECT_FALSE(platform().makeRecognizer(other));
    }
}

TEST(PocketsphinxSpeechPlatform, ModelLoadsOnceAndNeverOnTheCallingThread)
{
    PocketsphinxSpeechPlatform fresh;
    auto answer = supported(fresh, QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_TRUE(answer && answer->has_value());
    EXPECT_EQ(fresh.pool()->loadCount(), 1);
    EXPECT_NE(fresh.pool()->lastLoadThread(), std::this_thread::get_id());

    auto analyzer = fresh.makeAnalyzer(PocketsphinxSpeechPlatform::transcriberLocale());
    std::optional<std::optional<SpeechError>> prepared;
    analyzer->prepareToAnalyze(decoderFormat(), [&](auto e) { prepared = e; });
    ASSERT_TRUE(test::waitUntil([&] { return prepared.has_value(); }, std::chrono::seconds(20)));
    EXPECT_FALSE(prepared->has_value());
    supported(fresh, QLocale::c());
    EXPECT_EQ(fresh.pool()->loadCount(), 1);
    EXPECT_EQ(fresh.pool()->idleCount(), 1);
}

TEST(PocketsphinxSpeechPlatform, DamagedModelMeansUnsupportedNeverACrash)
{
    test::TempDir dir;
    QFile::copy(ModelPaths::installedEnglish().dictionary, dir.file(QStringLiteral("a.dict")));
    QFile garbage(dir.file(QStringLiteral("a.lm.bin")));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    ModelPaths paths = ModelPaths::installedEnglish();
    paths.languageModel = garbage.fileName();
    paths.dictionary = dir.file(QStringLiteral("a.dict"));

    PocketsphinxSpeechPlatform broken(paths);
    auto answer = supported(broken, QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_TRUE(answer.has_value());
    EXPECT_FALSE(answer->has_value());
    auto recognizer = broken.makeRecognizer(QLocale(QLocale::English));
    ASSERT_TRUE(recognizer);
    EXPECT_FALSE(recognizer->isAvailable());

    PocketsphinxSpeechPlatform missing(ModelPaths{dir.path(), dir.file(QStringLiteral("x")), dir.file(QStringLiteral("y"))});
    EXPECT_FALSE(missing.makeRecognizer(QLocale::c())->isAvailable());
}

TEST(PocketsphinxSpeechPlatform, NoAssetsToInstallAndTheBestFormatIs16kMono16Bit)
{
    bool answered = false;
    platform().assetInstallationRequest(PocketsphinxSpeechPlatform::transcriberLocale(),
                                        [&](std::optional<SpeechError> error, std::unique_ptr<SpeechAssetRequest> r) {
                                            EXPECT_FALSE(error);
                                            EXPECT_FALSE(r);
                                            answered = true;
                                        });
    std::optional<AudioFormat> best;
    platform().bestAvailableAudioFormat(PocketsphinxSpeechPlatform::transcriberLocale(),
                                        AudioFormat{SampleFormat::Float32, 48000.0, 2},
                                        [&](std::optional<AudioFormat> f) { best = f; });
    ASSERT_TRUE(test::waitUntil([&] { return answered && best.has_value(); }, std::chrono::seconds(20)));
    EXPECT_EQ(*best, (AudioFormat{SampleFormat::Int16, 16000.0, 1}));
}

struct AnalyzerRun {
    QStringList finals;
    int partials = 0;
};

TEST(PocketsphinxAnalyzerSession, StreamsAFileAndFinalisesThroughTheEndOfInput)
{
    auto analyzer = platform().makeAnalyzer(PocketsphinxSpeechPlatform::transcriberLocale());
    AnalyzerRun run;
    QObject::connect(analyzer.get(), &StreamingAnalyzerSession::result, [&](const QString &t, bool f) {
        if (f)
            run.finals << t;
        else
            ++run.partials;
    });

    std::optional<std::optional<SpeechError>> rejected;
    analyzer->prepareToAnalyze({SampleFormat::Float32, 48000.0, 1}, [&](auto e) { rejected = e; });
    ASSERT_TRUE(test::waitUntil([&] { return rejected.has_value(); }, std::chrono::seconds(20)));
    EXPECT_TRUE(rejected->has_value());

    std::optional<std::optional<SpeechError>> prepared;
    analyzer->prepareToAnalyze(decoderFormat(), [&](auto e) { prepared = e; });
    ASSERT_TRUE(test::waitUntil([&] { return prepared.has_value(); }, std::chrono::seconds(20)));
    EXPECT_FALSE(prepared->has_value());

    auto input = std::make_shared<AnalyzerInputStream>();
    std::optional<std::optional<SpeechError>> ended;
    analyzer->start(input, [&](auto e) { ended = e; });
    for (const AudioBuffer &b : test::int16Buffers(test::readRawSamples(test::pocketsphinxRecording(QStringLiteral("goforward.raw")))))
        input->push(b);
    input->finish();
    bool finalized = false;
    analyzer->finalizeAndFinishThroughEndOfInput([&](auto e) {
        EXPECT_FALSE(e);
        finalized = true;
    });
    ASSERT_TRUE(test::waitUntil([&] { return finalized; }, std::chrono::seconds(30)));
    EXPECT_EQ(run.finals.join(QLatin1Char(' ')), QStringLiteral("go forward ten meters"));
    EXPECT_GE(run.partials, 1);
    ASSERT_TRUE(ended.has_value());
    EXPECT_FALSE(ended->has_value());
}

TEST(PocketsphinxAnalyzerSession, CancelDropsInputAndReportsNothingMore)
{
    auto analyzer = platform().makeAnalyzer(PocketsphinxSpeechPlatform::transcriberLocale());
    int results = 0;
    auto input = std::make_shared<AnalyzerInputStream>();
    analyzer->start(input, [](auto) {});
    for (const AudioBuffer &b : test::int16Buffers(test::readRawSamples(test::pocketsphinxRecording(QStringLiteral("goforward.raw")))))
        input->push(b);
    QObject::connect(analyzer.get(), &StreamingAnalyzerSession::result, [&] { ++results; });
    bool cancelled = false;
    analyzer->cancelAndFinishNow([&] { cancelled = true; });
    ASSERT_TRUE(test::waitUntil([&] { return cancelled; }, std::chrono::seconds(20)));
    QCoreApplication::processEvents();
    EXPECT_EQ(results, 0);
    // Finalising after the end is harmless and completes at once.
    bool finalized = false;
    analyzer->finalizeAndFinishThroughEndOfInput([&](auto) { finalized = true; });
    EXPECT_TRUE(test::waitUntil([&] { return finalized; }));
}

TEST(PocketsphinxBufferRecognizer, ConvertsAnyFormatAndReportsTheWholeTextSoFar)
{
    auto recognizer = platform().makeRecognizer(QLocale::c());
    ASSERT_TRUE(recognizer);
    auto request = std::make_shared<BufferRecognitionRequest>();
    std::mutex mutex;
    std::vector<RecognitionResult> results;
    auto task = recognizer->recognitionTask(request, [&](auto result, auto error) {
        std::lock_guard lock(mutex);
        EXPECT_FALSE(error);
        if (result)
            results.push_back(*result);
    });
    // 44.1 kHz would be as good; 48 kHz stereo float is what a sound card gives.
    const auto speech = test::readRawSamples(test::pocketsphinxRecording(QStringLiteral("goforward.raw")));
    for (const AudioBuffer &b : test::float48kBuffers(speech, 2))
        request->append(b);
    request->endAudio();
    ASSERT_TRUE(test::waitUntil([&] {
        std::lock_guard lock(mutex);
        return !results.empty() && results.back().isFinal;
    }, std::chrono::seconds(30)));
    std::lock_guard lock(mutex);
    EXPECT_EQ(results.back().text, QStringLiteral("go forward ten meters"));
    EXPECT_EQ(std::count_if(results.begin(), results.end(), [](auto &r) { return r.isFinal; }), 1);
    EXPECT_GE(results.size(), 2u);
}

} // namespace
} // namespace zn::speech
