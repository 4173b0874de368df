#include "Version.h"
#include "app/ClockSession.h"
#include "app/SignalWatcher.h"
#include "app/SingleInstance.h"
#include "core/base/Clock.h"
#include "core/settings/SettingsStore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include <cstring>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

const char waylandOption[] = "wayland";
const char replaceOption[] = "replace";
const char keepBothOption[] = "keep-both";
const char optionsOption[] = "options";

void describe(QCoreApplication& app, QCommandLineParser& parser)
{
    QCoreApplication::setApplicationName(QStringLiteral("horolan"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HOROLAN_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Quarnet"));
    parser.setApplicationDescription(QStringLiteral(
        "Horolan, a skinnable desktop clock that chimes the hours.\n"
        "Skins go in ~/.local/share/horolan/Skins, sound packs in ~/.local/share/horolan/Sounds;\n"
        "the settings are kept in ~/.config/Quarnet.conf. A second start brings the running\n"
        "clock forward, taking clicks again if they passed through it; given archives (zip,\n"
        "rar, 7z, tar) or folders, the running clock installs the skins and sound packs they\n"
        "hold and shows the first of them.\n"
        "Qt's own options work too: -platform NAME, -display DISPLAY, -style NAME,\n"
        "-qwindowgeometry, -reverse and the rest."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({ QString::fromLatin1(waylandOption),
        QStringLiteral("On a Wayland desktop, run as a Wayland client (the desktop then places "
                       "the clock) rather than through XWayland.") });
    parser.addOption({ QString::fromLatin1(replaceOption),
        QStringLiteral("A skin or sound pack of a name you have replaces yours (not asked).") });
    parser.addOption({ QString::fromLatin1(keepBothOption),
        QStringLiteral("A skin or sound pack of a name you have is kept beside yours, as "
                       "\"Name (2)\" (not asked).") });
    parser.addOption({ QString::fromLatin1(optionsOption),
        QStringLiteral("Opens the options window (of the running clock, if one runs).") });
    parser.addPositionalArgument(QStringLiteral("FILE"),
        QStringLiteral("Archives or folders of skins and sound packs to install."),
        QStringLiteral("[FILE...]"));
    parser.process(app);
}

bool asked(int argc, char* argv[], std::initializer_list<const char*> options)
{
    for (int i = 1; i < argc; ++i)
        for (const char* option : options)
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}

// A shaped window that places itself, stays on top and is dragged by its face needs X11: on a
// Wayland desktop that also runs XWayland the clock goes there, unless told otherwise.
void choosePlatform(int argc, char* argv[])
{
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool chosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
        || asked(argc, argv, { "-platform", "--platform", "--wayland" });
    if (wayland && x11 && !chosen)
        qputenv("QT_QPA_PLATFORM", "xcb");
}

void releaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// The files to install, each by a path that means the same to the running clock.
QStringList filesToInstall(const QCommandLineParser& parser)
{
    QStringList files;
    for (const QString& argument : parser.positionalArguments()) {
        const QUrl url(argument);
        files << QFileInfo(url.isLocalFile() ? url.toLocalFile() : argument).absoluteFilePath();
    }
    return files;
}

} // namespace

int main(int argc, char* argv[])
{
    // Help and version need no screen.
    if (asked(argc, argv, { "-h", "--help", "-?", "--help-all", "-v", "--version" })) {
        QCoreApplication app(argc, argv);
        QCommandLineParser parser;
        describe(app, parser);
        return 0;
    }
    choosePlatform(argc, argv);
    // A clock's frames are small: sent over the X connection they need no round trip to learn
    // that the shared memory is free again, which woke the X reader thread and this one each frame.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    describe(app, parser);
    // The clock lives on when its other windows close; only the closing sequence ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    if (parser.isSet(QString::fromLatin1(replaceOption))
        && parser.isSet(QString::fromLatin1(keepBothOption))) {
        qCritical("horolan: give --replace or --keep-both, not both");
        return 2;
    }
    const QStringList files = filesToInstall(parser);
    const Conflict policy = parser.isSet(QString::fromLatin1(replaceOption)) ? Conflict::Replace
        : parser.isSet(QString::fromLatin1(keepBothOption))                  ? Conflict::KeepBoth
                                                                             : Conflict::Ask;
    const bool options = parser.isSet(QString::fromLatin1(optionsOption));
    SingleInstance instance;
    if (!instance.claim(files, policy, options))
        return 0;

    SystemClock clock;
    SettingsStore store(clock);
    ClockSession session(clock, &store, Roots::standard());
    QObject::connect(
        &instance, &SingleInstance::forwardRequested, &session, &ClockSession::bringForward);
    QObject::connect(
        &instance, &SingleInstance::optionsRequested, &session, &ClockSession::showOptions);
    QObject::connect(
        &instance, &SingleInstance::installRequested, &session, &ClockSession::install);
    // Signals and the end of the session close the clock as Ctrl+Q does, so nothing is lost.
    SignalWatcher watcher;
    QObject::connect(
        &watcher, &SignalWatcher::terminationRequested, &session, &ClockSession::close);
    // exit, not quit: quit would ask the windows first, and the clock's window leaves closing to
    // the session.
    QObject::connect(&session, &ClockSession::closed, &app, [] { QCoreApplication::exit(0); });
    session.start();
    if (!files.isEmpty())
        session.install(files, policy);
    if (options)
        session.showOptions();
    // What the start-up read and threw away goes back to the system once the clock shows.
    QTimer::singleShot(0, [] { releaseFreedMemory(); });
    return app.exec();
}
