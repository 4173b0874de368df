#pragma once

#include "core/chimes/SoundOutput.h"

#include <QDateTime>
#include <QHash>
#include <QObject>

#include <optional>

class QFileInfo;
class QSoundEffect;
struct WavInfo;

// Plays chimes through Qt Multimedia: one QSoundEffect per sound file holds its decoded samples,
// made at the first play so that a clock that never chimes never loads the audio stack, and kept
// for later strokes; each stroke plays through a short-lived QSoundEffect that shares them.
// Without a sound device chimes are beeps, and so is a file whose header claims more sound than
// it holds (Qt's loader would hang on it).
class QtSoundOutput : public SoundOutput {
    Q_OBJECT

public:
    // A stroke lasts the file's own length, then up to this more for Qt's end signal.
    static constexpr int endMarginMs = 300;
    static constexpr int maxWaitMs = 60000;
    // How late a sound may start before its stroke stops counting on it.
    static constexpr int startSlackMs = 1000;
    // Sounds kept loaded, the least recently played dropped first; together they hold no more
    // samples than maxEffectBytes, except for a single larger one.
    static constexpr int maxEffects = 16;
    static constexpr qint64 maxEffectBytes = 32LL << 20;
    // The folder of padded copies keeps the newest of them within these bounds.
    static constexpr int maxPaddedFiles = 64;
    static constexpr qint64 maxPaddedBytes = 64LL << 20;
    static constexpr int paddedMaxAgeDays = 30;

    explicit QtSoundOutput(QObject* parent = nullptr);
    ~QtSoundOutput() override;

    void play(const QString& path) override;
    void playStroke(const QString& path) override;
    void stop() override;
    void beep() override;

    // Sounds held loaded, and the one held for a file (tests).
    int effectCount() const { return int(m_loaded.size()); }
    const QSoundEffect* loadedEffect(const QString& path) const;
    // Where padded copies go, made if need be: $XDG_CACHE_HOME/horolan/sounds, or a folder of
    // this user's in the temporary folder when that cannot be written; empty when neither can.
    static QString makePaddedFolder();

protected:
    // Asked at each play; tests override it to drive QSoundEffect without a sound server.
    virtual bool hasAudioOutput() const;

private:
    class Stroke;
    struct Loaded {
        QSoundEffect* effect = nullptr; // never played itself
        // The file as it was loaded: a change on disk loads it again.
        qint64 fileBytes = 0;
        QDateTime modified;
        qint64 sampleBytes = 0;
        quint64 lastUse = 0;
    };

    // The loaded sound for a file, made or reloaded as needed.
    const QSoundEffect* load(const QString& path, const WavInfo& info);
    void unload(const QString& key);

    // The file with a short silence after its samples: QSoundEffect stops the output as soon as
    // it has handed over the last data and so drops what the sound server still holds, a
    // click at the end of every stroke. The silence is what gets dropped instead. Kept on disk,
    // named after the file's path, size and time, so later runs reuse it; the file itself when a
    // copy cannot be made.
    QString paddedCopy(const QFileInfo& source, const WavInfo& info);
    // Chosen and cleared of old copies at the first chime, and again after many new copies.
    QString paddedFolder();

    // Cuts what plays and starts the file, or a beep in its place; the length of the sound the
    // file really holds (a header may claim hours), or empty when the file was refused.
    std::optional<qint64> start(const QString& path, bool stroke);
    // Silences the current sound; its stroke reports no end.
    void cut();
    void strokeDone(Stroke* stroke);

    QSoundEffect* m_effect = nullptr; // the stroke playing, if any
    QHash<QString, Loaded> m_loaded; // by absolute path
    quint64 m_uses = 0;
    Stroke* m_stroke = nullptr; // the stroke sounding, if any
    bool m_noDeviceLogged = false;
    std::optional<QString> m_paddedFolder;
    int m_copiesWritten = 0;
};
