#include "app/SignalWatcher.h"
#include "core/base/Clock.h"
#include "core/face/HorolanState.h"
#include "ui/clock/Form1.h"
#include "core/settings/SettingsStore.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("horolan"));
    QApplication::setApplicationDisplayName(QStringLiteral("Horolan"));
    QApplication::setOrganizationName(QStringLiteral("Quarnet"));
    // The clock lives on when its options or other windows close; only the closing sequence ends
    // it.
    QApplication::setQuitOnLastWindowClosed(false);

    HorolanState state;
    SystemClock clock;
    SettingsStore store(clock);
    Form1 form(state, clock, &store, Roots::standard());

    // Signals and the end of the session close the clock as Ctrl+Q does, so nothing is lost.
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &form, &Form1::closeClock);

    form.Form_Load();
    // Draw the face once before the window maps, so its first frame already shows the time.
    form.Timer1_Timer();
    form.showClock();
    form.Timer1.start();
    return app.exec();
}
