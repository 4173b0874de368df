#include "core/skin/SkinReader.h"

#include "core/base/Logging.h"
#include "core/base/Twips.h"
#include "core/skin/TymeColor.h"
#include "core/text/IniText.h"
#include "core/text/NumberReading.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <initializer_list>
#include <optional>
#include <utility>

namespace SkinReader {

namespace {

using IniText::trimBlanks;
using NumberReading::leadingNumber;

// A file of junk must not grow the report without bound.
constexpr qsizetype maxReportedLines = 1000;
constexpr qsizetype maxReportedText = 200;

enum class Section {
    None,
    Info,
    Setting,
    Hours,
    Minutes,
    Seconds,
    AmPm,
    WorldTime,
    Font,
    Skin,
    Unknown
};

Section sectionOf(const QString& name)
{
    static const std::array<std::pair<QStringView, Section>, 9> known { {
        { u"info", Section::Info },
        { u"setting", Section::Setting },
        { u"hur", Section::Hours },
        { u"min", Section::Minutes },
        { u"sec", Section::Seconds },
        { u"ampm", Section::AmPm },
        { u"wtt", Section::WorldTime },
        { u"font", Section::Font },
        { u"skin", Section::Skin },
    } };
    if (name.isEmpty())
        return Section::None;
    for (const auto& [text, section] : known) {
        if (name == text)
            return section;
    }
    return Section::Unknown;
}

// A word of a fixed-width field: lower-cased and cut to its width, as stored skins expect
// ("Animated" is "animat"), then compared without the blanks at its ends.
QString word(const QString& value, int width)
{
    return trimBlanks(value.toLower().left(width));
}

// The kind a word names, from a table of words; otherwise when it names none.
template <typename Kind>
Kind kindNamed(
    const QString& word, std::initializer_list<std::pair<QStringView, Kind>> names, Kind otherwise)
{
    for (const auto& [name, kind] : names) {
        if (word == name)
            return kind;
    }
    return otherwise;
}

// The whole text is one decimal number: "12.5", "-3", ".5"; not "12x" or "".
bool isWholeNumber(QStringView text)
{
    qsizetype i = text.startsWith(u'+') || text.startsWith(u'-') ? 1 : 0;
    bool anyDigit = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9')
            anyDigit = true;
        else if (c == u'.' && !point)
            point = true;
        else
            return false;
    }
    return anyDigit;
}

// list(k): k numbers separated by ","; missing trailing numbers repeat the last one given.
template <std::size_t K> std::array<double, K> numberList(QString value)
{
    std::array<double, K> numbers {};
    for (std::size_t i = 0; i < K; ++i) {
        numbers[i] = leadingNumber(value);
        if (const qsizetype comma = value.indexOf(u','); comma >= 0)
            value = trimBlanks(QStringView(value).mid(comma + 1));
    }
    return numbers;
}

bool yes(const QString& value)
{
    return value.toLower() == u"yes";
}

QString shortened(const QString& text)
{
    return text.size() <= maxReportedText ? text
                                          : text.left(maxReportedText) + QStringLiteral("...");
}

// One reading of one file: the per-reading state the line loop calls into.
class Reading final : public IniText::Visitor {
public:
    Reading(Skin& skin, WorldTimeSkin& worldTime, SkinReport& report)
        : m_skin(skin)
        , m_worldTime(worldTime)
        , m_report(report)
    {
        m_fonts.fill(defaultSkinFont());
    }

    void section(const QString& name, int) override { m_section = sectionOf(name); }
    void keyLine(const QString& text, int) override;
    QString key(const QString& key, const QString& value, int line) override;
    void other(const QString& text, int line) override;

private:
    bool info(const QString& key, const QString& value);
    bool setting(const QString& key, const QString& value, int line);
    bool textElement(int index, const QString& key, const QString& value);
    bool worldTime(const QString& key, const QString& value);
    bool tymeFont(const QString& key, const QString& value);

    // The value of a field, or the reason the reading stops; fields keep what stored skins kept:
    // single-precision numbers, whole twips, bytes and 16-bit integers.
    std::optional<int> byte(const QString& value);
    std::optional<int> int16(double value, const QString& what);
    std::optional<double> single(double value, const QString& what);
    std::optional<double> pixels(double px, const QString& what); // kept as single-precision twips
    std::optional<double> wholeTwipPixels(double px, const QString& what);
    bool box(const QString& value, QRectF& box);
    void setFontSize(QFont& font, double points);
    bool stop(const QString& reason)
    {
        m_stopReason = reason;
        return false;
    }
    void note(QList<SkinReport::Line>& list, int line, const QString& text, const QString& reason);

