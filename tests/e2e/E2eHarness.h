#pragma once

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/prctl.h>

// The real clock on a private Xvfb with openbox, driven by X tools; a failed condition says why.
namespace e2e {

using namespace Qt::StringLiterals;
using QTest::qWaitFor;

inline QString why;
constexpr QRgb rootColour = qRgb(0, 255, 255); // in none of the pictures

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        e2e::why.clear();                                                                          \
        QVERIFY2(condition, qPrintable(e2e::why));                                                 \
    } while (false)

// Start-up under the sanitizers takes a few times as long.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOROLAN_E2E_SANITIZED
#endif
#endif
#ifdef HOROLAN_E2E_SANITIZED
constexpr int startupFactor = 4;
#else
constexpr int startupFactor = 1;
#endif

inline bool fail(const QString& reason)
{
    why = reason;
    return false;
}

inline QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll().right(4000)) : "";
}

// The output of a command given 20 s, or none when it did not end with exit code 0.
inline std::optional<QByteArray> run(const QString& command)
{
    QProcess process;
    process.startCommand(command);
    if (process.waitForFinished(20000) && !process.exitStatus() && !process.exitCode())
        return process.readAllStandardOutput();
    fail(command + u": "_s + process.readAllStandardError());
    return std::nullopt;
}

inline QString x(const QString& command)
{
    return QString::fromUtf8(run(command).value_or("")).trimmed();
}

// A process that ends with its owner, or with the test if killed; output in out, errors in out.err.
struct Helper : QProcess {
    Helper(const QString& command, const QString& out)
    {
        setStandardOutputFile(out);
        setStandardErrorFile(out + u".err"_s);
        setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        startCommand(command);
    }
    ~Helper() override { terminate(), waitForFinished(3000); }
};

// Xvfb and openbox, ready once they wrote the display and ran the startup: the test's display.
class XServer {
public:
    bool start()
    {
        const QString display = m_dir.filePath(u"display"_s), ready = m_dir.filePath(u"ready"_s);
        m_xvfb.emplace(u"Xvfb -displayfd 1 -screen 0 1024x768x24 -dpi 96 -noreset"_s, display);
        if (!qWaitFor([&] { return readFile(display).endsWith(u'\n'); }, 10000))
            return fail(u"no Xvfb: "_s + readFile(display + u".err"_s));
        qputenv("DISPLAY", ':' + readFile(display).trimmed().toUtf8());
        qputenv("HOME", m_dir.path().toUtf8()); // openbox's and trayer's
        qunsetenv("XAUTHORITY");
        m_wm.emplace(u"openbox --startup \"touch %1\""_s.arg(ready), ready + u".log"_s);
        return (qWaitFor([&] { return QFileInfo::exists(ready); })
                   || fail(readFile(ready + u".log.err"_s)))
            && run(u"xsetroot -solid "_s + QColor(rootColour).name());
    }

private:
    QTemporaryDir m_dir;
    std::optional<Helper> m_xvfb;
    std::optional<Helper> m_wm; // ends first
};

// The left button, Ctrl held if asked, in steps with a pause before each as a hand moves.
inline bool drag(QPoint from, QPoint to, bool ctrl = false, int steps = 5, double pause = 0.03)
{
    const auto move = [](QPoint p) { return u" mousemove %1 %2"_s.arg(p.x()).arg(p.y()); };
    const QString wait = pause > 0 ? u" sleep %1"_s.arg(pause) : QString();
    QString chain
        = u"xdotool"_s + move(from) + (ctrl ? u" keydown ctrl"_s : u""_s) + u" mousedown 1"_s;
    for (int i = 1; i <= steps; ++i)
        chain += wait + move(from + (to - from) * i / steps);
    return run(chain + wait + u" mouseup 1"_s + (ctrl ? u" keyup ctrl"_s : u""_s)).has_value();
}

inline QImage shot(const QRect& rect)
{
    const QByteArray png = run(u"import -window root png:-"_s).value_or("");
    return QImage::fromData(png).convertToFormat(QImage::Format_RGB32).copy(rect);
}

