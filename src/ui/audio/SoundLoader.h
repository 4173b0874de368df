#pragma once

#include "core/chimes/SoundOutput.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QProcess;

// Sounds are played by a process of their own, horolan-sound (beside the program or in
// lib/horolan): it and the sound stack it loads (Qt Multimedia, the PulseAudio client, libsndfile)
// start when a chime is three seconds away or a sound is asked for, and end a few seconds after
// the last sound, so a clock that ticks between its hours never carries them.
namespace SoundLoader {

// The output that starts horolan-sound when it is first needed; without the program (logged),
// one that gives the desktop's beep.
std::unique_ptr<SoundOutput> load();

} // namespace SoundLoader

// Talks to horolan-sound, a line a command on its input: "volume V", "prepare", "play PATH",
// "stroke PATH", "stop", "beep" (PATH percent-encoded). It answers "ended" when a stroke is out,
// "beep" for the desktop's beep, and "quiet N" when nothing has sounded for a while after the N
// commands it read: if no command followed, its input is closed and it ends.
class SoundProcess final : public SoundOutput {
    Q_OBJECT

public:
    explicit SoundProcess(QString program, QObject* parent = nullptr);
    ~SoundProcess() override;

    void play(const QString& path) override;
    void playStroke(const QString& path) override;
    void stop() override;
    void beep() override;
    void prepare() override;
    void setVolume(double volume) override;

    // horolan-sound's process id while it runs, or 0 (tests).
    qint64 processId() const;

private:
    void send(const QByteArray& command, const QString& path = {});
    void read();
    void ended();
    bool running() const { return m_process != nullptr; }
    // A stroke whose process ended or never started still ends.
    void endStroke();

    QString m_program;
    QProcess* m_process = nullptr;
    qint64 m_sent = 0; // commands written to this process
    bool m_stroking = false; // a stroke was asked for and has not ended or been cut
    quint64 m_stroke = 0; // strokes asked for
    bool m_failedLogged = false;
};
