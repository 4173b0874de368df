#include "ui/audio/QtSoundOutput.h"

#include "support/TestSupport.h"

#include <QPointer>
#include <QSignalSpy>
#include <QSoundEffect>
#include <QtTest>

// Drives QSoundEffect as if a sound device were there, with or without a server.
struct TestOutput final : QtSoundOutput {
    bool hasAudioOutput() const override { return true; }
};

// 500 ms of 16-bit mono at 8 kHz.
const QByteArray sound = QByteArray::fromHex("52494646641f000057415645666d74201000000001000100401f"
                                             "0000803e00000200100064617461401f0000")
    + QByteArray(8000, '\x10');

class tst_QtSoundOutput : public QObject {
    Q_OBJECT
    test::Folders m_files;

    QString wav(const QString& name, const QByteArray& bytes = sound)
    {
        m_files.write(name, bytes);
        return m_files.path(name);
    }

private slots:
    // A stroke returns at once and ends after the length of its file: no event loop of its own.
    // A stroke that is cut reports no end.
    void strokes()
    {
        TestOutput out;
        QSignalSpy ended(&out, &SoundOutput::strokeEnded);
        bool eventsRan = false;
        QTimer::singleShot(0, this, [&] { eventsRan = true; });
        QElapsedTimer clock;
        clock.start();
        out.playStroke(wav("stroke.wav"));
        QVERIFY(!eventsRan && ended.isEmpty() && clock.elapsed() < 400);
        QVERIFY(ended.wait(3000) && clock.elapsed() >= 500 && clock.elapsed() < 1500);
        out.playStroke(wav("stroke.wav"));
        out.playStroke(wav("stroke.wav"));
        out.stop();
        QVERIFY(!ended.wait(1200)); // the first cut by the second, the second by the stop
    }

    // One loaded sound per file however often it plays, loaded again when the file changes on
    // disk; the least recently played goes first to stay within bounds.
    void loaded()
    {
        const QString first = wav("0.wav");
        TestOutput out;
        out.play(first);
        const QPointer<const QSoundEffect> once = out.loadedEffect(first);
        out.playStroke(first);
        out.play(first);
        QVERIFY(once && out.effectCount() == 1);
        const QDateTime modified = QFileInfo(first).lastModified();
        QFile file(wav("0.wav", sound + "tail")); // longer, at the same time
        QVERIFY(file.open(QIODevice::ReadWrite)
            && file.setFileTime(modified, QFile::FileModificationTime));
        out.play(first);
        QVERIFY(!once && out.loadedEffect(first));
        for (int i = 1; i < out.maxEffects; ++i)
            out.play(wav(QString("%1.wav").arg(i)));
        out.play(first);
        const QPointer<const QSoundEffect> second = out.loadedEffect(m_files.path("1.wav"));
        out.play(wav("last.wav"));
        QVERIFY(!second && out.loadedEffect(first) && out.effectCount() == out.maxEffects);
    }

    // Padded copies in the cache serve the next output as they are; an old one is swept.
    void paddedCopies()
    {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_files.path("padded")));
        const QString folder = m_files.path("padded/horolan/sounds/");
        QFile old(folder + QString(40, 'a') + ".wav");
        QVERIFY(QDir().mkpath(folder) && old.open(QIODevice::WriteOnly));
        QVERIFY(old.setFileTime(
            QDateTime::currentDateTime().addDays(-31), QFileDevice::FileModificationTime));
        const QString path = wav("padded.wav");
        auto out = std::make_unique<TestOutput>();
        out->play(path);
        const QString copy = out->loadedEffect(path)->source().toLocalFile();
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList(QFileInfo(copy).fileName()));
        QFile file(copy);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(100) && file.putChar('\x7f'));
        file.close();
        out = std::make_unique<TestOutput>();
        out->play(path);
        QCOMPARE(out->loadedEffect(path)->source().toLocalFile(), copy);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.seek(100) && file.read(1) == "\x7f");
    }
};

QTEST_MAIN(tst_QtSoundOutput)
#include "tst_qtsoundoutput.moc"
