#include "E2eHarness.h"

#include <QColor>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QTimeZone>

#include <csignal>
#include <signal.h>
#include <sys/prctl.h>

namespace e2e {

namespace {

constexpr int stopGraceMs = 3000;

// A helper process must not outlive the test, even one killed by CTest's timeout.
void dieWithParent(QProcess& process, int signal)
{
    process.setChildProcessModifier([signal] { ::prctl(PR_SET_PDEATHSIG, signal); });
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

QString tail(const QString& text, int length = 2000)
{
    return text.size() > length ? QStringLiteral("...") + text.right(length) : text;
}

QString readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll());
}

QString windowArg(quint64 window)
{
    return QStringLiteral("0x") + QString::number(window, 16);
}

// The value of one "Label: value" line of xwininfo's output.
QString field(const QString& text, const QString& label)
{
    for (const QString& line : text.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(label))
            return trimmed.mid(label.size()).trimmed();
    }
    return {};
}

// The value of one property in xprop's output: "NAME(TYPE) = value", or "NAME(TYPE):"
// followed by indented lines.
std::optional<QString> propertyValue(const QString& text, const QString& name)
{
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (!line.startsWith(name + u'('))
            continue;
        const qsizetype eq = line.indexOf(QLatin1String(") = "));
        if (eq >= 0)
            return line.mid(eq + 4);
        QStringList more;
        while (i + 1 < lines.size() && lines[i + 1].startsWith(u'\t'))
            more << lines[++i].trimmed();
        return more.join(u'\n');
    }
    return std::nullopt;
}

