#include "platform/speech/ModelFileCheck.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cstring>
#include <functional>
#include <limits>

namespace zn::speech {
namespace {

constexpr char kTrieHeader[] = "Trie Language Model";
constexpr quint32 kByteOrderMagic = 0x11223344;

QString incomplete()
{
    return QStringLiteral("it is incomplete");
}

// Reads little- or big-endian 32-bit words from a fixed position onwards.
class WordReader
{
public:
    WordReader(QByteArrayView bytes, qsizetype at, bool swapped) : m_bytes(bytes), m_at(at), m_swapped(swapped) {}

    std::optional<quint32> next()
    {
        if (m_at < 0 || m_bytes.size() - m_at < 4)
            return std::nullopt;
        quint32 value = qFromLittleEndian<quint32>(m_bytes.data() + m_at);
        if (m_swapped)
            value = qbswap(value);
        m_at += 4;
        return value;
    }
    qsizetype position() const { return m_at; }

private:
    QByteArrayView m_bytes;
    qsizetype m_at;
    bool m_swapped;
};

std::optional<QString> checkMappedFile(const QString &path, const std::function<std::optional<QString>(QByteArrayView)> &check)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 cannot be read").arg(name);
    if (file.size() == 0)
        return QStringLiteral("%1 is empty").arg(name);
    // Mapped, not read: the language model is tens of megabytes and only its
    // two ends are looked at.
    uchar *mapped = file.map(0, file.size());
    if (!mapped)
        return QStringLiteral("%1 cannot be read").arg(name);
    const std::optional<QString> problem =
        check(QByteArrayView(reinterpret_cast<const char *>(mapped), file.size()));
    file.unmap(mapped);
    if (problem)
        return QStringLiteral("%1: %2").arg(name, *problem);
    return std::nullopt;
}

} // namespace

std::optional<QString> checkLanguageModel(QByteArrayView bytes)
{
    const qsizetype headerLength = qsizetype(std::strlen(kTrieHeader));
    if (bytes.size() < headerLength + 1 || std::memcmp(bytes.data(), kTrieHeader, size_t(headerLength)) != 0)
        return QStringLiteral("it is not a binary language model");
    const int order = static_cast<unsigned char>(bytes[headerLength]);
    if (order < 1 || order > 6)
        return QStringLiteral("its order %1 is out of range").arg(order);
    WordReader reader(bytes, headerLength + 1, false);
    std::optional<quint32> unigrams;
    for (int i = 0; i < order; ++i) {
        const std::optional<quint32> count = reader.next();
        if (!count)
            return incomplete();
        if (*count == 0)
            return QStringLiteral("it holds no %1-grams").arg(i + 1);
        if (i == 0)
            unigrams = count;
    }

    // The file ends with the vocabulary: a 32-bit byte count, then one
    // NUL-terminated word per unigram. A file cut anywhere before its end
    // loses that tail, so walk it back from the last byte.
    if (bytes.back() != '\0')
        return incomplete();
    qsizetype at = bytes.size() - 1; // the last word's terminator
    quint32 words = 0;
    while (words < *unigrams) {
        qsizetype start = at;
        while (start > 0 && bytes[start - 1] != '\0')
            --start;
        if (start <= reader.position())
            return incomplete();
        ++words;
        at = start - 1;
    }
    const qsizetype blockStart = at + 1;
    const qsizetype blockLength = bytes.size() - blockStart;
    if (blockStart - 4 < reader.position())
        return incomplete();
    const quint32 declared = qFromLittleEndian<quint32>(bytes.data() + blockStart - 4);
    if (qsizetype(declared) != blockLength)
        return incomplete();
    return std::nullopt;
}

std::optional<QString> checkParameterFile(QByteArrayView bytes, ParameterFile kind)
{
    if (!bytes.startsWith("s3\n"))
        return QStringLiteral("it is not a model parameter file");
    const QByteArrayView endMarker("endhdr\n");
    const qsizetype end = bytes.indexOf(endMarker);
    if (end < 0)
        return QStringLiteral("its header is incomplete");
    const bool checksummed = bytes.first(end).indexOf(QByteArrayView("chksum0 yes")) >= 0;
    const qsizetype dataStart = end + endMarker.size();
    if (bytes.size() - dataStart < 4)
        return incomplete();
    const quint32 magic = qFromLittleEndian<quint32>(bytes.data() + dataStart);
    if (magic != kByteOrderMagic && magic != qbswap(kByteOrderMagic))
        return QStringLiteral("its byte order mark is damaged");
    WordReader reader(bytes, dataStart + 4, magic != kByteOrderMagic);

    // The dimensions the header promises, multiplied out in 64 bits.
    quint64 expectedValues = 1;
    if (kind == ParameterFile::Gaussians) {
        const auto codebooks = reader.next();
        const auto features = reader.next();
        const auto densities = reader.next();
        if (!codebooks || !features || !densities || *features == 0 || *features > 64)
            return incomplete();
        quint64 width = 0;
        for (quint32 i = 0; i < *features; ++i) {
            const auto length = reader.next();
            if (!length)
                return incomplete();
            width += *length;
        }
        expectedValues = quint64(*codebooks) * *densities * width;
    } else {
        for (int i = 0; i < 3; ++i) {
            const auto dimension = reader.next();
            if (!dimension)
                return incomplete();
            expectedValues *= *dimension;
        }
    }
    const auto declared = reader.next();
    if (!declared)
        return incomplete();
    if (quint64(*declared) != expectedValues || expectedValues == 0)
        return QStringLiteral("its dimensions do not agree");
    const quint64 expectedSize =
        quint64(reader.position()) + expectedValues * 4 + (checksummed ? 4 : 0);
    if (quint64(bytes.size()) != expectedSize)
        return quint64(bytes.size()) < expectedSize ? incomplete() : QStringLiteral("it is longer than its header says");
    return std::nullopt;
}

std::optional<QString> checkModelFiles(const ModelPaths &paths)
{
    const QString folder = paths.acousticModel + QLatin1Char('/');
    if (auto problem = checkMappedFile(folder + QStringLiteral("means"), [](QByteArrayView bytes) {
            return checkParameterFile(bytes, ParameterFile::Gaussians);
        }))
        return problem;
    if (auto problem = checkMappedFile(folder + QStringLiteral("variances"), [](QByteArrayView bytes) {
            return checkParameterFile(bytes, ParameterFile::Gaussians);
        }))
        return problem;
    if (auto problem = checkMappedFile(folder + QStringLiteral("transition_matrices"), [](QByteArrayView bytes) {
            return checkParameterFile(bytes, ParameterFile::TransitionMatrices);
        }))
        return problem;
    return checkMappedFile(paths.languageModel, [](QByteArrayView bytes) { return checkLanguageModel(bytes); });
}

} // namespace zn::speech
