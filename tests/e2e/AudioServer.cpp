#include "AudioServer.h"

#include <QDataStream>
#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <limits>
#include <sys/prctl.h>

namespace e2e {

namespace {

constexpr int stopGraceMs = 3000;
constexpr int recordRate = 44100;
// Enough samples to tell that the sink's monitor delivers.
constexpr int flowingMs = 200;

void dieWithParent(QProcess& process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

void stopProcess(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(stopGraceMs)) {
        process.kill();
        process.waitForFinished(stopGraceMs);
    }
}

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLocal8Bit(file.readAll());
    return text.size() > 3000 ? QStringLiteral("...") + text.right(3000) : text;
}

quint32 le32(const char* p)
{
    const auto* u = reinterpret_cast<const uchar*>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

quint16 le16(const char* p)
{
    const auto* u = reinterpret_cast<const uchar*>(p);
    return quint16(u[0] | u[1] << 8);
}

float sampleAt(const char* p)
{
    return float(qint16(le16(p))) / 32768.0f;
}

} // namespace

// WAV files

bool readWav(const QString& path, AudioClip& clip, QString* error)
{
    const auto failed = [&](const QString& why) {
        if (error)
            *error = path + QStringLiteral(": ") + why;
        return false;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(file.errorString());
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return failed(QStringLiteral("not a RIFF WAVE file"));
    int channels = 0;
    int bits = 0;
    int rate = 0;
    qsizetype pos = 12;
    while (pos + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(pos, 4);
        // A recorder stopped early leaves the data size at 0 or past the end: read to the end.
        const qsizetype size
            = std::min<qsizetype>(le32(bytes.constData() + pos + 4), bytes.size() - pos - 8);
        const char* body = bytes.constData() + pos + 8;
        if (id == "fmt " && size >= 16) {
            if (le16(body) != 1)
                return failed(QStringLiteral("not PCM"));
            channels = le16(body + 2);
            rate = int(le32(body + 4));
            bits = le16(body + 14);
        } else if (id == "data") {
            if (channels <= 0 || bits != 16 || rate <= 0)
                return failed(QStringLiteral("only 16-bit PCM is read"));
            const qsizetype frames = (size == 0 ? bytes.size() - pos - 8 : size) / (2 * channels);
            clip.sampleRate = rate;
            clip.samples.resize(size_t(frames));
            for (qsizetype f = 0; f < frames; ++f) {
                float sum = 0;
                for (int c = 0; c < channels; ++c)
                    sum += sampleAt(body + (f * channels + c) * 2);
                clip.samples[size_t(f)] = sum / float(channels);
            }
            return true;
        }
        pos += 8 + size + (size & 1);
    }
    return failed(QStringLiteral("no data chunk"));
}

bool writeWav(const QString& path, const AudioClip& clip)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const auto dataBytes = quint32(clip.samples.size() * 2);
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(clip.sampleRate)
        << quint32(clip.sampleRate * 2) << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (const float s : clip.samples)
        out << qint16(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f));
    return out.status() == QDataStream::Ok;
}

// Strokes

