#pragma once

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimeZone>

#include <csignal>
#include <optional>
#include <sys/prctl.h>

// The real clock on a private Xvfb with openbox, driven with xdotool and read back with
// xwininfo, xprop and screenshots. Every wait is bounded; what went wrong last is in lastError.
namespace e2e {

using namespace Qt::StringLiterals;
using Env = QProcessEnvironment;

inline QString lastError;

// QVERIFY2 that says what the harness saw go wrong.
#define CHECK(condition)                                                                           \
    do {                                                                                           \
        e2e::lastError.clear();                                                                    \
        QVERIFY2(condition, qPrintable(e2e::lastError));                                           \
    } while (false)

inline bool fail(const QString& why)
{
    lastError = why;
    return false;
}

inline QStringList words(const QString& text)
{
    return text.split(u' ', Qt::SkipEmptyParts);
}

inline QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll().right(4000)) : "";
}

inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000, int pollMs = 50)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(pollMs);
    }
    return true;
}

// The output of a command given 20 s to end; none unless it ended with exit code 0.
inline std::optional<QByteArray> run(const QStringList& command, const Env& env)
{
    QProcess process; // its destructor kills it if need be
    process.setProcessEnvironment(env);
    process.start(command.first(), command.mid(1));
    if (process.waitForFinished(20000) && !process.exitStatus() && !process.exitCode())
        return process.readAllStandardOutput();
    fail(command.join(u' ') + u": "_s + process.readAllStandardError());
    return std::nullopt;
}

// A helper that ends with its owner (SIGTERM, then SIGKILL), or with the test, even one killed
// by CTest's timeout; its output goes to log.
struct Stop {
    void operator()(QProcess* process) const
    {
        process->terminate();
        process->waitForFinished(3000);
        delete process;
    }
};
using Process = std::unique_ptr<QProcess, Stop>;

inline Process spawn(QStringList command, const Env& env, const QString& log, bool merge = true)
{
    Process process(new QProcess);
    process->setProcessEnvironment(env);
    process->setStandardOutputFile(log, QIODevice::Append);
    process->setStandardErrorFile(merge ? log : log + u".err"_s, QIODevice::Append);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process->start(command.first(), command.mid(1));
    return process->waitForStarted() ? std::move(process) : nullptr;
}

inline bool copyFolder(const QString& from, const QString& to)
{
    const QStringList names = QDir(from).entryList(QDir::Files);
    const auto copy = [&](const QString& n) { return QFile::copy(from + u'/' + n, to + u'/' + n); };
    return (!names.isEmpty() && QDir().mkpath(to) && std::all_of(names.begin(), names.end(), copy))
        || fail(u"cannot copy "_s + from);
}

struct Window {
    quint64 id = 0;
    QRect geometry; // on the root
    bool viewable = false;
    bool overrideRedirect = false; // menus, tooltips and the tray icon
};

class XServer {
public:
    static constexpr QRgb root = qRgb(0, 255, 255); // in none of the skins' pictures
    Env env = Env::systemEnvironment();

    bool start()
    {
        // Xvfb picks a free display and writes its number once it is ready; openbox runs its
        // startup command once it manages windows (one mapped before would be lost).
        const QString number = m_dir.filePath(u"display"_s);
        const QString ready = m_dir.filePath(u"openbox.ready"_s);
        const QString xvfb = u"Xvfb -displayfd 1 -screen 0 1024x768x24 -dpi 96 -noreset"_s;
        m_xvfb = spawn(words(xvfb), env, number, false);
        if (!m_xvfb || !waitUntil([&] { return readFile(number).endsWith(u'\n'); }, 10000))
            return fail(u"Xvfb names no display: "_s + readFile(number + u".err"_s));
        env.insert(u"DISPLAY"_s, u':' + readFile(number).trimmed());
        env.insert(u"HOME"_s, m_dir.path()); // openbox's, and trayer's
        env.remove(u"XAUTHORITY"_s);
        m_wm = spawn({ u"openbox"_s, u"--startup"_s, u"touch "_s + ready }, env, ready + u".log"_s);
        if (!m_wm || !waitUntil([&] { return QFileInfo::exists(ready); }))
            return fail(u"openbox did not start: "_s + readFile(ready + u".log"_s));
        return ok(u"xsetroot -solid "_s + QColor(root).name());
    }

    QString x(const QString& c) const { return run(words(c), env).value_or("").trimmed(); }
    bool ok(const QString& c) const { return run(words(c), env).has_value(); }
    bool xdo(const QString& commands) const { return ok(u"xdotool "_s + commands); }

