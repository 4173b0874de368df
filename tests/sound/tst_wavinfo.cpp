#include "ui/audio/WavInfo.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

QByteArray le(quint32 value, int bytes)
{
    QByteArray out(4, '\0');
    qToLittleEndian(value, out.data());
    return out.left(bytes);
}

QByteArray chunk(const char* id, const QByteArray& body, qint64 declared = -1)
{
    QByteArray out = QByteArray(id) + le(declared < 0 ? body.size() : quint32(declared), 4) + body;
    return body.size() % 2 ? out + '\0' : out;
}

QByteArray fmt(int format, int channels, int rate, int bits, const QByteArray& extra = {})
{
    const int frame = channels * bits / 8;
    return chunk("fmt ",
        le(format, 2) + le(channels, 2) + le(rate, 4) + le(rate * frame, 4) + le(frame, 2)
            + le(bits, 2) + extra);
}

QByteArray wave(const QByteArray& chunks)
{
    return "RIFF" + le(4 + chunks.size(), 4) + "WAVE" + chunks;
}

QByteArray samples(int bytes, qint64 declared = -1)
{
    return chunk("data", QByteArray(bytes, '\x11'), declared);
}

QByteArray extensible(int subFormat)
{
    return le(22, 2) + le(16, 2) + le(0, 4) + le(subFormat, 2)
        + QByteArray("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
}

// Counts what the reader takes from the device.
class CountingBuffer : public QBuffer {
public:
    qint64 bytesRead = 0;

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 n = QBuffer::readData(data, maxSize);
        bytesRead += std::max<qint64>(n, 0);
        return n;
    }
};

} // namespace

class tst_WavInfo : public QObject {
    Q_OBJECT

private slots:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void readsOnlyTheHeader();
    void readFile();
};

void tst_WavInfo::accepted_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("channels");
    QTest::addColumn<qint64>("dataBytes");
    QTest::addColumn<qint64>("durationMs");
    QTest::addColumn<bool>("complete");

    const QByteArray mono16 = fmt(1, 1, 44100, 16);
    QTest::newRow("0.3 s mono") << wave(mono16 + samples(26460)) << 1 << 26460LL << 300LL << true;
    QTest::newRow("duration rounds up")
        << wave(fmt(1, 2, 22050, 8) + samples(2000)) << 2 << 2000LL << 46LL << true;
    QTest::newRow("24-bit stereo")
        << wave(fmt(1, 2, 48000, 24) + samples(6 * 4800)) << 2 << 28800LL << 100LL << true;
    QTest::newRow("odd chunk padded before data")
        << wave(mono16 + chunk("LIST", "abc") + samples(882)) << 1 << 882LL << 10LL << true;
    QTest::newRow("extensible PCM") << wave(fmt(0xFFFE, 1, 44100, 16, extensible(1)) + samples(882))
                                    << 1 << 882LL << 10LL << true;
    // The header claims an hour; the file holds 0.2 s.
    QTest::newRow("claims more than the file holds")
        << wave(mono16 + samples(17640, 44100LL * 2 * 3600)) << 1 << 17640LL << 200LL << false;
    QTest::newRow("streaming placeholder size")
        << wave(mono16 + samples(8820, 0xFFFFFFFF)) << 1 << 8820LL << 100LL << false;
    QTest::newRow("partial last frame dropped")
        << wave(fmt(1, 2, 1000, 16) + samples(4 * 10 + 3)) << 2 << 40LL << 10LL << true;
}

void tst_WavInfo::accepted()
{
    QFETCH(QByteArray, bytes);
    QString why = QStringLiteral("stale");
    const std::optional<WavInfo> info = WavInfo::readData(bytes, &why);
    QVERIFY2(info, qPrintable(why));
    QVERIFY(why.isEmpty());
    QTEST(info->channels, "channels");
    QTEST(info->dataBytes, "dataBytes");
    QTEST(info->durationMs, "durationMs");
    QTEST(info->dataComplete, "complete");
    QVERIFY(info->dataOffset + info->dataBytes <= bytes.size());
}

void tst_WavInfo::refused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("why");

    const QByteArray mono16 = fmt(1, 1, 44100, 16);
    const QByteArray good = wave(mono16 + samples(882));
    QTest::newRow("empty") << QByteArray() << "not a RIFF/WAVE";
    QTest::newRow("big-endian RIFX") << "RIFX" + good.mid(4) << "not a RIFF/WAVE";
    QTest::newRow("header only") << good.left(12) << "truncated";
    QTest::newRow("cut in the format chunk") << good.left(24) << "truncated format";
    QTest::newRow("cut in the data header") << good.left(40) << "truncated";
    QTest::newRow("no samples") << good.left(44) << "no samples";
    QTest::newRow("float") << wave(fmt(3, 1, 44100, 32) + samples(882)) << "not PCM";
    QTest::newRow("extensible float")
        << wave(fmt(0xFFFE, 1, 44100, 32, extensible(3)) + samples(882)) << "not PCM";
    QTest::newRow("short format") << wave(chunk("fmt ", mono16.mid(8, 14)) + samples(882))
                                  << "too short";
    QTest::newRow("no channels") << wave(fmt(1, 0, 44100, 16) + samples(882)) << "0 channels";
    QTest::newRow("rate 0") << wave(fmt(1, 1, 0, 16) + samples(882)) << "sample rate 0";
    QTest::newRow("12 bits") << wave(fmt(1, 1, 44100, 12) + samples(882)) << "12 bits";
    QTest::newRow("data before format") << wave(samples(882) + mono16) << "before the format";
    QTest::newRow("two formats") << wave(mono16 + mono16 + samples(882)) << "two format";
    QTest::newRow("chunk runs past the end")
        << wave(mono16 + chunk("LIST", "ab", 1 << 30) + samples(882)) << "truncated";
    QByteArray manyChunks;
    for (int i = 0; i < WavInfo::maxChunks; ++i)
        manyChunks += chunk("junk", "xy");
    QTest::newRow("too many chunks") << wave(mono16 + manyChunks + samples(882)) << "no data chunk";
}

void tst_WavInfo::refused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, why);
    QString whyNot;
    QVERIFY(!WavInfo::readData(bytes, &whyNot));
    QVERIFY2(whyNot.contains(why), qPrintable(whyNot));
}

void tst_WavInfo::readsOnlyTheHeader()
{
    CountingBuffer buffer;
    buffer.setData(
        wave(fmt(1, 1, 44100, 16) + chunk("LIST", QByteArray(100000, 'm')) + samples(441000)));
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const std::optional<WavInfo> info = WavInfo::read(buffer);
    QVERIFY(info);
    QCOMPARE(info->durationMs, qint64(5000));
    QVERIFY2(
        buffer.bytesRead <= 12 + 8 + 16 + 8 + 8, qPrintable(QString::number(buffer.bytesRead)));
}

void tst_WavInfo::readFile()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("Chime3.wav")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(wave(fmt(1, 1, 44100, 16) + samples(8820)));
    file.close();
    QCOMPARE(WavInfo::readFile(file.fileName())->durationMs, qint64(100));

    QString why;
    QVERIFY(!WavInfo::readFile(dir.path(), &why));
    QVERIFY(!WavInfo::readFile(dir.filePath(QStringLiteral("missing.wav")), &why));
    QVERIFY(!why.isEmpty());
}

QTEST_GUILESS_MAIN(tst_WavInfo)
#include "tst_wavinfo.moc"
