#pragma once

#include "E2eHarness.h"

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// Real sound for end-to-end tests: a private PulseAudio server whose only output is a null sink,
// a recording of what reaches that sink, and a finder of the strokes in a recording. Nothing
// touches the machine's own audio; every wait is bounded and both classes clean up on destruction.
namespace e2e {

// Mono audio, samples from -1 to 1.
struct AudioClip {
    int sampleRate = 44100;
    std::vector<float> samples;
    double seconds() const { return sampleRate > 0 ? double(samples.size()) / sampleRate : 0; }
};

// Reads a 16-bit PCM WAV file, channels mixed down; false with a reason in error.
bool readWav(const QString& path, AudioClip& clip, QString* error = nullptr);
bool writeWav(const QString& path, const AudioClip& clip);

struct Stroke {
    double atSeconds = 0; // onset: the first sample of the stroke above the onset level
    double peak = 0; // the largest sample of the stroke, 0 to 1
    // The stroke's last sound before digital silence or the next stroke, and how loud the 5 ms
    // before it are: a sound that fades out ends near 0, one cut off while it rings does not.
    double endSeconds = 0;
    double endPeak = 0;
};

// A stroke starts where the short-time RMS rises to onRms after at least quietMs below offRms.
struct StrokeOptions {
    int windowMs = 10;
    double onRms = 0.05;
    double offRms = 0.02;
    int quietMs = 40;
};

QList<Stroke> findStrokes(const AudioClip& clip, const StrokeOptions& options = {});
QString describe(const QList<Stroke>& strokes); // "2 strokes at 0.512 1.034 s", for messages
// Where the clip falls silent for good: just after its last sample at or above level; 0 if none is.
double soundEndsAt(const AudioClip& clip, double level = 0.02);

// pulseaudio with its own HOME, runtime and state folders, no D-Bus, no hardware, one null sink
// and a native socket that any local client may use. Runs as root too (it warns, and works).
class AudioServer {
public:
    static constexpr const char* sinkName = "horolan_sink";

    AudioServer();
    ~AudioServer();
    AudioServer(const AudioServer&) = delete;
    AudioServer& operator=(const AudioServer&) = delete;

    // Starts the server and waits until pactl gets an answer.
    bool start();
    void stop();
    bool isRunning() const;
    QString serverAddress() const; // "unix:/tmp/.../native"
    // What a client needs to play here: {"PULSE_SERVER=unix:..."}, for ClockApp::Options.
    QStringList clientEnvironment() const;
    // Runs pactl, paplay or parec against this server.
    ToolResult run(
        const QString& program, const QStringList& args, int timeoutMs = toolTimeoutMs) const;
    QString folder() const; // private to this server, removed with it
    QString log() const; // the server's own messages
    QString error() const { return m_error; }

private:
    friend class AudioRecording;
    QProcessEnvironment clientProcessEnvironment() const;
    bool fail(const QString& message) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    mutable QString m_error;
};

// What reaches the server's sink, from start() on, as 44.1 kHz mono. Times in the recording are
// related to the test's own timeline through marks: markMs() when something happens, then
// seconds(mark) is where it falls in the recording.
class AudioRecording {
public:
    explicit AudioRecording(AudioServer& server);
    ~AudioRecording();
    AudioRecording(const AudioRecording&) = delete;
    AudioRecording& operator=(const AudioRecording&) = delete;

    // Starts parec on the sink's monitor and waits until samples flow.
    bool start();
    void stop();
    // Everything recorded so far.
    const AudioClip& clip();
    QList<Stroke> strokes(const StrokeOptions& options = {})
    {
        return findStrokes(clip(), options);
    }
    // Polls the recording until at least count strokes are in it.
    bool waitForStrokes(int count, int timeoutMs);
    // Waits until the recording reaches untilSeconds and quietMs have passed since the last
    // stroke began;
    // false when that did not happen within timeoutMs.
    bool waitForQuiet(double untilSeconds, int quietMs, int timeoutMs);

    qint64 markMs() const { return m_timer.elapsed(); }
    // Where a mark falls in the recording. The best estimate of the recording's start improves as
    // samples arrive, so convert marks late, after clip().
    double seconds(qint64 markMs) const { return (markMs - m_startMs) / 1000.0; }
    double nowSeconds() const { return seconds(markMs()); }
    QString error() const { return m_error; }

private:
    bool fail(const QString& message);
    void readNew();

    AudioServer& m_server;
    std::unique_ptr<QProcess> m_process;
    QString m_path;
    QFile m_file;
    AudioClip m_clip;
    QByteArray m_pending;
    QElapsedTimer m_timer;
    // The recording's first sample on m_timer: the earliest that the samples seen so far allow.
    double m_startMs = 0;
    QString m_error;
};

} // namespace e2e