    Skin& m_skin;
    WorldTimeSkin& m_worldTime;
    SkinReport& m_report;
    // Fresh for every reading; copied into the four texts after each key line.
    std::array<QFont, 4> m_fonts;
    Section m_section = Section::None;
    bool m_nightTimeRead = false;
    QString m_stopReason;
    QString m_lineText; // of the key line being read, for the report
    bool m_known = true; // the last key was one of its section's
};

void Reading::keyLine(const QString& text, int)
{
    m_lineText = text;
    // Every key line of these sections says whether this is a Tyme skin, whatever its key.
    if (m_section == Section::Setting)
        m_skin.tyme = false;
    else if (m_section == Section::Font || m_section == Section::Skin)
        m_skin.tyme = true;
}

QString Reading::key(const QString& key, const QString& value, int line)
{
    m_known = true;
    bool stored = true;
    switch (m_section) {
    case Section::Info:
        stored = info(key, value);
        break;
    case Section::Setting:
        stored = setting(key, value, line);
        break;
    case Section::Hours:
    case Section::Minutes:
    case Section::Seconds:
    case Section::AmPm:
        stored = textElement(int(m_section) - int(Section::Hours), key, value);
        break;
    case Section::WorldTime:
        stored = worldTime(key, value);
        break;
    case Section::Font:
        stored = tymeFont(key, value);
        break;
    case Section::Skin:
        m_known = key == u"transcolor";
        if (m_known)
            m_skin.transparent = nineDigitColor(value);
        break;
    case Section::None:
    case Section::Unknown:
        m_known = false;
        break;
    }
    if (!stored)
        return m_stopReason;
    if (!m_known) {
        QString reason = QStringLiteral("unknown key");
        if (m_section == Section::None)
            reason = QStringLiteral("key before any section");
        else if (m_section == Section::Unknown)
            reason = QStringLiteral("unknown section");
        else if (key.endsWith(u' ') || key.endsWith(u'\t'))
            reason = QStringLiteral("blank before \"=\"");
        else if (key.startsWith(u' ') || key.startsWith(u'\t'))
            reason = QStringLiteral("blank before the key");
        note(m_report.ignored, line, m_lineText, reason);
    }
    // Whatever the section, the texts now use this reading's fonts.
    m_skin.hours.font = m_fonts[0];
    m_skin.minutes.font = m_fonts[1];
    m_skin.seconds.font = m_fonts[2];
    m_skin.amPm.font = m_fonts[3];
    return QString();
}

void Reading::other(const QString& text, int line)
{
    const QString trimmed = trimBlanks(text);
    if (trimmed.startsWith(u'['))
        note(m_report.ignored, line, text, QStringLiteral("\"[\" not in the first column"));
    else if (!trimmed.isEmpty() && !trimmed.startsWith(u';'))
        note(m_report.ignored, line, text, QStringLiteral("stray text"));
}

bool Reading::info(const QString& key, const QString& value)
{
    SkinInfo& i = m_skin.info;
    QString* field = key == u"name" || key == u"skinname" ? &i.name
        : key == u"date"                                  ? &i.date
        : key == u"madeby" || key == u"author"            ? &i.madeBy
        : key == u"email"                                 ? &i.email
        : key == u"homepage" || key == u"url"             ? &i.homepage
        : key == u"comment" || key == u"description"      ? &i.comment
                                                          : nullptr;
    m_known = field != nullptr;
    if (field)
        *field = value;
    return true;
}

bool Reading::setting(const QString& key, const QString& value, int line)
{
    Skin& s = m_skin;
    const auto hand = [&](Hand& h, int Hand::*field, bool isByte) {
        const std::optional<int> v = isByte ? byte(value) : int16(leadingNumber(value), value);
        if (v)
            h.*field = *v;
        return v.has_value();
    };
    if (key == u"analogpos")
        return box(value, s.analogBox);
    if (key == u"seccolor" || key == u"mincolor" || key == u"hurcolor") {
        Hand& h = key[0] == u's' ? s.secondHand : key[0] == u'm' ? s.minuteHand : s.hourHand;
        h.color = nineDigitColor(value);
        return true;
    }
    // A hand's width is a byte, its length and start 16-bit numbers.
    struct HandKey {
        QStringView key;
        Hand Skin::*hand;
        int Hand::*field;
    };
    static constexpr std::array<HandKey, 9> handKeys { {
        { u"secwidth", &Skin::secondHand, &Hand::width },
        { u"minwidth", &Skin::minuteHand, &Hand::width },
        { u"hurwidth", &Skin::hourHand, &Hand::width },
        { u"seclenght", &Skin::secondHand, &Hand::length },
        { u"minlenght", &Skin::minuteHand, &Hand::length },
        { u"hurlenght", &Skin::hourHand, &Hand::length },
        { u"secstart", &Skin::secondHand, &Hand::start },
        { u"minstart", &Skin::minuteHand, &Hand::start },
        { u"hurstart", &Skin::hourHand, &Hand::start },
    } };
    for (const HandKey& entry : handKeys)
        if (key == entry.key)
            return hand(s.*entry.hand, entry.field, entry.field == &Hand::width);
    if (key == u"chimestype") {
        const QString w = word(value, 6);
        s.chimes = kindNamed(w,
            { { u"random", ChimeKind::Random }, { u"count", ChimeKind::Count },
                { u"order", ChimeKind::Order }, { u"index", ChimeKind::Index } },
            ChimeKind::Silent);
    } else if (key == u"backtype") {
        const QString w = word(value, 6);
        s.background = kindNamed(w,
            { { u"animat", BackgroundKind::Animated }, { u"order", BackgroundKind::Order },
                { u"tyme", BackgroundKind::Tyme } },
            BackgroundKind::Random);
        if (w != u"random" && s.background == BackgroundKind::Random)
            note(m_report.doubtful, line, value, QStringLiteral("backtype"));
    } else if (key == u"transcolor") {
        s.transparent = nineDigitColor(value);
        const QString digits = trimBlanks(value.left(9));
        if (digits.size() != 9 || !std::all_of(digits.begin(), digits.end(), [](QChar c) {
                return c >= u'0' && c <= u'9';
            }))
            note(m_report.doubtful, line, value, QStringLiteral("transcolor"));
    } else if (key == u"smoot" || key == u"smooth") {
        s.smooth = yes(value);
    } else if (key == u"useanalog") {
        s.analog = yes(value);
    } else if (key == u"usedig") {
        s.digital = yes(value);
    } else if (key == u"blinkdots") {
        const QString w = word(value, 3);
        s.colons = w == u"yes" ? ColonBlink::Blink
            : w == u"off"      ? ColonBlink::Hidden
                               : ColonBlink::Shown;
    } else if (key == u"break") {
        s.separateTexts = yes(value);
    } else if (key == u"showdigsec") {
        s.showSeconds = yes(value);
    } else {
        m_known = false;
    }
    return true;
}

bool Reading::textElement(int index, const QString& key, const QString& value)
{
    const std::array texts { &m_skin.hours, &m_skin.minutes, &m_skin.seconds, &m_skin.amPm };
    TextElement& e = *texts[std::size_t(index)];
    QFont& font = m_fonts[std::size_t(index)];
    if (key == u"xy") {
        const auto xy = numberList<2>(value);
        // The hours keep fractions of a twip; the others whole twips, as stored skins expect.
        const auto x = index == 0 ? pixels(xy[0], value) : wholeTwipPixels(xy[0], value);
        const auto y = x ? (index == 0 ? pixels(xy[1], value) : wholeTwipPixels(xy[1], value))
                         : std::nullopt;
        if (x)
            e.position.setX(*x);
        if (y)
            e.position.setY(*y);
        return y.has_value();
    }
    if (key == u"color") {
        e.color = nineDigitColor(value);
    } else if (key == u"font") {
        font.setFamily(value);
    } else if (key == u"fontbold") {
        font.setBold(yes(value));
    } else if (key == u"fontitalic") {
        font.setItalic(yes(value));
    } else if (key == u"fontsize") {
        const auto points = single(leadingNumber(value), value);
        if (!points)
            return false;
        setFontSize(font, *points);
    } else if (key == u"angle") {
        if (!isWholeNumber(value))
            return stop(QStringLiteral("angle \"%1\" is not a number").arg(shortened(value)));
        const auto tenths = int16(leadingNumber(value) * 10, value);
        if (!tenths)
            return false;
        e.angleTenths = *tenths;
    } else {
        m_known = false;
    }
    return true;
}

bool Reading::worldTime(const QString& key, const QString& value)
{
    if (key == u"boxpos")
        return box(value, m_worldTime.box);
    if (key == u"areacolor") {
        m_worldTime.area = nineDigitColor(value);
    } else if (key == u"timecolor") {
        m_worldTime.time = nineDigitColor(value);
        if (!m_nightTimeRead)
            m_worldTime.nightTime = m_worldTime.time;
    } else if (key == u"timenightcolor") {
        m_worldTime.nightTime = nineDigitColor(value);
        m_nightTimeRead = true;
    } else {
        m_known = false;
    }
    return true;
}

// The "font" section of a Tyme skin: one time text, kept in the hours and am/pm texts.
bool Reading::tymeFont(const QString& key, const QString& value)
{
    QFont& hours = m_fonts[0];
    QFont& amPm = m_fonts[3];
    const bool isTrue = value.toLower() == u"true";
    if (key == u"fontcolor") {
        m_skin.hours.color = m_skin.amPm.color = tymeColor(value.left(6));
    } else if (key == u"alignment") {
        const QString w = word(value, 6);
        m_skin.alignment = kindNamed(w,
            { { u"left", TymeAlignment::Left }, { u"center", TymeAlignment::Center },
                { u"right", TymeAlignment::Right } },
            TymeAlignment::AsRead);
    } else if (key == u"offset" || key == u"topoffset") {
        const auto px = pixels(leadingNumber(value), value);
        if (!px)
            return false;
        if (key == u"offset")
            m_skin.analogBox.moveLeft(*px);
        else
            m_skin.hours.position.setY(*px);
    } else if (key == u"font") {
        hours.setFamily(value);
        amPm.setFamily(value);
    } else if (key == u"fontsize") {
        const auto points = single(leadingNumber(value), value);
        if (!points)
            return false;
        setFontSize(hours, *points);
        setFontSize(amPm, *points);
    } else if (key == u"underline") {
        hours.setUnderline(isTrue);
        amPm.setUnderline(isTrue);
    } else if (key == u"bold") {
        hours.setBold(isTrue);
        amPm.setBold(isTrue);
    } else if (key == u"italic") {
        hours.setItalic(isTrue);
        amPm.setItalic(isTrue);
    } else {
        m_known = false;
    }
    return true;
}

std::optional<int> Reading::byte(const QString& value)
{
    if (const auto v = NumberReading::toByte(leadingNumber(value)))
        return *v;
    stop(QStringLiteral("\"%1\" does not fit 0 to 255").arg(shortened(value)));
    return std::nullopt;
}

std::optional<int> Reading::int16(double value, const QString& what)
{
    if (const auto v = NumberReading::toInt16(value))
        return *v;
    stop(QStringLiteral("\"%1\" does not fit -32768 to 32767").arg(shortened(what)));
    return std::nullopt;
}

// Refuses what a single-precision field cannot hold, so no infinity reaches the layout.
std::optional<double> Reading::single(double value, const QString& what)
{
    if (std::fabs(value) <= double(FLT_MAX))
        return double(float(value));
    stop(QStringLiteral("\"%1\" is too large a number").arg(shortened(what)));
    return std::nullopt;
}

std::optional<double> Reading::pixels(double px, const QString& what)
{
    const auto twips = single(Twips::fromPixels(px), what);
    return twips ? std::optional(Twips::toPixels(*twips)) : std::nullopt;
}

std::optional<double> Reading::wholeTwipPixels(double px, const QString& what)
{
    const auto twips = int16(Twips::fromPixels(px), what);
    return twips ? std::optional(Twips::toPixels(*twips)) : std::nullopt;
}

// list(4): x and width horizontal, y and height vertical.
bool Reading::box(const QString& value, QRectF& box)
{
    const auto n = numberList<4>(value);
    std::array<double, 4> px {};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto v = pixels(n[i], value);
        if (!v)
            return false;
        px[i] = *v;
    }
    box = QRectF(px[0], px[1], px[2], px[3]);
    return true;
}