    // Through XTEST to the focused window: Qt ignores keys sent by XSendEvent. openbox marks a
    // window active a moment before it has the focus.
    bool key(quint64 window, const QString& keys) const
    {
        const QString id = QString::number(window);
        const auto focused = [&] { return x(u"xdotool getwindowfocus"_s) == id; };
        if (!xdo(u"windowactivate --sync "_s + id) || !waitUntil(focused, 2000))
            return fail(u"no focus: "_s + lastError);
        return xdo(u"key --delay 30 "_s + keys);
    }

    // Left button, Ctrl held if asked, in steps with a pause before each as a hand would move.
    bool drag(QPoint from, QPoint to, bool ctrl = false, int steps = 5, double pause = 0.03) const
    {
        const auto move = [](QPoint p) { return u" mousemove %1 %2"_s.arg(p.x()).arg(p.y()); };
        const QString wait = pause > 0 ? u" sleep %1"_s.arg(pause) : QString();
        QString chain = move(from) + (ctrl ? u" keydown ctrl"_s : u""_s) + u" mousedown 1"_s;
        for (int i = 1; i <= steps; ++i)
            chain += wait + move(from + (to - from) * i / steps);
        return xdo(chain + wait + u" mouseup 1"_s + (ctrl ? u" keyup ctrl"_s : u""_s));
    }

    QImage shot(const QRect& rect) const
    {
        const auto png = run(words(u"import -window root png:-"_s), env).value_or("");
        return QImage::fromData(png).convertToFormat(QImage::Format_RGB32).copy(rect);
    }

    Window window(quint64 id) const // all zero when there is none
    {
        const QString text = x(u"xwininfo -id %1"_s.arg(id));
        const auto field = [&](const char* label) {
            const auto value = QRegularExpression(label + u":\\s*(\\S*)"_s).match(text).captured(1);
            return value == u"IsViewable"_s || value == u"yes"_s ? 1 : value.toInt();
        };
        const QRect at(field("left X"), field("left Y"), field("Width"), field("Height"));
        const Window found { id, at, field("Map State") == 1, field("Redirect State") == 1 };
        return text.isEmpty() ? Window {} : found;
    }

    QList<Window> windows(qint64 pid) const // the viewable ones
    {
        QList<Window> found;
        const QString ids = x(u"xdotool search --pid %1"_s.arg(pid));
        for (const QString& id : ids.split(u'\n', Qt::SkipEmptyParts)) {
            if (const Window w = window(id.toULongLong()); w.viewable)
                found << w;
        }
        return found;
    }

    // An open menu of the process: override-redirect, not a tooltip, none of the others.
    Window waitForMenu(qint64 pid, const QList<quint64>& others, int timeoutMs = 3000) const
    {
        Window menu;
        const auto tip = [&](quint64 id) {
            return property(id, u"_NET_WM_WINDOW_TYPE"_s).contains(u"TOOLTIP"_s);
        };
        const auto open = [&] {
            for (const Window& w : windows(pid))
                menu = w.overrideRedirect && !others.contains(w.id) && !tip(w.id) ? w : menu;
            return menu.viewable;
        };
        return waitUntil(open, timeoutMs, 100) ? menu : Window {};
    }

    QRect shape(quint64 id) const // the bounding shape's extents; null: not shaped
    {
        const QRegularExpression extents(u"extents:\\s+(\\d+)x(\\d+)\\+(-?\\d+)\\+(-?\\d+)"_s);
        const auto m = extents.match(x(u"xwininfo -shape -id %1"_s.arg(id)));
        const auto n = [&](int i) { return m.captured(i).toInt(); };
        return m.hasMatch() ? QRect(n(3), n(4), n(1), n(2)) : QRect();
    }

    QString property(quint64 id, QString atom) const
    {
        return x(u"xprop -id %1 "_s.arg(id) + atom);
    }

private:
    QTemporaryDir m_dir;
    Process m_xvfb;
    Process m_wm; // ends first
};

struct ClockOptions {
    QString settings {}; // Quarnet.conf's text
    QString fakeStart {}; // "YYYY-MM-DD HH:MM:SS", local time
    bool frozen = false; // else it runs on from there
    QStringList env {}; // more NAME=value
};

// The clock with its own HOME and XDG folders, LANG=C and a fixed zone, optionally on a faked
// wall clock.
class Clock {
public:
    Window window;
    qint64 pid = 0;

