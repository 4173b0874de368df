#pragma once

#include <QImage>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// End-to-end harness: a private Xvfb display, the real binary in private folders, and the X tools
// that look at and drive its windows. Every wait is bounded; a failure comes back as false or an
// empty result with a readable error(), meant for QVERIFY2. Both classes clean up on destruction,
// so a failing test leaves no server or clock behind.
namespace e2e {

inline constexpr int toolTimeoutMs = 5000;
inline constexpr int startTimeoutMs = 10000;

// One run of a command-line tool.
struct ToolResult {
    bool ok = false; // started, finished in time and exited with 0
    bool finished = false; // started and finished in time, whatever its exit code
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QString error; // why it is not ok
};

// Runs a command-line tool in the given environment, bounded by timeoutMs.
ToolResult runTool(const QString& program, const QStringList& args,
    const QProcessEnvironment& environment, int timeoutMs = toolTimeoutMs);

struct WindowInfo {
    quint64 id = 0;
    QRect geometry; // on the root window
    QString mapState; // "IsViewable", "IsUnMapped" or "IsUnviewable"
    QString title; // _NET_WM_NAME, else WM_NAME
    QStringList wmClass; // instance and class
    bool overrideRedirect = false; // a popup or tooltip that no window manager handles
    bool viewable() const { return mapState == QLatin1String("IsViewable"); }
};

struct ShapeInfo {
    bool shaped = false; // a bounding shape is set
    QRect extents; // the bounding shape's extents, relative to the window
};

// Windows to look for. At least one of pid and wmClass must be set.
struct WindowQuery {
    qint64 pid = 0; // _NET_WM_PID
    QString wmClass; // matches either part of WM_CLASS, ignoring case
    QString title; // exact; empty: any
    bool viewableOnly = true;
};

// A private X display: Xvfb on a free display number, optionally with openbox.
class XServer {
public:
    struct Options {
        QSize screenSize { 1024, 768 };
        bool windowManager = false;
    };

    XServer();
    explicit XServer(const Options& options);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool start();
    void stop();
    bool isRunning() const;
    bool hasWindowManager() const { return m_options.windowManager; }
    QString display() const { return m_display; } // ":N"
    QString error() const { return m_error; }

    // Runs an X client on this display.
    ToolResult run(
        const QString& program, const QStringList& args, int timeoutMs = toolTimeoutMs) const;

    // Paints the root window in one colour, so cut-out parts of shaped windows show it.
    bool setRootColor(const QColor& color);

    // The root window, or a rectangle of it; null on failure.
    QImage screenshot(const QRect& rect = {}) const;

    QList<WindowInfo> findWindows(const WindowQuery& query) const;
    std::optional<WindowInfo> waitForWindow(
        const WindowQuery& query, int timeoutMs = startTimeoutMs) const;
    std::optional<WindowInfo> windowInfo(quint64 window) const;
    std::optional<ShapeInfo> shape(quint64 window) const;
    // xprop's value of one property ("\"horolan\", \"Horolan\"" for WM_CLASS); nullopt if unset.
    std::optional<QString> property(quint64 window, const QString& name) const;

    // A tooltip, as _NET_WM_WINDOW_TYPE marks it. Qt marks its popup menus only as normal
    // override-redirect windows, so this is what tells a tooltip from a menu.
    bool isTooltip(quint64 window) const;
    // The window's parents up to and including the root window, nearest first.
    QList<quint64> ancestors(quint64 window) const;

    // Starts a long-running X client (a panel, a tray) that lives until stop(); its pid, or 0.
    qint64 startClient(const QString& program, const QStringList& args);

    // Gives the window the keyboard focus, then types xdotool key names ("ctrl+q", "x").
    bool key(quint64 window, const QString& keys);
    // Types keys to whatever holds the keyboard (an open popup menu grabs it).
    bool typeKeys(const QString& keys);
    bool keyDown(const QString& key); // held until keyUp: "ctrl"
    bool keyUp(const QString& key);
    bool mouseMove(QPoint to);
    bool mouseDown(int button = 1);
    bool mouseUp(int button = 1);
    bool click(QPoint at, int button = 1);
    bool doubleClick(QPoint at, int button = 1);
    bool drag(QPoint from, QPoint to, int button = 1);

private:
    bool startWindowManager();
    bool fail(const QString& message) const;

    Options m_options;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_wm;
    std::vector<std::unique_ptr<QProcess>> m_clients;
    QString m_display;
    mutable QString m_error;
};

// The clock program run on an XServer with its own HOME and XDG folders, LANG=C and a fixed
// zone; optionally with a faked wall clock. The folders outlive stop(), so a test can restart
// the program on the settings it saved.
class ClockApp {
public:
    struct Options {
        QString binary; // default: $HOROLAN_BIN
        QStringList arguments;
        QString timeZone = QStringLiteral("Europe/Amsterdam");
        // Local wall-clock time at start, "YYYY-MM-DD HH:MM:SS", which then runs on; empty: real.
        QString fakeStart;
        bool frozen = false; // the faked clock stands still at fakeStart
        QStringList environment; // more "NAME=value" entries
    };

    explicit ClockApp(XServer& server);
    ClockApp(XServer& server, const Options& options);
    ~ClockApp();
    ClockApp(const ClockApp&) = delete;
    ClockApp& operator=(const ClockApp&) = delete;

    QString homeDir() const;
    QString configDir() const; // XDG_CONFIG_HOME: the settings file is Quarnet.conf here
    QString dataDir() const; // XDG_DATA_HOME: user skins go in horolan/Skins
    QString runtimeDir() const;
    QString settingsFile() const; // configDir()/Quarnet.conf
    QProcessEnvironment environment() const;

    // Writes the settings file (INI text) the clock reads at start.
    bool writeSettings(const QString& iniText);
    bool start();
    // start() then waitForWindow(); error() says what failed.
    std::optional<WindowInfo> startAndWait();
    bool isRunning() const;
    qint64 pid() const;
    // The mapped top-level window of this process with WM_CLASS "horolan" and this title, not
    // override-redirect (the tray icon's window has the same class and title).
    std::optional<WindowInfo> waitForWindow(
        const QString& title = QStringLiteral("Horolan"), int timeoutMs = startTimeoutMs);
    bool waitForExit(int timeoutMs = toolTimeoutMs);
    int exitCode() const;
    // SIGTERM, then SIGKILL if it has not ended within a few seconds.
    void stop();
    bool sendSignal(int signalNumber);
    QString output() const; // stdout and stderr so far
    QString error() const { return m_error; }

private:
    bool fail(const QString& message);

    XServer& m_server;
    Options m_options;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    QString m_error;
};

// The values of an INI file as "Group/Key" -> text, quotes removed; empty when it cannot be read.
// Read afresh on every call, unlike QSettings, which caches files within a process.
QMap<QString, QString> readIni(const QString& path);

// Calls condition until it holds or the time is up.
bool waitUntil(
    const std::function<bool()>& condition, int timeoutMs = toolTimeoutMs, int pollMs = 50);

// Pixel helpers; every channel within tolerance counts as the same colour.
bool sameColor(QRgb a, QRgb b, int tolerance = 0);
int countPixels(const QImage& image, const QRect& rect, const std::function<bool(QRgb)>& test);
int countPixels(const QImage& image, const QRect& rect, QRgb color, int tolerance = 0);
QString describe(QRgb color); // "#rrggbb", for messages

} // namespace e2e