// A size of 0 or less asks for the platform's default size.
void Reading::setFontSize(QFont& font, double points)
{
    font.setPointSizeF(points > 0 ? points : defaultSkinFont().pointSizeF());
}

void Reading::note(
    QList<SkinReport::Line>& list, int line, const QString& text, const QString& reason)
{
    if (list.size() < maxReportedLines)
        list.append({ line, shortened(text), reason });
    qCDebug(lcSkin).noquote() << "Skin.ini line" << line << reason << shortened(text);
}

} // namespace

QColor nineDigitColor(const QString& text)
{
    const auto component = [&](qsizetype from) {
        const double n
            = NumberReading::roundHalfEven(leadingNumber(QStringView(text).mid(from, 3)));
        return n > 255 ? 255 : n < 0 ? 0 : int(n);
    };
    return QColor(component(0), component(3), component(6));
}

void readText(const QString& text, Skin& skin, WorldTimeSkin& worldTime, SkinReport* report)
{
    SkinReport local;
    SkinReport& r = report ? *report : local;
    r.stopLine = 0;
    r.stopReason.clear();
    r.ignored.clear();
    r.doubtful.clear();
    Reading reading(skin, worldTime, r);
    const IniText::Reading result = IniText::read(text, reading);
    r.stopLine = result.stopLine;
    r.stopReason = result.stopReason;
    if (r.stopLine != 0)
        qCDebug(lcSkin) << "Skin.ini line" << r.stopLine << "ends the reading:" << r.stopReason;
    else
        qCDebug(lcSkin) << "Skin.ini read to the end," << result.lines << "lines";
}

bool readFile(const QString& path, Skin& skin, WorldTimeSkin& worldTime, SkinReport* report)
{
    SkinReport local;
    SkinReport& r = report ? *report : local;
    r = SkinReport {};
    const std::optional<IniText::File> file = IniText::readFile(path, lcSkin());
    if (!file)
        return false;
    r.found = true;
    r.truncated = file->truncated;
    readText(file->text, skin, worldTime, &r);
    return true;
}

} // namespace SkinReader
