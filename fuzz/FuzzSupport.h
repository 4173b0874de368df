#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What every fuzz target shares: one Qt application per process, the program's log lines formatted
// but kept off the terminal (unless HOROLAN_FUZZ_LOG is set), a private folder, a loud stop.
namespace FuzzSupport {

void initQt();

// The input as bytes, without a copy; valid for the call only.
inline QByteArray bytesOf(const std::uint8_t* data, std::size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A folder of this process, removed at exit.
QString tempPath();

// Prints what broke and aborts, so libFuzzer keeps the input as a crash.
[[noreturn]] void fail(const char* what, const QString& detail = QString());

} // namespace FuzzSupport
