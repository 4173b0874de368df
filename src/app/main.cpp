#include "common/Clock.h"
#include "common/HorolanState.h"
#include "main/Form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("horolan"));
    QApplication::setApplicationDisplayName(QStringLiteral("Horolan"));
    QApplication::setOrganizationName(QStringLiteral("Quarnet"));

    HorolanState state;
    SystemClock clock;
    Form1 form(state, clock);
    form.ActivateDefSkin(false);
    // Draw the face once before the window maps, so its first frame already shows the time.
    form.Timer1_Timer();
    form.show();
    form.Timer1.start();
    return app.exec();
}
