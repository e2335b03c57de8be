#include "platform/speech/SpeechPcm.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

#include <soxr.h>

namespace kotobane {

namespace {

struct LanguageRow {
    const char* espeak;
    const char* id;
};

// Windows language identifiers of the espeak-ng languages that users of a
// reading program are likely to pick; what is not here stays out of the
// attribute rather than being guessed. The bare "en" is left out: British
// and American voices both claim it, and each has its own row.
constexpr LanguageRow kLanguages[] = {
    {"af", "436"},    {"ar", "401"},    {"bg", "402"}, {"ca", "403"},      {"cmn", "804"},   {"zh-cmn", "804"},
    {"zh", "804"},    {"cs", "405"},    {"cy", "452"}, {"da", "406"},      {"de", "407"},    {"el", "408"},
    {"en-us", "409"}, {"en-gb", "809"}, {"es", "c0a"}, {"es-419", "580a"}, {"et", "425"},    {"eu", "42d"},
    {"fa", "429"},    {"fi", "40b"},    {"fr", "40c"}, {"fr-fr", "40c"},   {"fr-be", "80c"}, {"fr-ch", "100c"},
    {"he", "40d"},    {"hi", "439"},    {"hr", "41a"}, {"hu", "40e"},      {"hy", "42b"},    {"id", "421"},
    {"is", "40f"},    {"it", "410"},    {"ja", "411"}, {"ko", "412"},      {"lt", "427"},    {"lv", "426"},
    {"mk", "42f"},    {"ms", "43e"},    {"nb", "414"}, {"nl", "413"},      {"pl", "415"},    {"pt", "816"},
    {"pt-pt", "816"}, {"pt-br", "416"}, {"ro", "418"}, {"ru", "419"},      {"sk", "41b"},    {"sl", "424"},
    {"sq", "41c"},    {"sr", "c1a"},    {"sv", "41d"}, {"sw", "441"},      {"ta", "449"},    {"th", "41e"},
    {"tr", "41f"},    {"uk", "422"},    {"ur", "420"}, {"vi", "42a"},      {"yue", "c04"},   {"zh-yue", "c04"},
};

}  // namespace

QString LanguageIdOf(const QString& espeakLanguage)
{
    const QString key = espeakLanguage.toLower();
    for (const LanguageRow& row : kLanguages) {
        if (key == QLatin1String(row.espeak)) {
            return QLatin1String(row.id);
        }
    }
    return QString();
}

QString LanguageAttribute(const QStringList& espeakLanguages)
{
    QStringList ids;
    for (const QString& language : espeakLanguages) {
        const QString id = LanguageIdOf(language);
        if (!id.isEmpty() && !ids.contains(id)) {
            ids << id;
        }
    }
    return ids.join(QLatin1Char(';'));
}

int EspeakWordsPerMinute(int rate)
{
    const double wpm = 175.0 * std::pow(3.0, rate / 10.0);
    return static_cast<int>(std::lround(std::clamp(wpm, 80.0, 450.0)));
}

int EspeakVolume(int volume)
{
    return std::clamp(volume, 0, 100);
}

QByteArray ConvertPcm(const std::vector<qint16>& samples, const PcmFormat& format)
{
    std::vector<qint16> resampled;
    if (format.sampleRate == kEspeakFormat.sampleRate) {
        resampled = samples;
    } else if (!samples.empty()) {
        const double ratio = double(format.sampleRate) / kEspeakFormat.sampleRate;
        resampled.resize(static_cast<size_t>(std::ceil(samples.size() * ratio)));
        // No dither: it adds random noise, and the same text must give the
        // same bytes every time.
        soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
        io.flags |= SOXR_NO_DITHER;
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        size_t done = 0;
        const soxr_error_t error =
            soxr_oneshot(kEspeakFormat.sampleRate, format.sampleRate, 1, samples.data(), samples.size(), nullptr,
                         resampled.data(), resampled.size(), &done, &io, &quality, nullptr);
        // soxr fails only on bad arguments; an empty result is then the
        // honest answer.
        resampled.resize(error ? 0 : done);
    }

    const int sampleBytes = format.bits == 8 ? 1 : 2;
    QByteArray out(qsizetype(resampled.size()) * format.channels * sampleBytes, Qt::Uninitialized);
    char* p = out.data();
    for (const qint16 sample : resampled) {
        for (int c = 0; c < format.channels; ++c) {
            if (sampleBytes == 1) {
                *p++ = static_cast<char>((sample >> 8) + 128);
            } else {
                qToLittleEndian(sample, p);
                p += 2;
            }
        }
    }
    return out;
}

QByteArray WavHeader(const PcmFormat& format, quint32 dataBytes)
{
    const quint16 blockAlign = quint16(format.channels * format.bits / 8);
    QByteArray header(44, Qt::Uninitialized);
    char* p = header.data();
    auto put32 = [&p](quint32 v) {
        qToLittleEndian(v, p);
        p += 4;
    };
    auto put16 = [&p](quint16 v) {
        qToLittleEndian(v, p);
        p += 2;
    };
    auto tag = [&p](const char* t) {
        std::copy(t, t + 4, p);
        p += 4;
    };
    tag("RIFF");
    put32(36 + dataBytes);
    tag("WAVE");
    tag("fmt ");
    put32(16);
    put16(1);  // PCM
    put16(quint16(format.channels));
    put32(quint32(format.sampleRate));
    put32(quint32(format.sampleRate) * blockAlign);
    put16(blockAlign);
    put16(quint16(format.bits));
    tag("data");
    put32(dataBytes);
    return header;
}

qint64 PcmDurationMs(const PcmFormat& format, qint64 bytes)
{
    const qint64 bytesPerSecond = qint64(format.sampleRate) * format.channels * format.bits / 8;
    return bytesPerSecond > 0 ? bytes * 1000 / bytesPerSecond : 0;
}

}  // namespace kotobane
