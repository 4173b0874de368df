#include "core/chimes/SoundPack.h"

#include "core/text/TextLines.h"

#include "core/base/Logging.h"
#include "core/skin/SkinIniReader.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace SoundPack {

namespace {

using SkinIniReader::trimBlanks;

enum class Section { None, Info, Setting, Other };

// One reading of one file: the line loop and the section it stands in.
class Reading {
public:
    Reading(SoundPackInfo& info, SoundPackReport& report, QString source)
        : m_info(info)
        , m_report(report)
        , m_source(std::move(source))
    { }

    void run(const QString& text);

private:
    bool keyLine(QString line, int number);
    void stopAt(int number, const QString& reason);

    SoundPackInfo& m_info;
    SoundPackReport& m_report;
    QString m_source;
    Section m_section = Section::None;
};

void Reading::run(const QString& text)
{
    TextLines lines(text);

    QString line;
    if (!lines.next(line)) {
        qCDebug(lcSound).noquote() << m_source << "is empty: nothing read";
        return;
    }
    line = trimBlanks(line); // only the first line is trimmed
    do {
        if (line.contains(u'=') && !line.startsWith(u';')) {
            if (!keyLine(line, lines.number()))
                return;
        } else if (line.startsWith(u'[')) {
            const qsizetype length = trimBlanks(line).size() - 2;
            if (length < 0)
                return stopAt(lines.number(), QStringLiteral("a line that is just \"[\""));
            // One character dropped at each end of the trimmed line: "[info] x" names no section.
            const QString name = trimBlanks(line.mid(1, length)).toLower();
            m_section = name == u"info" ? Section::Info
                : name == u"setting"    ? Section::Setting
                                        : Section::Other;
            qCDebug(lcSound).noquote()
                << m_source << "line" << lines.number() << "opens section" << name;
        }
    } while (lines.next(line));
    qCDebug(lcSound).noquote() << m_source << "read to the end," << lines.number() << "lines";
}

bool Reading::keyLine(QString line, int number)
{
    const qsizetype semicolon = line.indexOf(u';');
    if (semicolon >= 0)
        line = trimBlanks(QStringView(line).left(semicolon));
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0) {
        stopAt(number, QStringLiteral("\";\" before the first \"=\""));
        return false;
    }
    // Keys are not trimmed: "type =c" matches nothing, as stored packs expect.
    const QString key = line.left(equals).toLower();
    const QString value = trimBlanks(QStringView(line).mid(equals + 1));
    QString* field = nullptr;
    if (m_section == Section::Info) {
        if (key == u"copyright")
            field = &m_info.copyright;
        else if (key == u"collector")
            field = &m_info.collector;
        else if (key == u"homepage")
            field = &m_info.homepage;
        else if (key == u"email")
            field = &m_info.email;
        else if (key == u"comment")
            field = &m_info.comment;
    } else if (m_section == Section::Setting && key == u"type") {
        // The first letter only; the field is one character wide, so an empty value is a blank.
        m_info.type = value.toLower().left(1).leftJustified(1, u' ');
        if (!QStringView(u"rcoi").contains(m_info.type[0]))
            qCWarning(lcSound).noquote() << m_source << "line" << number << "type" << value
                                         << "is no chime type: the pack is silent";
        else
            qCDebug(lcSound).noquote() << m_source << "line" << number << "type" << m_info.type;
        return true;
    }
    if (field)
        *field = value;
    else
        qCDebug(lcSound).noquote()
            << m_source << "line" << number << "key" << key << "ignored (not a key of its section)";
    return true;
}

void Reading::stopAt(int number, const QString& reason)
{
    m_report.stopLine = number;
    m_report.stopReason = reason;
    qCWarning(lcSound).noquote() << m_source << "line" << number << "ends the reading:" << reason;
}

void readText(const QString& text, SoundPackInfo& info, SoundPackReport& report, QString source)
{
    report.stopLine = 0;
    report.stopReason.clear();
    Reading(info, report, std::move(source)).run(text);
}

} // namespace

void readData(const QByteArray& bytes, SoundPackInfo& info, SoundPackReport* report)
{
    SoundPackReport local;
    readText(SkinIniReader::decodeSkinText(bytes), info, report ? *report : local,
        QStringLiteral("sound pack data"));
}

bool read(const QString& path, SoundPackInfo& info, SoundPackReport* report)
{
    SoundPackReport local;
    SoundPackReport& r = report ? *report : local;
    r = SoundPackReport {};
    const QFileInfo file(path);
    if (!file.exists()) {
        qCDebug(lcSound).noquote() << path << "does not exist: the pack keeps its defaults";
        return false;
    }
    // Pipes and devices could block or never end.
    if (!file.isFile()) {
        qCWarning(lcSound).noquote() << path << "is not a regular file: not read";
        return false;
    }
    QFile device(path);
    if (!device.open(QIODevice::ReadOnly)) {
        qCWarning(lcSound).noquote() << path << "cannot be opened:" << device.errorString();
        return false;
    }
    r.found = true;
    QByteArray bytes = device.read(maxBytes + 1);
    if (bytes.size() > maxBytes) {
        r.truncated = true;
        bytes.truncate(maxBytes);
        // The cut line is incomplete: drop it, so no half value is taken.
        const qsizetype lastBreak = std::max(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r'));
        bytes.truncate(lastBreak + 1);
        qCWarning(lcSound).noquote() << path << "is larger than" << maxBytes
                                     << "bytes: the rest, from the cut line on, is ignored";
    }
    readText(SkinIniReader::decodeSkinText(bytes), info, r, path);
    return true;
}

} // namespace SoundPack