QList<Stroke> findStrokes(const AudioClip& clip, const StrokeOptions& options)
{
    QList<Stroke> strokes;
    const size_t window = size_t(std::max(1, clip.sampleRate * options.windowMs / 1000));
    const int quietWindows = std::max(1, options.quietMs / std::max(1, options.windowMs));
    // Silence before the recording counts as quiet, so a stroke at its very start is found.
    int quietRun = quietWindows;
    // An onset late in a window leaves it between offRms and onRms: that one window keeps the
    // quiet run before it, or the stroke rising through it would be missed.
    bool rising = false;
    bool inStroke = false;
    const auto& s = clip.samples;
    for (size_t start = 0; start + window <= s.size(); start += window) {
        double energy = 0;
        double peak = 0;
        for (size_t i = start; i < start + window; ++i) {
            energy += double(s[i]) * s[i];
            peak = std::max(peak, double(std::abs(s[i])));
        }
        const double rms = std::sqrt(energy / double(window));
        if (inStroke) {
            strokes.last().peak = std::max(strokes.last().peak, peak);
            quietRun = rms < options.offRms ? quietRun + 1 : 0;
            if (quietRun >= quietWindows)
                inStroke = false;
            continue;
        }
        if (rms >= options.onRms && quietRun >= quietWindows) {
            // The onset is the first loud sample, in this window or late in the one before.
            size_t onset = start;
            const size_t from = start >= window ? start - window : 0;
            for (size_t i = from; i < start + window; ++i) {
                if (std::abs(s[i]) >= options.onRms) {
                    onset = i;
                    break;
                }
            }
            for (size_t i = onset; i < start; ++i)
                peak = std::max(peak, double(std::abs(s[i])));
            strokes.append({ double(onset) / clip.sampleRate, peak });
            inStroke = true;
            quietRun = 0;
            rising = false;
        } else if (rms < options.offRms) {
            quietRun = rising ? 1 : quietRun + 1;
            rising = false;
        } else if (!rising && rms < options.onRms && quietRun >= quietWindows) {
            rising = true;
        } else {
            quietRun = 0;
            rising = false;
        }
    }
    // A stroke's sound ends at its last sample above a few steps of 16 bits; the millisecond
    // before the next onset holds that stroke's first, quietest samples.
    const size_t tailWindow = size_t(clip.sampleRate / 200);
    const size_t guard = size_t(clip.sampleRate / 1000);
    for (qsizetype k = 0; k < strokes.size(); ++k) {
        const auto first = size_t(std::lround(strokes[k].atSeconds * clip.sampleRate));
        size_t end = s.size();
        if (k + 1 < strokes.size())
            end = size_t(std::lround(strokes[k + 1].atSeconds * clip.sampleRate)) - guard;
        while (end > first && std::abs(s[end - 1]) < 1e-4f)
            --end;
        double peak = 0;
        for (size_t i = end > first + tailWindow ? end - tailWindow : first; i < end; ++i)
            peak = std::max(peak, double(std::abs(s[i])));
        strokes[k].endSeconds = double(end) / clip.sampleRate;
        strokes[k].endPeak = peak;
    }
    return strokes;
}

double soundEndsAt(const AudioClip& clip, double level)
{
    for (size_t i = clip.samples.size(); i > 0; --i) {
        if (std::abs(clip.samples[i - 1]) >= level)
            return double(i) / clip.sampleRate;
    }
    return 0;
}

QString describe(const QList<Stroke>& strokes)
{
    if (strokes.isEmpty())
        return QStringLiteral("no strokes");
    QStringList times;
    for (const Stroke& stroke : strokes)
        times << QString::number(stroke.atSeconds, 'f', 3);
    return QStringLiteral("%1 strokes at %2 s").arg(strokes.size()).arg(times.join(u' '));
}

// AudioServer

AudioServer::AudioServer() = default;

AudioServer::~AudioServer()
{
    stop();
}

bool AudioServer::fail(const QString& message) const
{
    m_error = message;
    return false;
}

QString AudioServer::folder() const
{
    return m_dir ? m_dir->path() : QString();
}

QString AudioServer::serverAddress() const
{
    return QStringLiteral("unix:") + folder() + QStringLiteral("/native");
}

QStringList AudioServer::clientEnvironment() const
{
    return { QStringLiteral("PULSE_SERVER=") + serverAddress() };
}

QString AudioServer::log() const
{
    if (!m_dir)
        return {};
    // Without the warnings that every start here gives: root, no cookie, no D-Bus.
    QStringList lines;
    for (const QString& line :
        readText(m_dir->filePath(QStringLiteral("pulseaudio.log"))).split(u'\n')) {
        if (!line.contains(QLatin1String("authkey.c")) && !line.contains(QLatin1String("D-Bus"))
            && !line.contains(QLatin1String("not intended to be run as root")))
            lines << line;
    }
    return lines.join(u'\n').trimmed();
}

bool AudioServer::isRunning() const
{
    if (!m_process)
        return false;
    m_process->waitForFinished(0);
    return m_process->state() != QProcess::NotRunning;
}

