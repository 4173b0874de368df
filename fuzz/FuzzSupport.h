#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// What every fuzz target shares: one Qt application per process with the program's log lines
// formatted but kept off the terminal (unless HOROLAN_FUZZ_LOG is set), a private folder, a loud
// stop that libFuzzer keeps the input of.
namespace FuzzSupport {

inline void initQt()
{
    static int argc = 1;
    static char name[] = "horolan-fuzz";
    static char* argv[] = { name, nullptr };
    // Never destroyed: at exit Qt's own globals may be gone.
    static const auto* app = new QCoreApplication(argc, argv);
    Q_UNUSED(app);
    QLoggingCategory::setFilterRules(QStringLiteral("horolan.*=true"));
    if (qEnvironmentVariableIsEmpty("HOROLAN_FUZZ_LOG"))
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

inline QByteArray bytesOf(const std::uint8_t* data, std::size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}

[[noreturn]] inline void fail(const char* what, const QString& detail = QString())
{
    std::fprintf(stderr, "\n== fuzz check failed: %s\n%s\n", what, qPrintable(detail));
    std::abort();
}

inline QString tempPath()
{
    static QTemporaryDir dir;
    if (!dir.isValid())
        fail("no temporary folder", dir.errorString());
    return dir.path();
}

} // namespace FuzzSupport
