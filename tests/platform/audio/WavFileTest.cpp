#include "platform/audio/WavFile.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QtEndian>

namespace zn {
namespace {

QByteArray le16(quint16 v)
{
    QByteArray b(2, 0);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, 0);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray chunk(const char *id, const QByteArray &body, quint32 declared = 0xFFFFFFFE)
{
    QByteArray out(id, 4);
    out += le32(declared == 0xFFFFFFFE ? quint32(body.size()) : declared);
    out += body;
    if (body.size() % 2)
        out += '\0';
    return out;
}

QByteArray fmtBody(quint16 tag, quint16 channels, quint32 rate, quint16 bits)
{
    const quint16 align = quint16(channels * bits / 8);
    return le16(tag) + le16(channels) + le32(rate) + le32(rate * align) + le16(align) + le16(bits);
}

QByteArray riff(const QByteArray &chunks)
{
    return QByteArray("RIFF", 4) + le32(quint32(4 + chunks.size())) + QByteArray("WAVE", 4) + chunks;
}

QByteArray pcm16(std::initializer_list<qint16> samples)
{
    QByteArray out;
    for (qint16 s : samples)
        out += le16(quint16(s));
    return out;
}

TEST(WavFileTest, ReadsPlainAndDecoratedFiles)
{
    const QByteArray data = pcm16({1, -1, 1000, -1000});
    const WavFile plain = WavFile::parse(riff(chunk("fmt ", fmtBody(1, 1, 16000, 16)) + chunk("data", data)));
    ASSERT_TRUE(plain.isValid()) << plain.error.toStdString();
    EXPECT_EQ(plain.format, (AudioFormat{SampleFormat::Int16, 16000.0, 1}));
    EXPECT_EQ(plain.samples, data);
    EXPECT_EQ(plain.frameCount(), 4u);

    // Extra chunks before and between, one of odd size (padded), and a
    // longer fmt chunk with an extension.
    const QByteArray decorated =
        riff(chunk("LIST", QByteArray("INFOISFT\x05\0\0\0sox!\0", 17)) +
             chunk("fmt ", fmtBody(1, 2, 48000, 16) + le16(0)) + chunk("fact", le32(2)) +
             chunk("data", pcm16({1, 2, 3, 4})));
    const WavFile withChunks = WavFile::parse(decorated);
    ASSERT_TRUE(withChunks.isValid()) << withChunks.error.toStdString();
    EXPECT_EQ(withChunks.format, (AudioFormat{SampleFormat::Int16, 48000.0, 2}));
    EXPECT_EQ(withChunks.frameCount(), 2u);

    QByteArray extensible = fmtBody(0xFFFE, 1, 16000, 32) + le16(22) + le16(32) + le32(4) + le16(3);
    extensible += QByteArray(14, '\x01'); // rest of the sub-format GUID
    const WavFile floats = WavFile::parse(riff(chunk("fmt ", extensible) + chunk("data", QByteArray(8, 0))));
    ASSERT_TRUE(floats.isValid()) << floats.error.toStdString();
    EXPECT_EQ(floats.format.sampleFormat, SampleFormat::Float32);
    EXPECT_EQ(floats.frameCount(), 2u);
}

TEST(WavFileTest, CutOffAndStreamedDataKeepWholeFrames)
{
    // Declared 1000 bytes, 7 present: the 3 whole stereo frames... of 4 bytes: 1.
    const QByteArray head = chunk("fmt ", fmtBody(1, 2, 8000, 16));
    QByteArray cut = riff(head + QByteArray("data", 4) + le32(1000) + QByteArray(7, 'x'));
    const WavFile truncated = WavFile::parse(cut);
    ASSERT_TRUE(truncated.isValid());
    EXPECT_EQ(truncated.samples.size(), 4);

    const WavFile streamed = WavFile::parse(riff(head + QByteArray("data", 4) + le32(0) + QByteArray(16, 'y')));
    ASSERT_TRUE(streamed.isValid());
    EXPECT_EQ(streamed.frameCount(), 4u);
}

TEST(WavFileTest, BrokenFilesGiveClearErrors)
{
    const QString notWav = QStringLiteral("The file is not a WAV file.");
    const QString incomplete = QStringLiteral("The WAV file’s header is incomplete.");
    const QString noData = QStringLiteral("The WAV file has no audio data.");
    EXPECT_EQ(WavFile::parse({}).error, notWav);
    EXPECT_EQ(WavFile::parse("RIFF\0\0\0\0WAV").error, notWav);
    EXPECT_EQ(WavFile::parse(QByteArray("RIFX") + le32(4) + "WAVE").error, notWav);
    EXPECT_EQ(WavFile::parse(riff({})).error, incomplete);
    // fmt chunk cut off in the middle.
    EXPECT_EQ(WavFile::parse(riff(QByteArray("fmt ", 4) + le32(16) + QByteArray(6, 0))).error, incomplete);
    // data before fmt.
    EXPECT_EQ(WavFile::parse(riff(chunk("data", pcm16({1})) + chunk("fmt ", fmtBody(1, 1, 16000, 16)))).error,
              incomplete);
    EXPECT_EQ(WavFile::parse(riff(chunk("fmt ", fmtBody(1, 1, 16000, 16)))).error, noData);
    EXPECT_EQ(WavFile::parse(riff(chunk("fmt ", fmtBody(1, 2, 16000, 16)) + chunk("data", QByteArray(3, 0)))).error,
              noData)
        << "less than one frame";
    EXPECT_EQ(WavFile::parse(riff(chunk("fmt ", fmtBody(1, 1, 16000, 24)) + chunk("data", QByteArray(6, 0)))).error,
              QStringLiteral("The WAV file uses an unsupported sample format (24-bit, format 1)."));
    EXPECT_TRUE(WavFile::parse(riff(chunk("fmt ", fmtBody(1, 0, 16000, 16)) + chunk("data", pcm16({1})))).error
                    .startsWith(QStringLiteral("The WAV file’s format is invalid")));
    EXPECT_TRUE(WavFile::parse(riff(chunk("fmt ", fmtBody(1, 1, 0, 16)) + chunk("data", pcm16({1})))).error
                    .startsWith(QStringLiteral("The WAV file’s format is invalid")));
    // A chunk whose size wraps around must not loop or read out of bounds.
    EXPECT_EQ(WavFile::parse(riff(QByteArray("junk", 4) + le32(0xFFFFFFF0u) + QByteArray(8, 0))).error, incomplete);
}

TEST(WavFileTest, AbsurdSampleRatesAreRefusedBeforeAnythingIsConverted)
{
    // A damaged header's rate would make one buffer resample into millions
    // of frames and the file play for hours.
    const QByteArray audio = pcm16({1, 2, 3, 4});
    for (quint32 rate : {1u, 7999u, 768001u, 4000000000u}) {
        const WavFile file = WavFile::parse(riff(chunk("fmt ", fmtBody(1, 1, rate, 16)) + chunk("data", audio)));
        EXPECT_EQ(file.error, QStringLiteral("The audio’s sample rate of %1 Hz is not supported (8000 to 768000 Hz).")
                                  .arg(double(rate)))
            << rate;
    }
    for (quint32 rate : {8000u, 11025u, 768000u})
        EXPECT_TRUE(WavFile::parse(riff(chunk("fmt ", fmtBody(1, 1, rate, 16)) + chunk("data", audio))).isValid());

    test::TempDir dir;
    QFile raw(dir.file("speech.raw"));
    ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
    raw.write(audio);
    raw.close();
    EXPECT_TRUE(WavFile::readRaw(raw.fileName(), {SampleFormat::Int16, 1.0, 1}).error.contains(QStringLiteral("1 Hz")));
}

TEST(WavFileTest, ReadsFilesFromDisk)
{
    test::TempDir dir;
    EXPECT_TRUE(WavFile::read(dir.file("missing.wav")).error.startsWith(QStringLiteral("Could not open")));

    QFile raw(dir.file("speech.raw"));
    ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
    raw.write(pcm16({1, 2, 3}) + QByteArray(1, 0)); // a stray odd byte
    raw.close();
    const WavFile file = WavFile::readRaw(raw.fileName(), {SampleFormat::Int16, 16000.0, 1});
    ASSERT_TRUE(file.isValid());
    EXPECT_EQ(file.frameCount(), 3u);
    EXPECT_FALSE(WavFile::readRaw(raw.fileName(), {SampleFormat::Int16, 0.0, 1}).isValid());
}

} // namespace
} // namespace zn