QProcessEnvironment AudioServer::clientProcessEnvironment() const
{
    // Nothing of a desktop session: no other server, no D-Bus, no cookie of the user's.
    const auto system = QProcessEnvironment::systemEnvironment();
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"),
        system.value(QStringLiteral("PATH"), QStringLiteral("/usr/local/bin:/usr/bin:/bin")));
    env.insert(QStringLiteral("HOME"), folder() + QStringLiteral("/home"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder() + QStringLiteral("/runtime"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    env.insert(QStringLiteral("PULSE_SERVER"), serverAddress());
    return env;
}

bool AudioServer::start()
{
    if (isRunning())
        return true;
    for (const char* tool : { "pulseaudio", "pactl", "parec" }) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return fail(QString::fromLatin1(tool)
                + QStringLiteral(" is not installed: run tools/install-deps --test"));
    }
    // Short: a unix socket's path has at most 107 bytes.
    m_dir = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/horolan-pa-XXXXXX"));
    if (!m_dir->isValid())
        return fail(QStringLiteral("cannot make a temporary folder: ") + m_dir->errorString());
    const QString runtime = m_dir->filePath(QStringLiteral("runtime"));
    for (const QString& dir : { m_dir->filePath(QStringLiteral("home")), runtime,
             m_dir->filePath(QStringLiteral("state")) })
        QDir().mkpath(dir);
    QFile::setPermissions(
        runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcessEnvironment env = clientProcessEnvironment();
    env.remove(QStringLiteral("PULSE_SERVER"));
    env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), runtime);
    env.insert(QStringLiteral("PULSE_STATE_PATH"), m_dir->filePath(QStringLiteral("state")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath(QStringLiteral("home/.config")));

    m_process = std::make_unique<QProcess>();
    m_process->setProcessEnvironment(env);
    m_process->setWorkingDirectory(m_dir->path());
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_dir->filePath(QStringLiteral("pulseaudio.log")));
    m_process->setStandardInputFile(QProcess::nullDevice());
    dieWithParent(*m_process);
    // -n: no default script, so no hardware, X11 or D-Bus modules. No real-time priority: the
    // null sink keeps time by itself, and the busy test machine needs its cores.
    m_process->start(QStringLiteral("pulseaudio"),
        { QStringLiteral("--daemonize=no"), QStringLiteral("--system=no"), QStringLiteral("-n"),
            QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
            QStringLiteral("--realtime=no"), QStringLiteral("--high-priority=no"),
            QStringLiteral("--no-cpu-limit=yes"), QStringLiteral("--log-target=stderr"),
            QStringLiteral("--load=module-null-sink sink_name=") + QLatin1String(sinkName),
            QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=")
                + m_dir->filePath(QStringLiteral("native")) });
    if (!m_process->waitForStarted(toolTimeoutMs))
        return fail(QStringLiteral("cannot start pulseaudio: ") + m_process->errorString());

    QString lastError;
    const bool answered = waitUntil(
        [&] {
            if (!isRunning())
                return true;
            const ToolResult r = run(QStringLiteral("pactl"), { QStringLiteral("info") }, 2000);
            lastError = r.error;
            return r.ok;
        },
        startTimeoutMs, 100);
    if (!answered || !isRunning()) {
        const QString why = !isRunning() ? QStringLiteral("pulseaudio ended at start")
                                         : QStringLiteral("pulseaudio gave no answer within "
                                                          "%1 ms (%2)")
                                               .arg(startTimeoutMs)
                                               .arg(lastError);
        const QString serverLog = log();
        stop();
        return fail(why + QStringLiteral("; its log:\n") + serverLog);
    }
    return true;
}

void AudioServer::stop()
{
    if (m_process)
        stopProcess(*m_process);
    m_process.reset();
}

ToolResult AudioServer::run(const QString& program, const QStringList& args, int timeoutMs) const
{
    const ToolResult r = runTool(program, args, clientProcessEnvironment(), timeoutMs);
    if (!r.ok)
        m_error = r.error;
    return r;
}

