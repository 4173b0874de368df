#include "support/TestSupport.h"
#include "ui/audio/SoundCache.h"

#include <QtEndian>
#include <QtTest>

namespace {

QByteArray le(quint32 value, int bytes)
{
    QByteArray b(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        b[i] = char(value >> (8 * i));
    return b;
}

// A mono 16-bit WAV at 8 kHz of so many frames: in the tests' format its sound is two bytes a
// frame, so its size tells which version of a file is held.
QByteArray wav(int frames)
{
    QByteArray data;
    for (int i = 0; i < frames; ++i)
        data += le(1000, 2);
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

qsizetype played(SoundCache& cache, const QString& path)
{
    const QByteArray* pcm = cache.sound(path);
    return pcm ? pcm->size() : -1;
}

} // namespace

class tst_SoundCache : public QObject {
    Q_OBJECT

private slots:
    // A file is read again only when its size or time changed; what it holds is not looked at.
    void rereading_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<qsizetype>("bytes");
        QTest::addRow("untouched") << "" << qsizetype(200);
        QTest::addRow("garbled, same size and time") << "garble keep-time" << qsizetype(200);
        QTest::addRow("garbled, later") << "garble" << qsizetype(-1);
        QTest::addRow("longer") << "longer" << qsizetype(300);
        QTest::addRow("removed") << "remove" << qsizetype(-1);
    }
    void rereading()
    {
        QFETCH(QString, change);
        QFETCH(qsizetype, bytes);
        test::Folders root;
        const QString a = root.path("a.wav");
        root.write("a.wav", wav(100));
        SoundCache cache(16, 1 << 20);
        cache.setFormat(audioFormat(1));
        QCOMPARE(played(cache, a), 200);
        const QDateTime time = QFileInfo(a).lastModified();
        if (change.contains("garble"))
            root.write("a.wav", QByteArray(wav(100).size(), 'x'));
        if (change == "longer")
            root.write("a.wav", wav(150));
        if (change == "remove")
            QVERIFY(QFile::remove(a));
        QFile file(a);
        if (file.exists())
            QVERIFY(file.open(QIODevice::ReadWrite)
                && file.setFileTime(change.contains("keep-time") ? time : time.addSecs(2),
                    QFileDevice::FileModificationTime));
        file.close();
        QCOMPARE(played(cache, a), bytes);
    }

    // A file that cannot be played is refused once, with one line in the log, until it changes.
    void refused()
    {
        test::Folders root;
        const QString a = root.path("a.wav");
        root.write("a.wav", "RIFF, but no more");
        SoundCache cache(16, 1 << 20);
        cache.setFormat(audioFormat(1));
        const test::LogCapture log;
        QCOMPARE(played(cache, a), -1);
        QCOMPARE(played(cache, a), -1);
        QCOMPARE(log.lines.filter("not playing").size(), 1);
        QVERIFY(log.has("sound", "warning", "not playing " + a));
        root.write("a.wav", wav(100));
        QCOMPARE(played(cache, a), 200);
    }

    // Files of one name in two folders are two sounds, each decoded once.
    void keys()
    {
        test::Folders root;
        root.write("x/a.wav", wav(100));
        root.write("y/a.wav", wav(150));
        SoundCache cache(16, 1 << 20);
        cache.setFormat(audioFormat(1));
        const test::LogCapture log;
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(played(cache, root.path("x/a.wav")), 200);
            QCOMPARE(played(cache, root.path("y/a.wav")), 300);
        }
        QCOMPARE(log.lines.filter("decoded ").size(), 2);
    }

    // Too many sounds or too many bytes: the least recently played go first. a, b and c are
    // 200 bytes, d 800.
    void eviction_data()
    {
        QTest::addColumn<int>("maxSounds");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("held");
        QTest::addRow("count") << 2 << qint64(1 << 20) << "a b c"
                               << "b c";
        QTest::addRow("count, played again") << 2 << qint64(1 << 20) << "a b a c"
                                             << "a c";
        QTest::addRow("count, a hit evicts nothing") << 2 << qint64(1 << 20) << "a b b"
                                                     << "a b";
        QTest::addRow("bytes") << 16 << qint64(500) << "a b c"
                               << "b c";
        QTest::addRow("bytes, just fitting") << 16 << qint64(600) << "a b c"
                                             << "a b c";
        QTest::addRow("bytes, played again") << 16 << qint64(500) << "a b a c"
                                             << "a c";
        QTest::addRow("bytes, one too big is held alone") << 16 << qint64(500) << "a b d"
                                                          << "d";
    }
    void eviction()
    {
        QFETCH(int, maxSounds);
        QFETCH(qint64, maxBytes);
        QFETCH(QString, asked);
        QFETCH(QString, held);
        test::Folders root;
        for (const auto& [name, frames] :
            { std::pair { "a", 100 }, { "b", 100 }, { "c", 100 }, { "d", 400 } })
            root.write(name + QStringLiteral(".wav"), wav(frames));
        SoundCache cache(maxSounds, maxBytes);
        cache.setFormat(audioFormat(1));
        for (const QString& name : asked.split(' '))
            QVERIFY(cache.sound(root.path(name + ".wav")));
        QStringList holds;
        for (const QString name : { "a", "b", "c", "d" })
            if (cache.holds(root.path(name + ".wav")))
                holds << name;
        QCOMPARE(holds.join(' '), held);
    }

    // A new format drops the sounds and the ding made for the old one.
    void format()
    {
        test::Folders root;
        const QString a = root.path("a.wav");
        root.write("a.wav", wav(100));
        SoundCache cache(16, 1 << 20);
        QVERIFY(cache.setFormat(audioFormat(1)));
        QCOMPARE(played(cache, a), 200);
        QCOMPARE(cache.ding().size(), 8000 / 5 * 2);
        QVERIFY(!cache.setFormat(audioFormat(1)));
        QVERIFY(cache.holds(a));
        QVERIFY(cache.setFormat(audioFormat(2)));
        QVERIFY(!cache.holds(a));
        QCOMPARE(cache.ding().size(), 8000 / 5 * 4);
        QCOMPARE(played(cache, a), 400);
        cache.clear();
        QVERIFY(!cache.holds(a));
        QCOMPARE(cache.heldBytes(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_SoundCache)
#include "tst_soundcache.moc"
