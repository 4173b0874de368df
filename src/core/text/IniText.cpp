#include "core/text/IniText.h"

#include "core/text/TextDecoding.h"
#include "core/text/TextLines.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace IniText {

namespace {
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}
} // namespace

QString trimBlanks(QStringView text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && isBlank(text[from]))
        ++from;
    while (to > from && isBlank(text[to - 1]))
        --to;
    return text.mid(from, to - from).toString();
}

std::optional<File> readFile(const QString& path, const QLoggingCategory& category)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        qCDebug(category).noquote() << path << "does not exist: nothing read";
        return std::nullopt;
    }
    if (!info.isFile()) {
        qCWarning(category).noquote() << path << "is not a regular file: not read";
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(category).noquote() << path << "cannot be opened:" << file.errorString();
        return std::nullopt;
    }
    // Asked for more than the file holds, a read allocates all of it first.
    QByteArray bytes = file.read(std::min(file.size(), maxBytes) + 1);
    File result;
    if (bytes.size() > maxBytes) {
        result.truncated = true;
        bytes.truncate(maxBytes);
        // The cut line is incomplete: dropped, so no half value is taken and no UTF-8 sequence is
        // split.
        bytes.truncate(std::max(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r')) + 1);
        qCWarning(category).noquote() << path << "is larger than" << maxBytes
                                      << "bytes: the rest, from the cut line on, is ignored";
    }
    result.text = decodeText(bytes);
    return result;
}

Reading read(const QString& text, Visitor& visitor)
{
    Reading reading;
    TextLines lines(text);
    QString line;
    if (!lines.next(line))
        return reading;
    line = trimBlanks(line);
    const auto stop = [&](const QString& reason) {
        reading.lines = reading.stopLine = lines.number();
        reading.stopReason = reason;
        return reading;
    };
    do {
        if (line.contains(u'=') && !line.startsWith(u';')) {
            visitor.keyLine(line, lines.number());
            if (const qsizetype semicolon = line.indexOf(u';'); semicolon >= 0)
                line = trimBlanks(QStringView(line).left(semicolon));
            const qsizetype equals = line.indexOf(u'=');
            if (equals < 0)
                return stop(QStringLiteral("\";\" before the first \"=\""));
            const QString why = visitor.key(line.left(equals).toLower(),
                trimBlanks(QStringView(line).mid(equals + 1)), lines.number());
            if (!why.isEmpty())
                return stop(why);
        } else if (line.startsWith(u'[')) {
            const qsizetype length = trimBlanks(line).size() - 2;
            if (length < 0)
                return stop(QStringLiteral("a line that is just \"[\""));
            visitor.section(trimBlanks(line.mid(1, length)).toLower(), lines.number());
        } else {
            visitor.other(line, lines.number());
        }
    } while (lines.next(line));
    reading.lines = lines.number();
    return reading;
}

} // namespace IniText