// AudioRecording

AudioRecording::AudioRecording(AudioServer& server)
    : m_server(server)
{
    m_clip.sampleRate = recordRate;
}

AudioRecording::~AudioRecording()
{
    stop();
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

bool AudioRecording::fail(const QString& message)
{
    m_error = message;
    return false;
}

bool AudioRecording::start()
{
    if (m_process)
        return fail(QStringLiteral("the recording has started already"));
    if (!m_server.isRunning())
        return fail(QStringLiteral("the audio server is not running"));
    static int serial = 0;
    m_path = m_server.folder() + QStringLiteral("/recording-%1.raw").arg(++serial);

    // Raw samples straight to a file, so they can be read while parec still writes; a low
    // latency keeps the delivered samples close to the wall clock.
    m_process = std::make_unique<QProcess>();
    m_process->setProcessEnvironment(m_server.clientProcessEnvironment());
    m_process->setStandardOutputFile(m_path);
    m_process->setStandardErrorFile(m_path + QStringLiteral(".log"));
    dieWithParent(*m_process);
    m_timer.start();
    m_startMs = std::numeric_limits<double>::max();
    m_process->start(QStringLiteral("parec"),
        { QStringLiteral("--device=") + QLatin1String(AudioServer::sinkName)
                + QStringLiteral(".monitor"),
            QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
            QStringLiteral("--rate=%1").arg(recordRate), QStringLiteral("--channels=1"),
            QStringLiteral("--latency-msec=20") });
    if (!m_process->waitForStarted(toolTimeoutMs))
        return fail(QStringLiteral("cannot start parec: ") + m_process->errorString());

    // The null sink may take a second or more to deliver its first block.
    const bool flowing = waitUntil(
        [&] {
            readNew();
            return m_clip.seconds() * 1000 >= flowingMs
                || m_process->state() == QProcess::NotRunning;
        },
        startTimeoutMs, 20);
    if (!flowing || m_process->state() == QProcess::NotRunning) {
        return fail(QStringLiteral("parec recorded %1 ms in %2 ms: %3")
                        .arg(qRound(m_clip.seconds() * 1000))
                        .arg(m_timer.elapsed())
                        .arg(readText(m_path + QStringLiteral(".log"))));
    }
    return true;
}

void AudioRecording::stop()
{
    if (!m_process)
        return;
    readNew();
    stopProcess(*m_process);
    readNew();
}

void AudioRecording::readNew()
{
    if (m_path.isEmpty())
        return;
    if (!m_file.isOpen()) {
        m_file.setFileName(m_path);
        if (!m_file.open(QIODevice::ReadOnly))
            return;
    }
    const qint64 now = m_timer.elapsed();
    m_pending += m_file.readAll();
    const qsizetype count = m_pending.size() / 2;
    m_clip.samples.reserve(m_clip.samples.size() + size_t(count));
    for (qsizetype i = 0; i < count; ++i)
        m_clip.samples.push_back(sampleAt(m_pending.constData() + 2 * i));
    m_pending.remove(0, count * 2);
    // Samples arrive after they sound, so each reading bounds the start from above.
    if (!m_clip.samples.empty())
        m_startMs = std::min(m_startMs, double(now) - m_clip.seconds() * 1000);
}

const AudioClip& AudioRecording::clip()
{
    readNew();
    return m_clip;
}

bool AudioRecording::waitForStrokes(int count, int timeoutMs)
{
    return waitUntil([&] { return strokes().size() >= count; }, timeoutMs, 50);
}

bool AudioRecording::waitForQuiet(double untilSeconds, int quietMs, int timeoutMs)
{
    return waitUntil(
        [&] {
            const AudioClip& c = clip();
            if (c.seconds() < untilSeconds)
                return false;
            const QList<Stroke> found = findStrokes(c);
            return found.isEmpty() || c.seconds() - found.last().atSeconds >= quietMs / 1000.0;
        },
        timeoutMs, 50);
}

} // namespace e2e
