#include "SamplePacks.h"

#include "Synth.h"

#include <QStringList>

namespace SamplePacks {

namespace {

using Synth::midiHz;

// An SP.ini as the clock reads it: CR LF line ends, every key written right before its "=",
// and no ";" in a value (the reader cuts a value there).
PackFile spIni(const QString& name, const QString& type, const QString& comment)
{
    const QStringList lines = {
        QStringLiteral("; %1: a sample sound pack of Horolan, made by horolan-soundgen").arg(name),
        QString(),
        QStringLiteral("[info]"),
        QStringLiteral("copyright=Horolan"),
        QStringLiteral("collector=Horolan"),
        QStringLiteral("email=horolan@example.org"),
        QStringLiteral("comment=") + comment,
        QString(),
        QStringLiteral("[setting]"),
        QStringLiteral("type=") + type,
    };
    return { QStringLiteral("SP.ini"), (lines.join(QStringLiteral("\r\n")) + "\r\n").toLatin1() };
}

PackFile bellStrike(const QString& name, int note, double seconds)
{
    Synth::Track track(seconds);
    track.strike(0, midiHz(note), Synth::bell());
    track.finish(0.5, 180);
    return { name, track.wav() };
}

SamplePack countingBell()
{
    return { QStringLiteral("Sounds/Counting Bell"),
        {
            spIni(QStringLiteral("Counting Bell"), QStringLiteral("count"),
                QStringLiteral("A church bell, deep or bright, picked each hour. It strikes once, "
                               "or once for each hour when counting is on.")),
            bellStrike(QStringLiteral("Deep.wav"), 60, 1.4), // C4
            bellStrike(QStringLiteral("Bright.wav"), 67, 1.25), // G4
        },
        QStringLiteral("c") };
}

// A few notes of the pentatonic scale on C, a different turn for each hour; the last one rings.
SamplePack hourTunes()
{
    static const int scale[] = { 67, 69, 72, 74, 76, 79, 81, 84 }; // G4 .. C6
    static const QList<QList<int>> tunes = {
        { 5, 4, 2, 0 }, // midnight: falling to rest
        { 2, 4, 5 }, { 4, 5, 4, 2 }, { 0, 2, 4, 5 }, { 5, 3, 4, 2 }, { 2, 3, 4, 6 }, { 4, 6, 7, 5 },
        { 7, 5, 6, 4 }, { 2, 4, 3, 5, 4 }, { 0, 4, 2, 5 }, { 6, 5, 3, 4, 2 }, { 3, 5, 6, 7 },
        { 7, 6, 5, 4, 2 }, // noon
    };
    constexpr double stepSeconds = 0.28, ringSeconds = 1.1;

    SamplePack pack { QStringLiteral("Sounds/Hour Tunes"),
        { spIni(QStringLiteral("Hour Tunes"), QStringLiteral("order"),
            QStringLiteral("A short tune of small bells for each hour, from Chime0 at midnight to "
                           "Chime12 at noon.")) },
        QStringLiteral("o") };
    for (int hour = 0; hour < tunes.size(); ++hour) {
        const QList<int>& tune = tunes[hour];
        Synth::Track track((tune.size() - 1) * stepSeconds + ringSeconds);
        for (int i = 0; i < tune.size(); ++i)
            track.strike(i * stepSeconds, midiHz(scale[tune[i]]), Synth::chimeBar(),
                i + 1 == tune.size() ? 1.0 : 0.8);
        track.finish(0.4, 200);
        pack.files.append({ QStringLiteral("Chime%1.wav").arg(hour), track.wav() });
    }
    return pack;
}

// Warm seventh chords, their notes rolled upwards like a hand on a harp.
SamplePack softRandom()
{
    static const QList<QList<int>> chords = {
        { 60, 64, 67, 71 }, // C major seventh
        { 57, 60, 64, 67 }, // A minor seventh
        { 53, 57, 60, 64 }, // F major seventh
        { 55, 59, 62, 69 }, // G with the ninth
    };
    SamplePack pack { QStringLiteral("Sounds/Soft Random"),
        { spIni(QStringLiteral("Soft Random"), QStringLiteral("random"),
            QStringLiteral("A soft chord on the hour, one of four picked at random.")) },
        QStringLiteral("r") };
    for (int c = 0; c < chords.size(); ++c) {
        Synth::Track track(1.5);
        for (int i = 0; i < chords[c].size(); ++i)
            track.strike(0.035 * i, midiHz(chords[c][i]), Synth::softBar(), 0.85);
        track.finish(0.4, 250);
        pack.files.append({ QStringLiteral("Chord%1.wav").arg(c + 1), track.wav() });
    }
    return pack;
}

// The sample skin "Hours" strikes with a bell and a small bell an octave above it.
SamplePack hoursSkinChimes()
{
    Synth::Track track(1.3);
    track.strike(0, midiHz(62), Synth::bell()); // D4
    track.strike(0.004, midiHz(74), Synth::chimeBar(), 0.35); // D5
    track.finish(0.5, 180);
    return { QStringLiteral("SkinChimes/Hours"), { { QStringLiteral("Strike.wav"), track.wav() } },
        QString() };
}

} // namespace

QList<SamplePack> all()
{
    return { countingBell(), hourTunes(), softRandom(), hoursSkinChimes() };
}

} // namespace SamplePacks
