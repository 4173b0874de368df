// The clock's window and closing path as main() wires them, changing a setting every
// millisecond until a signal closes it: close <settings file> <progress file>
#include "DurabilitySupport.h"

#include "app/SignalWatcher.h"
#include "ui/clock/Form1.h"

#include <QApplication>
#include <QKeyEvent>

using namespace Durability;

namespace {

int closeOnSignal(const QString& path, Progress& progress)
{
    const FixedClock clock;
    SettingsStore store(path, clock);
    HorolanState state;
    Form1 form(state, clock, &store);
    // As main() wires it.
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &form, &Form1::closeClock);
    form.Form_Load();

    // L and S in turn: LockPos and Scroll, each change asking for a save in three seconds.
    QTimer changer;
    changer.setInterval(1);
    QObject::connect(&changer, &QTimer::timeout, &form, [&] {
        if (form.isClosing())
            return;
        const std::uint32_t n = progress.changes + 1;
        const int key = n % 2 ? Qt::Key_L : Qt::Key_S;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar(key)).toLower());
        QCoreApplication::sendEvent(&form, &press);
        progress.changes = n;
    });
    changer.start();
    progress.ready = 1;
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    QFile progressFile(QString::fromLocal8Bit(argv[2]));
    Progress* progress = mapProgress(progressFile);
    return progress ? closeOnSignal(QString::fromLocal8Bit(argv[1]), *progress) : 2;
}
