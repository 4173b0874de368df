#include "ui/commands/DateTimeSettings.h"

#include "core/base/Logging.h"

#include <QAction>
#include <QProcess>
#include <QStandardPaths>

QStringList DateTimeSettings::find()
{
    // XFCE and MATE share time-admin.
    const QList<QStringList> tools { { QStringLiteral("gnome-control-center"),
                                         QStringLiteral("datetime") },
        { QStringLiteral("kcmshell6"), QStringLiteral("kcm_clock") },
        { QStringLiteral("kcmshell5"), QStringLiteral("kcm_clock") },
        { QStringLiteral("time-admin") },
        { QStringLiteral("cinnamon-settings"), QStringLiteral("calendar") } };
    for (QStringList tool : tools) {
        const QString path = QStandardPaths::findExecutable(tool.first());
        if (!path.isEmpty()) {
            tool.first() = path;
            return tool;
        }
    }
    return {};
}

void DateTimeSettings::connect(QAction* action)
{
    const QStringList tool = find();
    if (tool.isEmpty()) {
        qCInfo(lcMain) << "no date and time settings of GNOME, KDE, XFCE, MATE or Cinnamon on PATH;"
                          " \"Change Time\" is off";
        action->setEnabled(false);
        return;
    }
    qCDebug(lcMain) << "date and time settings:" << tool;
    QObject::connect(action, &QAction::triggered, action, [tool] {
        if (!QProcess::startDetached(tool.first(), tool.mid(1)))
            qCWarning(lcMain) << "could not start" << tool;
    });
    action->setEnabled(true);
}
