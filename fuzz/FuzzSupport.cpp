#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace FuzzSupport {

void initQt()
{
    static int argc = 1;
    static char name[] = "horolan-fuzz";
    static char* argv[] = { name, nullptr };
    // Never destroyed: at exit Qt's own globals may be gone.
    static QCoreApplication* app = nullptr;
    if (app)
        return;
    app = new QCoreApplication(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("horolan.*=true"));
    if (qEnvironmentVariableIsEmpty("HOROLAN_FUZZ_LOG"))
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) { });
}

QString tempPath()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/horolan-fuzz-XXXXXX"));
    if (!dir.isValid())
        fail("no temporary folder", dir.errorString());
    return dir.path();
}

void fail(const char* what, const QString& detail)
{
    std::fprintf(stderr, "\n== fuzz check failed: %s\n%s\n", what, qPrintable(detail));
    std::fflush(stderr);
    std::abort();
}

} // namespace FuzzSupport