QStringList quotedStrings(const QString& value)
{
    static const QRegularExpression quoted(QStringLiteral(R"re("((?:[^"\\]|\\.)*)")re"));
    QStringList result;
    for (const auto& match : quoted.globalMatch(value))
        result << match.captured(1);
    return result;
}

} // namespace

// XServer

XServer::XServer()
    : XServer(Options {})
{ }

XServer::XServer(const Options& options)
    : m_options(options)
{ }

XServer::~XServer()
{
    stop();
}

bool XServer::fail(const QString& message) const
{
    m_error = message;
    return false;
}

bool XServer::start()
{
    if (isRunning())
        return true;
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        return fail(QStringLiteral("Xvfb is not installed: run tools/install-deps --test"));
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/horolan-x-XXXXXX"));
    if (!m_dir->isValid())
        return fail(QStringLiteral("cannot make a temporary folder: ") + m_dir->errorString());

    // -displayfd 1: Xvfb picks a free display and writes its number to stdout once it is ready.
    // -noreset keeps the root colour when the last client leaves.
    m_xvfb = std::make_unique<QProcess>();
    m_xvfb->setProgram(QStringLiteral("Xvfb"));
    m_xvfb->setArguments({ QStringLiteral("-displayfd"), QStringLiteral("1"),
        QStringLiteral("-screen"), QStringLiteral("0"),
        QStringLiteral("%1x%2x24")
            .arg(m_options.screenSize.width())
            .arg(m_options.screenSize.height()),
        QStringLiteral("-dpi"), QStringLiteral("96"), QStringLiteral("-nolisten"),
        QStringLiteral("tcp"), QStringLiteral("-noreset") });
    m_xvfb->setStandardErrorFile(m_dir->filePath(QStringLiteral("xvfb.log")));
    dieWithParent(*m_xvfb, SIGTERM);
    m_xvfb->start();
    if (!m_xvfb->waitForStarted(toolTimeoutMs))
        return fail(QStringLiteral("cannot start Xvfb: ") + m_xvfb->errorString());

    QByteArray number;
    QElapsedTimer timer;
    timer.start();
    while (!number.contains('\n')) {
        const qint64 left = startTimeoutMs - timer.elapsed();
        if (left <= 0 || m_xvfb->state() == QProcess::NotRunning) {
            const QString log = readFile(m_dir->filePath(QStringLiteral("xvfb.log")));
            stop();
            return fail(QStringLiteral("Xvfb did not report a display within %1 ms: %2")
                            .arg(startTimeoutMs)
                            .arg(tail(log)));
        }
        m_xvfb->waitForReadyRead(int(qMin<qint64>(left, 200)));
        number += m_xvfb->readAllStandardOutput();
    }
    m_display = u':' + QString::fromLatin1(number.trimmed());

    if (m_options.windowManager && !startWindowManager()) {
        const QString why = m_error;
        stop();
        return fail(why);
    }
    return true;
}

bool XServer::startWindowManager()
{
    if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
        return fail(QStringLiteral("openbox is not installed: run tools/install-deps --test"));
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("HOME"), m_dir->path());
    env.remove(QStringLiteral("XAUTHORITY"));
    m_wm = std::make_unique<QProcess>();
    m_wm->setProcessEnvironment(env);
    m_wm->setStandardOutputFile(m_dir->filePath(QStringLiteral("openbox.log")));
    m_wm->setProcessChannelMode(QProcess::MergedChannels);
    dieWithParent(*m_wm, SIGKILL);
    // openbox runs the startup command once it is ready to manage windows; before that a
    // window mapped by the clock can be lost.
    const QString readyFile = m_dir->filePath(QStringLiteral("openbox.ready"));
    m_wm->start(QStringLiteral("openbox"),
        { QStringLiteral("--sm-disable"), QStringLiteral("--startup"),
            QStringLiteral("touch ") + readyFile });
    if (!m_wm->waitForStarted(toolTimeoutMs))
        return fail(QStringLiteral("cannot start openbox: ") + m_wm->errorString());

    const bool ready = waitUntil([&] { return QFileInfo::exists(readyFile); });
    if (!ready) {
        return fail(QStringLiteral("openbox did not take the display within %1 ms: %2")
                        .arg(toolTimeoutMs)
                        .arg(tail(readFile(m_dir->filePath(QStringLiteral("openbox.log"))))));
    }
    return true;
}

void XServer::stop()
{
    for (auto& client : m_clients)
        stopProcess(*client);
    m_clients.clear();
    if (m_wm)
        stopProcess(*m_wm);
    if (m_xvfb)
        stopProcess(*m_xvfb);
    m_wm.reset();
    m_xvfb.reset();
    m_display.clear();
}

bool XServer::isRunning() const
{
    if (!m_xvfb)
        return false;
    m_xvfb->waitForFinished(0);
    return m_xvfb->state() != QProcess::NotRunning;
}

ToolResult runTool(const QString& program, const QStringList& args,
    const QProcessEnvironment& environment, int timeoutMs)
{
    ToolResult r;
    const QString command = program + u' ' + args.join(u' ');
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(program, args);
    if (!p.waitForStarted(toolTimeoutMs)) {
        r.error = command + QStringLiteral(": cannot start: ") + p.errorString();
    } else if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(stopGraceMs);
        r.error = command + QStringLiteral(": no answer within %1 ms").arg(timeoutMs);
    } else if (p.exitStatus() != QProcess::NormalExit) {
        r.error = command + QStringLiteral(": crashed");
    } else {
        r.finished = true;
        r.exitCode = p.exitCode();
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        r.ok = r.exitCode == 0;
        if (!r.ok) {
            r.error = command
                + QStringLiteral(": exit code %1: %2")
                      .arg(r.exitCode)
                      .arg(QString::fromLocal8Bit(r.err).trimmed());
        }
    }
    return r;
}

ToolResult XServer::run(const QString& program, const QStringList& args, int timeoutMs) const
{
    if (m_display.isEmpty()) {
        ToolResult r;
        r.error = program + QStringLiteral(": the X server is not running");
        m_error = r.error;
        return r;
    }
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    env.remove(QStringLiteral("XAUTHORITY"));
    const ToolResult r = runTool(program, args, env, timeoutMs);
    if (!r.ok)
        m_error = r.error;
    return r;
}

bool XServer::setRootColor(const QColor& color)
{
    return run(QStringLiteral("xsetroot"), { QStringLiteral("-solid"), color.name() }).ok;
}

QImage XServer::screenshot(const QRect& rect) const
{
    const ToolResult r = run(QStringLiteral("import"),
        { QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:-") });
    if (!r.ok)
        return {};
    QImage image = QImage::fromData(r.out, "PNG").convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) {
        m_error = QStringLiteral("import gave no PNG picture (%1 bytes)").arg(r.out.size());
        return {};
    }
    return rect.isNull() ? image : image.copy(rect);
}

std::optional<WindowInfo> XServer::windowInfo(quint64 window) const
{
    const ToolResult geometry
        = run(QStringLiteral("xwininfo"), { QStringLiteral("-id"), windowArg(window) });
    if (!geometry.ok)
        return std::nullopt;
    const QString text = QString::fromLocal8Bit(geometry.out);
    WindowInfo info;
    info.id = window;
    info.geometry = QRect(field(text, QStringLiteral("Absolute upper-left X:")).toInt(),
        field(text, QStringLiteral("Absolute upper-left Y:")).toInt(),
        field(text, QStringLiteral("Width:")).toInt(),
        field(text, QStringLiteral("Height:")).toInt());
    info.mapState = field(text, QStringLiteral("Map State:"));
    info.overrideRedirect
        = field(text, QStringLiteral("Override Redirect State:")) == QLatin1String("yes");

    const ToolResult props = run(QStringLiteral("xprop"),
        { QStringLiteral("-id"), windowArg(window), QStringLiteral("WM_CLASS"),
            QStringLiteral("_NET_WM_NAME"), QStringLiteral("WM_NAME") });
    if (!props.ok)
        return std::nullopt;
    const QString propText = QString::fromUtf8(props.out);
    info.wmClass = quotedStrings(propertyValue(propText, QStringLiteral("WM_CLASS")).value_or(""));
    auto title = propertyValue(propText, QStringLiteral("_NET_WM_NAME"));
    if (!title)
        title = propertyValue(propText, QStringLiteral("WM_NAME"));
    const QStringList titles = quotedStrings(title.value_or(QString()));
    info.title = titles.isEmpty() ? QString() : titles.first();
    return info;
}

QList<WindowInfo> XServer::findWindows(const WindowQuery& query) const
{
    QStringList args { QStringLiteral("search") };
    if (query.pid > 0) {
        args << QStringLiteral("--pid") << QString::number(query.pid);
    } else if (!query.wmClass.isEmpty()) {
        args << QStringLiteral("--class")
             << u'^' + QRegularExpression::escape(query.wmClass) + u'$';
    } else {
        m_error = QStringLiteral("findWindows needs a pid or a WM_CLASS");
        return {};
    }
    // xdotool's exit code 1 only means that nothing matched yet.
    const ToolResult r = run(QStringLiteral("xdotool"), args);
    QList<WindowInfo> found;
    if (!r.finished || r.exitCode > 1)
        return found;
    for (const QByteArray& line : r.out.split('\n')) {
        bool isNumber = false;
        const quint64 id = line.trimmed().toULongLong(&isNumber);
        if (!isNumber)
            continue;
        const auto info = windowInfo(id);
        if (!info || (query.viewableOnly && !info->viewable()))
            continue;
        if (!query.title.isEmpty() && info->title != query.title)
            continue;
        if (!query.wmClass.isEmpty() && !info->wmClass.contains(query.wmClass, Qt::CaseInsensitive))
            continue;
        found << *info;
    }
    return found;
}

std::optional<WindowInfo> XServer::waitForWindow(const WindowQuery& query, int timeoutMs) const
{
    std::optional<WindowInfo> result;
    waitUntil(
        [&] {
            const auto found = findWindows(query);
            if (!found.isEmpty())
                result = found.first();
            return result.has_value();
        },
        timeoutMs, 100);
    if (!result) {
        m_error = QStringLiteral("no window (pid %1, class \"%2\", title \"%3\") within %4 ms")
                      .arg(query.pid)
                      .arg(query.wmClass, query.title)
                      .arg(timeoutMs);
    }
    return result;
}

std::optional<ShapeInfo> XServer::shape(quint64 window) const
{
    const ToolResult r = run(QStringLiteral("xwininfo"),
        { QStringLiteral("-id"), windowArg(window), QStringLiteral("-shape") });
    if (!r.ok)
        return std::nullopt;
    const QString text = QString::fromLocal8Bit(r.out);
    ShapeInfo info;
    static const QRegularExpression extents(
        QStringLiteral(R"(Window shape extents:\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+))"));
    const auto match = extents.match(text);
    if (match.hasMatch()) {
        info.shaped = true;
        info.extents = QRect(match.captured(3).toInt(), match.captured(4).toInt(),
            match.captured(1).toInt(), match.captured(2).toInt());
    } else if (!text.contains(QLatin1String("No window shape defined"))) {
        m_error = QStringLiteral("xwininfo -shape said neither way: ") + tail(text);
        return std::nullopt;
    }
    return info;
}

std::optional<QString> XServer::property(quint64 window, const QString& name) const
{
    const ToolResult r
        = run(QStringLiteral("xprop"), { QStringLiteral("-id"), windowArg(window), name });
    if (!r.ok)
        return std::nullopt;
    const auto value = propertyValue(QString::fromUtf8(r.out), name);
    if (!value)
        m_error = name + QStringLiteral(" is not set on ") + windowArg(window);
    return value;
}

bool XServer::isTooltip(quint64 window) const
{
    const auto type = property(window, QStringLiteral("_NET_WM_WINDOW_TYPE"));
    return type && type->contains(QLatin1String("_NET_WM_WINDOW_TYPE_TOOLTIP"));
}

QList<quint64> XServer::ancestors(quint64 window) const
{
    // "Parent window id: 0x2c00003 (has no name)"; the root window is its own end.
    QList<quint64> chain;
    quint64 current = window;
    while (chain.size() < 64) {
        const ToolResult r = run(QStringLiteral("xwininfo"),
            { QStringLiteral("-children"), QStringLiteral("-id"), windowArg(current) });
        if (!r.ok)
            break;
        const QString text = QString::fromLocal8Bit(r.out);
        const QString root = field(text, QStringLiteral("Root window id:")).section(u' ', 0, 0);
        const QString parent = field(text, QStringLiteral("Parent window id:")).section(u' ', 0, 0);
        bool isNumber = false;
        const quint64 id = parent.toULongLong(&isNumber, 16);
        if (!isNumber || id == 0)
            break;
        chain << id;
        if (parent == root)
            break;
        current = id;
    }
    return chain;
}

qint64 XServer::startClient(const QString& program, const QStringList& args)
{
    if (m_display.isEmpty()) {
        fail(program + QStringLiteral(": the X server is not running"));
        return 0;
    }
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("HOME"), m_dir->path());
    env.remove(QStringLiteral("XAUTHORITY"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->setStandardOutputFile(m_dir->filePath(QFileInfo(program).fileName() + u'-'
        + QString::number(m_clients.size()) + QStringLiteral(".log")));
    process->setProcessChannelMode(QProcess::MergedChannels);
    dieWithParent(*process, SIGKILL);
    process->start(program, args);
    if (!process->waitForStarted(toolTimeoutMs)) {
        fail(QStringLiteral("cannot start ") + program + QStringLiteral(": ")
            + process->errorString());
        return 0;
    }
    const qint64 pid = process->processId();
    m_clients.push_back(std::move(process));
    return pid;
}

bool XServer::key(quint64 window, const QString& keys)
{
    // Keys go through XTEST to the focused window: Qt ignores keys sent to it by XSendEvent.
    const QString focus = m_options.windowManager ? QStringLiteral("windowactivate")
                                                  : QStringLiteral("windowfocus");
    if (!run(QStringLiteral("xdotool"), { focus, QStringLiteral("--sync"), windowArg(window) }).ok)
        return false;
    QStringList args { QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30") };
    args << keys.split(u' ', Qt::SkipEmptyParts);
    return run(QStringLiteral("xdotool"), args).ok;
}

bool XServer::typeKeys(const QString& keys)
{
    QStringList args { QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30") };
    args << keys.split(u' ', Qt::SkipEmptyParts);
    return run(QStringLiteral("xdotool"), args).ok;
}

bool XServer::keyDown(const QString& key)
{
    return run(QStringLiteral("xdotool"), { QStringLiteral("keydown"), key }).ok;
}

bool XServer::keyUp(const QString& key)
{
    return run(QStringLiteral("xdotool"), { QStringLiteral("keyup"), key }).ok;
}

bool XServer::mouseMove(QPoint to)
{
    return run(QStringLiteral("xdotool"),
        { QStringLiteral("mousemove"), QString::number(to.x()), QString::number(to.y()) })
        .ok;
}

bool XServer::mouseDown(int button)
{
    return run(QStringLiteral("xdotool"), { QStringLiteral("mousedown"), QString::number(button) })
        .ok;
}

bool XServer::mouseUp(int button)
{
    return run(QStringLiteral("xdotool"), { QStringLiteral("mouseup"), QString::number(button) })
        .ok;
}

bool XServer::click(QPoint at, int button)
{
    return mouseMove(at) && mouseDown(button) && mouseUp(button);
}

bool XServer::doubleClick(QPoint at, int button)
{
    // Well inside any double-click interval.
    return mouseMove(at)
        && run(QStringLiteral("xdotool"),
            { QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                QStringLiteral("--delay"), QStringLiteral("80"), QString::number(button) })
               .ok;
}

bool XServer::drag(QPoint from, QPoint to, int button)
{
    // Several steps with short pauses, as a hand would move, so the program sees motion while
    // the button is held.
    constexpr int steps = 5;
    if (!mouseMove(from) || !mouseDown(button))
        return false;
    for (int i = 1; i <= steps; ++i) {
        QThread::msleep(30);
        if (!mouseMove(from + (to - from) * i / steps)) {
            mouseUp(button);
            return false;
        }
    }
    QThread::msleep(30);
    return mouseUp(button);
}

// ClockApp

ClockApp::ClockApp(XServer& server)
    : ClockApp(server, Options {})
{ }

ClockApp::ClockApp(XServer& server, const Options& options)
    : m_server(server)
    , m_options(options)
    , m_dir(QDir::tempPath() + QStringLiteral("/horolan-e2e-XXXXXX"))
{
    for (const QString& dir : { configDir(), dataDir(), homeDir() + QStringLiteral("/.cache") })
        QDir().mkpath(dir);
    QDir().mkpath(runtimeDir());
    QFile::setPermissions(
        runtimeDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

ClockApp::~ClockApp()
{
    stop();
}

QString ClockApp::homeDir() const
{
    return m_dir.filePath(QStringLiteral("home"));
}

QString ClockApp::configDir() const
{
    return homeDir() + QStringLiteral("/.config");
}

QString ClockApp::dataDir() const
{
    return homeDir() + QStringLiteral("/.local/share");
}

QString ClockApp::runtimeDir() const
{
    return m_dir.filePath(QStringLiteral("runtime"));
}

QString ClockApp::settingsFile() const
{
    return configDir() + QStringLiteral("/Quarnet.conf");
}

bool ClockApp::fail(const QString& message)
{
    m_error = message;
    return false;
}

QProcessEnvironment ClockApp::environment() const
{
    // Built from nothing, so nothing of the developer's desktop leaks into a run.
    const auto system = QProcessEnvironment::systemEnvironment();
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"),
        system.value(QStringLiteral("PATH"), QStringLiteral("/usr/local/bin:/usr/bin:/bin")));
    env.insert(QStringLiteral("HOME"), homeDir());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir());
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataDir());
    env.insert(QStringLiteral("XDG_CACHE_HOME"), homeDir() + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
    env.insert(QStringLiteral("DISPLAY"), m_server.display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    env.insert(QStringLiteral("TZ"), m_options.timeZone);
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    // No session bus, said plainly: without an address libdbus would try to launch one.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
        QStringLiteral("unix:path=") + runtimeDir() + QStringLiteral("/no-bus"));
    for (const char* name :
        { "QT_LOGGING_RULES", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS" }) {
        const QString key = QString::fromLatin1(name);
        if (system.contains(key))
            env.insert(key, system.value(key));
    }
    if (!m_options.fakeStart.isEmpty()) {
        // Monotonic time stays real so that timers keep running.
        const QDateTime start
            = QDateTime::fromString(m_options.fakeStart, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(HOROLAN_FAKECLOCK_LIB));
        env.insert(QStringLiteral("HOROLAN_FAKE_EPOCH_MS"),
            QString::number(
                QDateTime(start.date(), start.time(), QTimeZone(m_options.timeZone.toUtf8()))
                    .toMSecsSinceEpoch()));
        if (m_options.frozen)
            env.insert(QStringLiteral("HOROLAN_FAKE_FROZEN"), QStringLiteral("1"));
        // A sanitizer build insists on being loaded first; preloading comes before it.
        QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
        if (!asan.isEmpty())
            asan += u':';
        asan += QStringLiteral("verify_asan_link_order=0");
        env.insert(QStringLiteral("ASAN_OPTIONS"), asan);
    }
    for (const QString& entry : m_options.environment) {
        const qsizetype eq = entry.indexOf(u'=');
        if (eq > 0)
            env.insert(entry.left(eq), entry.mid(eq + 1));
    }
    return env;
}

bool ClockApp::writeSettings(const QString& iniText)
{
    QDir().mkpath(configDir());
    QFile file(settingsFile());
    const QByteArray bytes = iniText.toUtf8();
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size())
        return true;
    return fail(QStringLiteral("cannot write ") + settingsFile());
}

std::optional<WindowInfo> ClockApp::startAndWait()
{
    if (!start())
        return std::nullopt;
    return waitForWindow();
}

bool ClockApp::start()
{
    if (isRunning())
        return fail(QStringLiteral("the clock is running already"));
    if (!m_dir.isValid())
        return fail(QStringLiteral("cannot make a temporary folder: ") + m_dir.errorString());
    if (!m_server.isRunning())
        return fail(QStringLiteral("the X server is not running"));
    const QString binary
        = m_options.binary.isEmpty() ? qEnvironmentVariable("HOROLAN_BIN") : m_options.binary;
    if (binary.isEmpty())
        return fail(QStringLiteral("HOROLAN_BIN is not set: it names the clock program to test"));
    if (!QFileInfo(binary).isExecutable())
        return fail(binary + QStringLiteral(" is not an executable file"));
    if (!m_options.fakeStart.isEmpty()) {
        if (!QDateTime::fromString(m_options.fakeStart, QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                 .isValid())
            return fail(QStringLiteral("fakeStart must read YYYY-MM-DD HH:MM:SS, not ")
                + m_options.fakeStart);
        if (!QTimeZone(m_options.timeZone.toUtf8()).isValid())
            return fail(QStringLiteral("unknown time zone ") + m_options.timeZone);
    }

    m_process = std::make_unique<QProcess>();
    m_process->setProgram(binary);
    m_process->setArguments(m_options.arguments);
    m_process->setWorkingDirectory(homeDir());
    m_process->setProcessEnvironment(environment());
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // A file never fills up and blocks the program, however much it logs.
    m_process->setStandardOutputFile(
        m_dir.filePath(QStringLiteral("output.log")), QIODevice::Append);
    m_process->setStandardInputFile(QProcess::nullDevice());
    dieWithParent(*m_process, SIGKILL);
    m_process->start();
    if (!m_process->waitForStarted(toolTimeoutMs))
        return fail(QStringLiteral("cannot start ") + binary + QStringLiteral(": ")
            + m_process->errorString());
    return true;
}

bool ClockApp::isRunning() const
{
    if (!m_process)
        return false;
    m_process->waitForFinished(0);
    return m_process->state() != QProcess::NotRunning;
}

qint64 ClockApp::pid() const
{
    return isRunning() ? m_process->processId() : 0;
}

std::optional<WindowInfo> ClockApp::waitForWindow(const QString& title, int timeoutMs)
{
    if (!isRunning()) {
        fail(QStringLiteral("the clock is not running; output:\n") + tail(output()));
        return std::nullopt;
    }
    const qint64 processId = m_process->processId();
    const WindowQuery query { processId, QStringLiteral("horolan"), title, true };
    std::optional<WindowInfo> result;
    const bool found = waitUntil(
        [&] {
            if (!isRunning())
                return true;
            // The tray icon's window carries the same class and title, but no window manager
            // handles it.
            for (const WindowInfo& w : m_server.findWindows(query)) {
                if (!w.overrideRedirect) {
                    result = w;
                    break;
                }
            }
            return result.has_value();
        },
        timeoutMs, 100);
    if (result)
        return result;
    if (found) {
        fail(QStringLiteral("the clock ended (exit code %1) before showing its window; output:\n")
                 .arg(exitCode())
            + tail(output()));
        return std::nullopt;
    }
    QStringList seen;
    for (const WindowInfo& w : m_server.findWindows({ processId, {}, {}, false })) {
        seen << QStringLiteral("0x%1 \"%2\" class %3 %4")
                    .arg(QString::number(w.id, 16), w.title, w.wmClass.join(u'/'), w.mapState);
    }
    fail(QStringLiteral("no mapped window titled \"%1\" with class horolan within %2 ms; windows "
                        "of the process: %3; output:\n")
             .arg(title)
             .arg(timeoutMs)
             .arg(seen.isEmpty() ? QStringLiteral("none") : seen.join(QStringLiteral(", ")))
        + tail(output()));
    return std::nullopt;
}

bool ClockApp::waitForExit(int timeoutMs)
{
    if (!m_process)
        return true;
    if (!m_process->waitForFinished(timeoutMs) && m_process->state() != QProcess::NotRunning)
        return fail(QStringLiteral("the clock did not end within %1 ms").arg(timeoutMs));
    return true;
}

int ClockApp::exitCode() const
{
    if (!m_process || isRunning())
        return -1;
    return m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
}

void ClockApp::stop()
{
    if (m_process)
        stopProcess(*m_process);
}

bool ClockApp::sendSignal(int signalNumber)
{
    const qint64 id = pid();
    if (id <= 0)
        return fail(QStringLiteral("the clock is not running"));
    if (::kill(pid_t(id), signalNumber) != 0)
        return fail(QStringLiteral("kill(%1, %2) failed").arg(id).arg(signalNumber));
    return true;
}

QString ClockApp::output() const
{
    return readFile(m_dir.filePath(QStringLiteral("output.log")));
}

// Helpers

QMap<QString, QString> readIni(const QString& path)
{
    QMap<QString, QString> values;
    QString group;
    for (const QString& raw : readFile(path).split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        values.insert(group + u'/' + line.left(eq).trimmed(), value);
    }
    return values;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (condition())
            return true;
        if (timer.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(pollMs);
    }
}

bool sameColor(QRgb a, QRgb b, int tolerance)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
        && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

int countPixels(const QImage& image, const QRect& rect, const std::function<bool(QRgb)>& test)
{
    const QRect area = rect.intersected(image.rect());
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (test(image.pixel(x, y)))
                ++count;
        }
    }
    return count;
}

int countPixels(const QImage& image, const QRect& rect, QRgb color, int tolerance)
{
    return countPixels(image, rect, [&](QRgb c) { return sameColor(c, color, tolerance); });
}

QString describe(QRgb color)
{
    return QColor(color).name();
}

} // namespace e2e