    explicit Clock(XServer& x, const ClockOptions& options = {})
        : m_x(x)
        , m_options(options)
        , m_home(m_dir.filePath(u"home"_s))
    {
        QDir().mkpath(m_home + u"/.config"_s);
        QFile file(m_home + u"/.config/Quarnet.conf"_s);
        if (file.open(QIODevice::WriteOnly))
            file.write(options.settings.toUtf8());
    }
    ~Clock() // on a failed test, says what the clock saved and wrote
    {
        if (m_app && QTest::currentTestFailed())
            qWarning().noquote() << u"settings:\n"_s + settings() + u"\noutput:\n"_s + output();
    }

    QString dataDir() const { return m_home + u"/.local/share"_s; }
    QString settings() const { return readFile(m_home + u"/.config/Quarnet.conf"_s); }
    QString output() const { return readFile(m_dir.filePath(u"log"_s)); }
    bool saved(const QString& line) const { return settings().split(u'\n').contains(line); }
    bool key(const QString& keys) const { return m_x.key(window.id, keys); }
    bool shown() const { return m_x.window(window.id).viewable; }
    bool running() const { return m_app && !m_app->waitForFinished(0) && m_app->state(); }
    bool signal(int number) const { return running() && ::kill(pid_t(pid), number) == 0; }

    bool start() // and wait for its window
    {
        // From nothing, so nothing of the developer's desktop leaks in. No session bus, said
        // plainly: without an address libdbus would launch one. A sanitizer build wants to be
        // loaded first; the fake clock comes before it.
        Env env;
        const QString entries
            = u"HOME=%1 XDG_CONFIG_HOME=%1/.config XDG_DATA_HOME=%1/.local/share "
              "XDG_CACHE_HOME=%1/.cache XDG_RUNTIME_DIR=%2 DISPLAY=%3 PATH=%4 "
              "LANG=C LC_ALL=C TZ=Europe/Amsterdam QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=1 "
              "DBUS_SESSION_BUS_ADDRESS=unix:path=/none "
              "ASAN_OPTIONS=verify_asan_link_order=0"_s;
        const QString path = qEnvironmentVariable("PATH");
        const QStringList all
            = words(entries.arg(m_home, m_dir.path(), m_x.env.value(u"DISPLAY"_s), path));
        for (const QString& entry : all + m_options.env)
            env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
        if (!m_options.fakeStart.isEmpty()) {
            // Only the wall clock is faked: timers keep running on the monotonic one.
            QDateTime start = QDateTime::fromString(m_options.fakeStart, u"yyyy-MM-dd HH:mm:ss"_s);
            start.setTimeZone(QTimeZone("Europe/Amsterdam"));
            env.insert(u"LD_PRELOAD"_s, QStringLiteral(HOROLAN_FAKECLOCK_LIB));
            env.insert(u"HOROLAN_FAKE_EPOCH_MS"_s, QString::number(start.toMSecsSinceEpoch()));
            env.insert(u"HOROLAN_FAKE_FROZEN"_s, m_options.frozen ? u"1"_s : u"0"_s);
        }
        m_app = spawn({ qEnvironmentVariable("HOROLAN_BIN") }, env, m_dir.filePath(u"log"_s));
        pid = m_app ? m_app->processId() : 0;
        // The tray icon has the same owner, but is override-redirect like the menus.
        const auto mapped = [&] {
            for (const Window& w : m_x.windows(pid))
                window = w.overrideRedirect ? window : w;
            return window.viewable || !running();
        };
        window = {};
        return (waitUntil(mapped, 10000, 100) && running()) || fail(u"no window:\n"_s + output());
    }

    bool closed(int timeoutMs = 5000) // ended by itself with exit code 0
    {
        m_app->waitForFinished(timeoutMs);
        return (!running() && !m_app->exitStatus() && !m_app->exitCode()) || fail(u"not closed"_s);
    }

    bool waitForPlace(QPoint topLeft) const
    {
        QPoint at;
        const auto there
            = [&] { return (at = m_x.window(window.id).geometry.topLeft()) == topLeft; };
        return waitUntil(there, 3000, 100)
            || fail(
                u"at %1,%2, not %3,%4"_s.arg(at.x()).arg(at.y()).arg(topLeft.x()).arg(topLeft.y()));
    }

private:
    XServer& m_x;
    ClockOptions m_options;
    QTemporaryDir m_dir;
    QString m_home;
    Process m_app;
};

} // namespace e2e