// The share of a picture's pixels that the shot shows, or -1 when the window is cut otherwise than
// where the picture is transparent or has its key colour, which is in its top-left corner here.
inline double match(const QImage& shot, const QImage& picture, int tolerance = 4)
{
    int same = 0, own = 0;
    for (int i = 0; i < picture.width() * picture.height() && shot.size() == picture.size(); ++i) {
        const QPoint at(i % picture.width(), i / picture.width());
        const QRgb want = picture.pixel(at), got = shot.pixel(at);
        const bool cut = !qAlpha(want) || want == picture.pixel(0, 0);
        if (cut != (got == rootColour))
            return -1;
        const auto near
            = [&](int (*part)(QRgb)) { return qAbs(part(got) - part(want)) <= tolerance; };
        own += !cut;
        same += !cut && near(qRed) && near(qGreen) && near(qBlue);
    }
    return own ? double(same) / own : -1;
}

// How often a process's threads went to sleep and woke again, a second, over ms: its wakeups.
inline double wakeupsPerSecond(qint64 pid, int ms)
{
    const auto count = [pid] {
        qint64 total = 0;
        const QDir tasks(u"/proc/%1/task"_s.arg(pid));
        for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString status = readFile(tasks.filePath(task + u"/status"_s));
            total += QRegularExpression(u"\\nvoluntary_ctxt_switches:\\s*(\\d+)"_s)
                         .match(status)
                         .captured(1)
                         .toLongLong();
        }
        return total;
    };
    const qint64 before = count();
    QTest::qWait(ms);
    return (count() - before) * 1000.0 / ms;
}

struct Window {
    quint64 id = 0; // none when it is not shown
    QRect geometry; // on the root
    bool overrideRedirect = false; // menus, tooltips and the tray icon
};

inline Window window(quint64 id)
{
    const QString text = x(u"xwininfo -id %1"_s.arg(id));
    const auto field = [&](const char* label) {
        const auto value = QRegularExpression(label + u":\\s*(\\S*)"_s).match(text).captured(1);
        return value == u"IsViewable"_s || value == u"yes"_s ? 1 : value.toInt();
    };
    const QRect at(field("left X"), field("left Y"), field("Width"), field("Height"));
    return field("Map State") ? Window { id, at, field("Redirect State") == 1 } : Window {};
}

inline QList<Window> windows(qint64 pid) // those shown
{
    QList<Window> found;
    const QString ids = x(u"xdotool search --onlyvisible --pid %1"_s.arg(pid));
    for (const QString& id : ids.split(u'\n', Qt::SkipEmptyParts))
        found << window(id.toULongLong());
    return found;
}

// The clock with its own home and settings (Quarnet.conf's text), LANG=C and the test's zone, on a
// wall clock faked from "YYYY-MM-DD HH:MM:SS" if asked, standing still if frozen; environment
// holds more "NAME=value " assignments (QT_SCALE_FACTOR=2).
class Clock {
public:
    Window window;
    qint64 pid = 0;
    qint64 startedAt = 0; // on the real wall clock, in ms: its faked clock shows the start then

    explicit Clock(const QString& settings = {}, const QString& fakeStart = {}, bool frozen = false,
        const QString& environment = {})
    {
        // From nothing, so nothing of the desktop leaks in; without a bus address libdbus would
        // launch one. A sanitizer runtime must be loaded first, the fake clock next. Its log, shown
        // when a test fails, is timed from its start.
        const auto env = [](const char* name) { return qEnvironmentVariable(name); };
        m_command
            = u"env -i HOME=%1/home XDG_RUNTIME_DIR=%1 DISPLAY=%2 TZ=%3 PATH=%4 "
              "PULSE_SERVER=%5 LANG=C QT_QPA_PLATFORM=xcb ASAN_OPTIONS=verify_asan_link_order=0 "
              "DBUS_SESSION_BUS_ADDRESS=unix:path=/none "
              "QT_LOGGING_RULES=horolan.main.debug=true;horolan.sound.debug=true "
              "\"QT_MESSAGE_PATTERN=%{time process} %{category}: %{message}\" "_s.arg(
                  m_dir.path(), env("DISPLAY"), env("TZ"), env("PATH"), env("PULSE_SERVER"))
            + environment;
        const QDateTime fake = QDateTime::fromString(fakeStart, u"yyyy-MM-dd HH:mm:ss"_s);
        m_fakeEpochMs = fake.isValid() ? fake.toMSecsSinceEpoch() : 0;
        if (fake.isValid())
            m_command
                += u"LD_PRELOAD=" HOROLAN_FAKECLOCK_LIB
                   " HOROLAN_FAKE_EPOCH_MS=%1 HOROLAN_FAKE_AT_MS=@at HOROLAN_FAKE_FROZEN=%2 "_s
                       .arg(fake.toMSecsSinceEpoch())
                       .arg(int(frozen));
        m_command += u'"' + qEnvironmentVariable("HOROLAN_BIN") + u'"';
        QDir().mkpath(m_dir.filePath(u"home/.config"_s));
        QFile file(m_dir.filePath(u"home/.config/Quarnet.conf"_s));
        if (file.open(QIODevice::WriteOnly))
            file.write(settings.toUtf8());
    }
    ~Clock()
    {
        if (m_app && QTest::currentTestFailed())
            qWarning().noquote() << u"settings:\n"_s + settings() + u"\noutput:\n"_s + output();
    }

