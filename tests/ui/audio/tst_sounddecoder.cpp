#include "ui/audio/SoundDecoder.h"

#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <numbers>
#include <sndfile.h>

namespace {

constexpr double seconds = 0.25;

// A quarter second of 440 Hz at half scale, written in a WAV codec by libsndfile; MPEG layer 3,
// which libsndfile writes only bare, is put into a WAV as Windows tools do.
QByteArray wav(int codec, int rate, int channels)
{
    const bool mp3 = codec == SF_FORMAT_MPEG_LAYER_III;
    QTemporaryFile file;
    SF_INFO info { 0, rate, channels, (mp3 ? SF_FORMAT_MPEG : SF_FORMAT_WAV) | codec, 0, 0 };
    if (!file.open())
        return {};
    SNDFILE* out = sf_open(QFile::encodeName(file.fileName()).constData(), SFM_WRITE, &info);
    if (!out)
        return {};
    std::vector<float> samples;
    for (int i = 0; i < int(rate * seconds); ++i)
        samples.insert(samples.end(), size_t(channels),
            float(0.5 * std::sin(2 * std::numbers::pi * 440 * i / rate)));
    sf_writef_float(out, samples.data(), sf_count_t(samples.size()) / channels);
    sf_close(out);
    QByteArray bytes = file.readAll();
    if (!mp3)
        return bytes;
    const auto le = [](quint32 v, int n) {
        QByteArray b(n, '\0');
        for (int i = 0; i < n; ++i)
            b[i] = char(v >> (8 * i));
        return b;
    };
    // MPEGLAYER3WAVEFORMAT: format 0x55, one-byte blocks, then id, flags, block size, frames per
    // block and codec delay.
    const QByteArray format = le(0x55, 2) + le(quint32(channels), 2) + le(quint32(rate), 4)
        + le(4000, 4) + le(1, 2) + le(0, 2) + le(12, 2) + le(1, 2) + le(2, 4) + le(417, 2)
        + le(1, 2) + le(1393, 2);
    const QByteArray body = "WAVEfmt " + le(quint32(format.size()), 4) + format + "data"
        + le(quint32(bytes.size()), 4) + bytes + (bytes.size() % 2 ? "\0" : "");
    return "RIFF" + le(quint32(body.size()), 4) + body;
}

float peak(const std::vector<float>& samples)
{
    float most = 0;
    for (const float s : samples)
        most = std::max(most, std::abs(s));
    return most;
}

} // namespace

class TestSoundDecoder : public QObject {
    Q_OBJECT

private slots:
    // Every codec a Windows pack may hold, at every rate, mono and stereo, decodes to what was
    // written: its rate, its channels, a quarter second (and what the codec pads), half scale.
    void codecs_data()
    {
        QTest::addColumn<int>("codec");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        const QList<std::pair<const char*, int>> codecs { { "pcm-u8", SF_FORMAT_PCM_U8 },
            { "pcm-16", SF_FORMAT_PCM_16 }, { "pcm-24", SF_FORMAT_PCM_24 },
            { "pcm-32", SF_FORMAT_PCM_32 }, { "float", SF_FORMAT_FLOAT },
            { "ima-adpcm", SF_FORMAT_IMA_ADPCM }, { "ms-adpcm", SF_FORMAT_MS_ADPCM },
            { "u-law", SF_FORMAT_ULAW }, { "a-law", SF_FORMAT_ALAW }, { "gsm", SF_FORMAT_GSM610 },
            { "mp3", SF_FORMAT_MPEG_LAYER_III } };
        for (const auto& [name, codec] : codecs)
            for (const int rate : { 8000, 11025, 22050, 44100, 48000 })
                for (const int channels : { 1, 2 })
                    if (channels == 1 || codec != SF_FORMAT_GSM610) // GSM 6.10 is mono only
                        QTest::addRow("%s %d Hz %d ch", name, rate, channels)
                            << codec << rate << channels;
    }
    void codecs()
    {
        QFETCH(int, codec);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QByteArray bytes = wav(codec, rate, channels);
        QVERIFY2(!bytes.isEmpty(), sf_strerror(nullptr));
        QString whyNot;
        std::optional<DecodedSound> sound = DecodedSound::decodeData(bytes, &whyNot);
        QVERIFY2(sound, qPrintable(whyNot));
        QCOMPARE(sound->sampleRate, rate);
        QCOMPARE(sound->channels, channels);
        // MPEG's delay and padding, a few frames at most. libsndfile's fact chunk counts a block
        // codec's padding (and for stereo IMA ADPCM half the frames): nothing is cut by it.
        QVERIFY2(sound->durationMs() >= 250 && sound->durationMs() <= 400,
            qPrintable(QString::number(sound->durationMs())));
        // The fact chunk of Windows' and sox's encoders counts the sound alone: the padding of
        // the last block is cut.
        if (const qsizetype fact = bytes.indexOf("fact"); codec == SF_FORMAT_IMA_ADPCM
            || codec == SF_FORMAT_MS_ADPCM || codec == SF_FORMAT_GSM610) {
            QVERIFY(fact > 0);
            qToLittleEndian(quint32(rate * seconds), bytes.data() + fact + 8);
            sound = DecodedSound::decodeData(bytes);
            QCOMPARE(sound->frames(), qint64(rate * seconds));
        }
        // GSM 6.10, a speech codec, overshoots a pure tone.
        const float most = codec == SF_FORMAT_GSM610 ? 0.5f : peak(sound->samples);
        QVERIFY2(peak(sound->samples) > 0.4f && most < 0.6f,
            qPrintable(QString::number(peak(sound->samples))));
    }
};

QTEST_GUILESS_MAIN(TestSoundDecoder)
#include "tst_sounddecoder.moc"
