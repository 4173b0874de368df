#include "support/TestSupport.h"
#include "ui/audio/SoundCache.h"

#include <QtTest>

namespace {

QByteArray le(quint32 value, int bytes)
{
    QByteArray b(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        b[i] = char(value >> (8 * i));
    return b;
}

// A mono 16-bit WAV at 8 kHz of so many frames.
QByteArray wav(int frames)
{
    const QByteArray data = le(1000, 2).repeated(frames);
    const QByteArray body = "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4)
        + le(16000, 4) + le(2, 2) + le(16, 2) + "data" + le(quint32(data.size()), 4) + data;
    return "RIFF" + le(quint32(body.size()), 4) + body;
}

QAudioFormat audioFormat(int channels)
{
    QAudioFormat f;
    f.setSampleRate(8000);
    f.setChannelCount(channels);
    f.setSampleFormat(QAudioFormat::Int16);
    return f;
}

} // namespace

// Without a sound device: files written on the spot, the format of the test's choosing.
class TestSoundCache : public QObject {
    Q_OBJECT

private slots:
    void steps_data() { test::addRows(QStringLiteral("soundcache.rows")); }
    void steps()
    {
        QFETCH(QStringList, row);
        test::Folders root;
        SoundCache cache(row[1].section(' ', 0, 0).toInt(), row[1].section(' ', 1).toLongLong());
        cache.setFormat(audioFormat(1));
        const test::LogCapture log;
        QStringList heard, files;
        for (const QString& step : row[2].split(' ', Qt::SkipEmptyParts)) {
            const QString name = step.section('=', 0, 0).remove('?'), what = step.section('=', 1);
            const QString path = root.path(name + ".wav");
            if (step == "stereo")
                cache.setFormat(audioFormat(2));
            else if (step == "ding")
                heard << QString::number(cache.ding().size());
            else if (const QByteArray* pcm = step.endsWith('?') ? cache.sound(path) : nullptr)
                heard << QString::number(pcm->size());
            else if (step.endsWith('?'))
                heard << "none";
            else if (what == "gone")
                QVERIFY(QFile::remove(path));
            else {
                files << name;
                const QDateTime time = QFileInfo(path).lastModified();
                root.write(name + ".wav",
                    what.startsWith("bad") ? QByteArray(wav(100).size(), 'x')
                                           : wav(what.section('@', 0, 0).toInt()));
                QFile file(path);
                QVERIFY(!time.isValid()
                    || (file.open(QIODevice::ReadWrite)
                        && file.setFileTime(what.endsWith('@') ? time : time.addSecs(2),
                            QFileDevice::FileModificationTime)));
            }
        }
        QStringList held;
        for (const QString& name : files)
            if (cache.holds(root.path(name + ".wav")) && !held.contains(name))
                held << name;
        held.sort();
        QCOMPARE(
            QStringList({ "heard=" + heard.join(','), "held=" + held.join(','),
                            "decoded=" + QString::number(log.lines.filter("decoded ").size()),
                            "refused=" + QString::number(log.lines.filter("not playing").size()) })
                .join(' '),
            row[3]);
    }
};

QTEST_GUILESS_MAIN(TestSoundCache)
#include "tst_soundcache.moc"
