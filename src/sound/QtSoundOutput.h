#pragma once

#include "sound/SoundOutput.h"

#include <QHash>
#include <QObject>
#include <QTemporaryDir>

#include <memory>
#include <optional>

class QSoundEffect;
struct WavInfo;

// Plays chimes through Qt Multimedia, one QSoundEffect per sound, made at the first play so that
// a clock that never chimes never loads the audio stack. Without a sound device chimes are beeps,
// and so is a file whose header claims more sound than it holds (Qt's loader would hang on it).
class QtSoundOutput : public QObject, public SoundOutput {
    Q_OBJECT

public:
    // A synchronous play lasts the file's own length, then waits up to this for the end signal.
    static constexpr int endMarginMs = 300;
    static constexpr int maxWaitMs = 60000;
    // How late a sound may start before the wait stops counting on it.
    static constexpr int startSlackMs = 1000;

    explicit QtSoundOutput(QObject* parent = nullptr);
    ~QtSoundOutput() override;

    // An empty path only stops; a file that cannot be played gives a beep, as the desktop's
    // default sound would.
    void playAsync(const QString& path) override;
    // False, without a beep, for a file that is missing or not PCM WAVE.
    bool playSync(const QString& path) override;
    void stop() override;
    void beep() override;

protected:
    // Asked at each play; tests override it to drive QSoundEffect without a sound server.
    virtual bool hasAudioOutput() const;

private:
    struct Wait;

    // The file with a short silence after its samples: QSoundEffect stops the output as soon as
    // it has handed over the last data and so drops what the sound server still holds, a
    // click at the end of every stroke. The silence is what gets dropped instead. Made once per
    // file; the file itself when a copy cannot be made.
    QString paddedCopy(const QString& path, const WavInfo& info);

    // Cuts what plays and starts the file, or a beep in its place; the length of the sound the
    // file really holds (a header may claim hours), or empty when the file was refused.
    std::optional<qint64> start(const QString& path);
    // Silences the current sound and ends a playSync() waiting for it.
    void cut();

    QSoundEffect* m_effect = nullptr;
    Wait* m_wait = nullptr;
    bool m_noDeviceLogged = false;
    std::unique_ptr<QTemporaryDir> m_padded;
    QHash<QString, QString> m_paddedPaths;
};