    // One more variable of its environment ("NAME=value"), before it starts.
    void setEnv(const QString& assignment)
    {
        m_command.insert(m_command.lastIndexOf(u'"', m_command.size() - 2), assignment + u' ');
    }
    // The offset of its faked wall clock from the real one, in ms, once started.
    qint64 fakeOffsetMs() const { return m_fakeEpochMs - startedAt; }

    // The same clock started once more, as a user who forgot it runs, or with files to install;
    // ends with the test.
    std::unique_ptr<Helper> startAgain(const QString& arguments = {}) const
    {
        return std::make_unique<Helper>(
            m_command + u' ' + arguments, m_dir.filePath(u"log.again"_s));
    }
    bool install(const QString& from, const QString& to) const
    {
        const QString path = m_dir.filePath(u"home/.local/share/horolan/"_s + to);
        return QDir().mkpath(path) && run(u"cp -rT \"%1\" \"%2\""_s.arg(from, path));
    }
    QString settings() const { return readFile(m_dir.filePath(u"home/.config/Quarnet.conf"_s)); }
    QString home() const { return m_dir.filePath(u"home"_s); }
    QString output() const { return readFile(m_dir.filePath(u"log.err"_s)); }
    bool saved(const QString& line) const
    {
        return settings().split(u'\n').contains(line) || fail(u"not saved: "_s + line);
    }
    // By XTEST to the focused window, as Qt ignores sent keys; openbox focuses after it activates.
    bool key(const QString& keys) const
    {
        const QString focus
            = u"xdotool windowactivate --sync %1 windowfocus --sync %1"_s.arg(window.id);
        return run(focus + u" key --delay 30 "_s + keys).has_value();
    }
    bool shown() const { return e2e::window(window.id).id; }
    Window worldTime() const // its world time window, when shown
    {
        for (const Window& w : windows(pid))
            if (x(u"xprop -id %1 WM_NAME"_s.arg(w.id)).contains(u"World Time"_s))
                return w;
        return {};
    }
    bool running() const { return m_app && !m_app->waitForFinished(0) && m_app->state(); }
    bool signal(int number) const { return running() && ::kill(pid_t(pid), number) == 0; }

    bool start() // and wait for its window
    {
        startedAt = QDateTime::currentMSecsSinceEpoch();
        m_app.emplace(QString(m_command).replace(u"@at"_s, QString::number(startedAt)),
            m_dir.filePath(u"log"_s));
        pid = m_app->waitForStarted() ? m_app->processId() : 0;
        // The tray icon is the clock's too, but override-redirect like its menus; the world time
        // window may come first.
        const auto mapped = [&] {
            window = {};
            for (const Window& w : windows(pid))
                if (!w.overrideRedirect
                    && !x(u"xprop -id %1 WM_NAME"_s.arg(w.id)).contains(u"World Time"_s))
                    window = w;
            return window.id || !running();
        };
        return (qWaitFor(mapped, 10000) && running()) || fail(u"no window:\n"_s + output());
    }

    bool closed(int timeoutMs = 5000) const // by itself, with exit code 0
    {
        return (m_app->waitForFinished(timeoutMs) || !running()) && !m_app->exitStatus()
            && !m_app->exitCode();
    }

private:
    QTemporaryDir m_dir;
    QString m_command;
    qint64 m_fakeEpochMs = 0;
    mutable std::optional<Helper> m_app;
};

} // namespace e2e
