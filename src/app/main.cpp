#include "app/ClockSession.h"
#include "app/SignalWatcher.h"
#include "core/base/Clock.h"
#include "core/settings/SettingsStore.h"
#include "ui/audio/QtSoundOutput.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("horolan"));
    QApplication::setApplicationDisplayName(QStringLiteral("Horolan"));
    QApplication::setOrganizationName(QStringLiteral("Quarnet"));
    // The clock lives on when its other windows close; only the closing sequence ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    SystemClock clock;
    SettingsStore store(clock);
    ClockSession session(clock, &store, Roots::standard());
    // Signals and the end of the session close the clock as Ctrl+Q does, so nothing is lost.
    SignalWatcher watcher;
    QObject::connect(
        &watcher, &SignalWatcher::terminationRequested, &session, &ClockSession::close);
    // exit, not quit: quit would ask the windows first, and the clock's window leaves closing to
    // the session.
    QObject::connect(&session, &ClockSession::closed, &app, [] { QCoreApplication::exit(0); });
    QtSoundOutput::removeOldCopies();
    session.start();
    return app.exec();
}
