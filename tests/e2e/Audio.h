#pragma once

#include "E2eHarness.h"

#include <QtEndian>

// The clock's chimes as sound: a private PulseAudio with one null sink, parec recording its
// monitor, and the strokes found in that recording.
namespace e2e {

// One stroke: where it starts, where its sound ends and how loud its last 5 ms are (near 0 when
// it rang out, not when it was cut off).
struct Stroke {
    double at = 0;
    double end = 0;
    double endPeak = 0;
};

inline QList<Stroke> findStrokes(const std::vector<float>& s, int rate)
{
    // A stroke starts where the RMS of a 10 ms window reaches 0.05 after 40 ms below 0.02. An
    // onset late in a window leaves it between the two: that window keeps the quiet run before
    // it (rising), or the stroke rising through it would be missed.
    const size_t window = size_t(rate / 100);
    QList<Stroke> strokes;
    int quiet = 4; // silence before the recording counts as quiet
    bool rising = false;
    for (size_t start = 0; start + window <= s.size(); start += window) {
        double energy = 0;
        for (size_t i = start; i < start + window; ++i)
            energy += double(s[i]) * s[i];
        const double rms = std::sqrt(energy / double(window));
        if (rms >= 0.05 && quiet >= 4) {
            // The onset is the first loud sample, in this window or late in the one before.
            size_t onset = start >= window ? start - window : 0;
            while (onset < start && std::abs(s[onset]) < 0.05f)
                ++onset;
            strokes.append(Stroke { double(onset) / rate });
            quiet = 0;
        } else {
            quiet = rms < 0.02 ? (rising ? 1 : quiet + 1)
                               : (!rising && rms < 0.05 && quiet >= 4 ? quiet : 0);
        }
        rising = rms >= 0.02 && rms < 0.05 && quiet >= 4;
    }
    // A stroke's sound ends at its last sample above a few steps of 16 bits; the millisecond
    // before the next onset holds that stroke's first, quietest samples.
    for (qsizetype k = 0; k < strokes.size(); ++k) {
        const auto first = size_t(strokes[k].at * rate);
        size_t end
            = k + 1 < strokes.size() ? size_t(strokes[k + 1].at * rate) - rate / 1000 : s.size();
        while (end > first && std::abs(s[end - 1]) < 1e-4f)
            --end;
        for (size_t i = std::max(first, end - std::min(end, size_t(rate / 200))); i < end; ++i)
            strokes[k].endPeak = std::max(strokes[k].endPeak, double(std::abs(s[i])));
        strokes[k].end = double(end) / rate;
    }
    return strokes;
}

inline QString describe(const QList<Stroke>& strokes)
{
    QString text = u"%1 strokes"_s.arg(strokes.size());
    for (const Stroke& s : strokes)
        text += u", at %1 s ringing %2 ms to %3"_s.arg(s.at)
                    .arg(qRound((s.end - s.at) * 1000))
                    .arg(s.endPeak);
    return text;
}

// Times in the recording relate to the test's through marks: at(mark()) is where now falls.
class Audio {
public:
    static constexpr int rate = 44100;

    QString pulseServer() const { return u"PULSE_SERVER=unix:"_s + m_dir.filePath(u"native"_s); }
    // Nothing of a desktop session: no other server, no D-Bus, no cookie of the user's.
    QProcessEnvironment env(bool client = true) const
    {
        QProcessEnvironment env;
        for (const QString& name :
            words(u"HOME XDG_RUNTIME_DIR PULSE_RUNTIME_PATH PULSE_STATE_PATH"_s))
            env.insert(name, m_dir.path());
        env.insert(u"PATH"_s, qEnvironmentVariable("PATH"));
        env.insert(u"PULSE_SERVER"_s, client ? pulseServer().section(u'=', 1) : QString());
        return env;
    }

    bool start()
    {
        // -n: no default script, so no hardware, X11 or D-Bus modules. No real-time priority:
        // the null sink keeps time by itself, and the busy test machine needs its cores.
        const QString log = m_dir.filePath(u"pulseaudio.log"_s);
        m_server = spawn(
            words(u"pulseaudio --daemonize=no -n --exit-idle-time=-1 --use-pid-file=no "
                  "--realtime=no --high-priority=no --no-cpu-limit=yes --log-target=stderr"_s)
                << u"--load=module-null-sink sink_name=horolan"_s
                << u"--load=module-native-protocol-unix auth-anonymous=1 socket="_s
                    + m_dir.filePath(u"native"_s),
            env(false), log);
        bool ok = false;
        const auto answers = [&] { return run({ u"pactl"_s, u"info"_s }, env(), &ok), ok; };
        return (m_server && waitUntil(answers, 10000, 100))
            || fail(u"no pulseaudio: "_s + readFile(log));
    }

    bool record() // anew, from now
    {
        // Raw samples to a file, read while parec writes; a low latency keeps them near the wall
        // clock. The null sink may take a second or more to deliver its first block.
        m_parec.reset();
        m_file.close();
        m_file.setFileName(m_dir.filePath(u"recording-%1.raw"_s.arg(++m_recordings)));
        m_samples.clear();
        m_timer.start();
        m_startMs = 1e12;
        const QString parec
            = u"parec --device=horolan.monitor --raw --format=s16le --rate=44100 --channels=1 --latency-msec=20"_s;
        m_parec = spawn(words(parec), env(), m_file.fileName(), false);
        return (m_parec && waitUntil([&] { return samples().size() >= rate / 5; }, 10000, 20))
            || fail(u"parec records nothing: "_s + readFile(m_file.fileName() + u".err"_s));
    }

    const std::vector<float>& samples()
    {
        if (m_file.isOpen() || m_file.open(QIODevice::ReadOnly)) {
            const qint64 now = m_timer.elapsed();
            const QByteArray bytes = m_file.read(m_file.bytesAvailable() / 2 * 2);
            for (qsizetype i = 0; i < bytes.size(); i += 2)
                m_samples.push_back(qFromLittleEndian<qint16>(bytes.constData() + i) / 32768.0f);
            // Samples arrive after they sound, so each reading bounds the start from above.
            if (!m_samples.empty())
                m_startMs = std::min(m_startMs, now - m_samples.size() * 1000.0 / rate);
        }
        return m_samples;
    }

    QList<Stroke> strokes() { return findStrokes(samples(), rate); }
    qint64 mark() const { return m_timer.elapsed(); }
    double at(qint64 mark) const { return (mark - m_startMs) / 1000.0; }

    // Until the recording reaches from and no stroke has begun in its last second.
    bool waitForQuiet(double from)
    {
        const auto quiet = [&] {
            const double length = double(samples().size()) / rate;
            return length >= from && (strokes().isEmpty() || length - strokes().last().at >= 1.0);
        };
        return waitUntil(quiet, 10000)
            || fail(u"no quiet after %1 s: "_s.arg(from) + describe(strokes()));
    }

    double silentFrom() // just after the last sample at or above 0.02
    {
        size_t i = samples().size();
        while (i > 0 && std::abs(m_samples[i - 1]) < 0.02f)
            --i;
        return double(i) / rate;
    }

private:
    QTemporaryDir m_dir { u"/tmp/horolan-pa-XXXXXX"_s }; // a socket path has at most 107 bytes
    Process m_server;
    Process m_parec; // ends first
    QFile m_file;
    std::vector<float> m_samples;
    QElapsedTimer m_timer;
    int m_recordings = 0;
    double m_startMs = 0; // the recording's first sample on m_timer, as early as readings allow
};

} // namespace e2e
