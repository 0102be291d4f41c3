// A damaged model install must end in our own error before the recogniser
// library reads a byte of it: the library trusts the sizes inside its files.
#include "platform/speech/ModelFileCheck.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <gtest/gtest.h>

namespace zn::speech {
namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A copy of the installed model in `dir` whose files can be spoiled one by one.
ModelPaths copyOfInstalledModel(const test::TempDir &dir)
{
    const ModelPaths installed = ModelPaths::installedEnglish();
    ModelPaths copy;
    copy.acousticModel = dir.file(QStringLiteral("acoustic"));
    QDir().mkpath(copy.acousticModel);
    const QDir source(installed.acousticModel);
    for (const QString &name : source.entryList(QDir::Files))
        QFile::copy(source.filePath(name), copy.acousticModel + QLatin1Char('/') + name);
    // The language model is large and only read here: link it.
    copy.languageModel = dir.file(QStringLiteral("model.lm.bin"));
    QFile::link(installed.languageModel, copy.languageModel);
    copy.dictionary = installed.dictionary;
    return copy;
}

TEST(ModelFileCheck, TheInstalledModelPasses)
{
    EXPECT_EQ(checkModelFiles(ModelPaths::installedEnglish()), std::nullopt);
}

TEST(ModelFileCheck, ALanguageModelCutAnywhereIsIncomplete)
{
    const QByteArray whole = readAll(ModelPaths::installedEnglish().languageModel);
    ASSERT_GT(whole.size(), 1000000) << "install pocketsphinx-en-us";
    const QByteArrayView view(whole);
    EXPECT_EQ(checkLanguageModel(view), std::nullopt);
    for (qsizetype length : {qsizetype(10), qsizetype(30), qsizetype(100000), whole.size() / 2,
                             whole.size() - 4000, whole.size() - 1}) {
        EXPECT_TRUE(checkLanguageModel(view.first(length))) << "cut at " << length;
    }
    EXPECT_TRUE(checkLanguageModel(QByteArrayView("ARPA text, not binary")));

    // A vocabulary whose byte count disagrees with the words that follow it.
    QByteArray padded = whole;
    padded.append(QByteArray("extra", 6));
    EXPECT_TRUE(checkLanguageModel(QByteArrayView(padded)));
}

TEST(ModelFileCheck, ParameterFilesMustHoldWhatTheirHeadersPromise)
{
    const QString folder = ModelPaths::installedEnglish().acousticModel + QLatin1Char('/');
    const QByteArray means = readAll(folder + QStringLiteral("means"));
    const QByteArray matrices = readAll(folder + QStringLiteral("transition_matrices"));
    ASSERT_FALSE(means.isEmpty());
    ASSERT_FALSE(matrices.isEmpty());
    EXPECT_EQ(checkParameterFile(QByteArrayView(means), ParameterFile::Gaussians), std::nullopt);
    EXPECT_EQ(checkParameterFile(QByteArrayView(matrices), ParameterFile::TransitionMatrices), std::nullopt);

    EXPECT_TRUE(checkParameterFile(QByteArrayView(means).chopped(4), ParameterFile::Gaussians));
    EXPECT_TRUE(checkParameterFile(QByteArrayView(means).first(60), ParameterFile::Gaussians));
    EXPECT_TRUE(checkParameterFile(QByteArrayView(means).first(20), ParameterFile::Gaussians)) << "no end of header";
    EXPECT_TRUE(checkParameterFile(QByteArrayView(matrices).chopped(100), ParameterFile::TransitionMatrices));
    EXPECT_TRUE(checkParameterFile(QByteArrayView(means + "more"), ParameterFile::Gaussians));

    // A header that promises a huge file must not be believed either.
    QByteArray inflated = means;
    const qsizetype data = inflated.indexOf("endhdr\n") + 7;
    qToLittleEndian<quint32>(0x7fffffff, inflated.data() + data + 4);
    EXPECT_TRUE(checkParameterFile(QByteArrayView(inflated), ParameterFile::Gaussians));

    QByteArray wrongMark = means;
    wrongMark[data] = 'X';
    EXPECT_TRUE(checkParameterFile(QByteArrayView(wrongMark), ParameterFile::Gaussians));
}

TEST(ModelFileCheck, ADamagedInstallFailsToLoadWithOurOwnError)
{
    test::TempDir dir;
    const ModelPaths model = copyOfInstalledModel(dir);
    ASSERT_EQ(checkModelFiles(model), std::nullopt);

    const QString variances = model.acousticModel + QStringLiteral("/variances");
    const QByteArray whole = readAll(variances);
    writeAll(variances, whole.first(whole.size() / 3));
    QString error;
    EXPECT_FALSE(PocketsphinxDecoder::load(model, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("The speech model is damaged (variances:"))) << error.toStdString();
}

} // namespace
} // namespace zn::speech
