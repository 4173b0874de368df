#include "core/chimes/SoundPack.h"

#include "core/base/Logging.h"
#include "core/text/IniText.h"

namespace {

class Reading final : public IniText::Visitor {
public:
    explicit Reading(SoundPackInfo& info)
        : m_info(info)
    { }

    void section(const QString& name, int) override { m_section = name; }
    QString key(const QString& key, const QString& value, int line) override;

private:
    SoundPackInfo& m_info;
    QString m_section;
};

QString Reading::key(const QString& key, const QString& value, int line)
{
    if (m_section == u"setting" && key == u"type") {
        // The first letter only; the field is one character wide, so an empty value is a blank.
        m_info.type = value.toLower().left(1).leftJustified(1, u' ');
        if (m_info.kind() == ChimeKind::Silent)
            qCWarning(lcSound).noquote() << "SP.ini line" << line << "type" << value
                                         << "is no chime type: the pack is silent";
        return QString();
    }
    QString* field = nullptr;
    if (m_section == u"info") {
        field = key == u"copyright" ? &m_info.copyright
            : key == u"collector"   ? &m_info.collector
            : key == u"homepage"    ? &m_info.homepage
            : key == u"email"       ? &m_info.email
            : key == u"comment"     ? &m_info.comment
                                    : nullptr;
    }
    if (field)
        *field = value;
    else
        qCDebug(lcSound).noquote() << "SP.ini line" << line << "key" << key << "ignored";
    return QString();
}

} // namespace

ChimeKind SoundPackInfo::kind() const
{
    const QString letter = type.toLower();
    return letter == u"r" ? ChimeKind::Random
        : letter == u"c"  ? ChimeKind::Count
        : letter == u"o"  ? ChimeKind::Order
        : letter == u"i"  ? ChimeKind::Index
                          : ChimeKind::Silent;
}

namespace SoundPack {

void readText(const QString& text, SoundPackInfo& info, SoundPackReport* report)
{
    Reading reading(info);
    const IniText::Reading result = IniText::read(text, reading);
    if (result.stopLine != 0)
        qCWarning(lcSound).noquote()
            << "SP.ini line" << result.stopLine << "ends the reading:" << result.stopReason;
    if (report)
        report->stopLine = result.stopLine;
}

bool readFile(const QString& path, SoundPackInfo& info, SoundPackReport* report)
{
    if (report)
        *report = SoundPackReport {};
    const std::optional<IniText::File> file = IniText::readFile(path, lcSound());
    if (!file)
        return false;
    if (report) {
        report->found = true;
        report->truncated = file->truncated;
    }
    readText(file->text, info, report);
    return true;
}

} // namespace SoundPack
