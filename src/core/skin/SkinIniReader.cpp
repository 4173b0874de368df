#include "core/skin/SkinIniReader.h"

#include "core/text/TextLines.h"

#include "core/base/Logging.h"
#include "core/text/NumberReading.h"
#include "core/base/Twips.h"
#include "core/skin/TymeColor.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>

namespace SkinIniReader {

namespace {

using NumberReading::leadingNumber;

// A file of junk must not grow the report without bound.
constexpr qsizetype maxReportedLines = 1000;
constexpr qsizetype maxReportedText = 200;

enum class Section { None, Info, Setting, Hur, Min, Sec, Ampm, Wtt, Font, Skin, Unknown };

Section sectionOf(const QString& rawName)
{
    const QString name = trimBlanks(rawName).toLower();
    if (name.isEmpty())
        return Section::None;
    static const std::array<std::pair<const char16_t*, Section>, 9> known { {
        { u"info", Section::Info },
        { u"setting", Section::Setting },
        { u"hur", Section::Hur },
        { u"min", Section::Min },
        { u"sec", Section::Sec },
        { u"ampm", Section::Ampm },
        { u"wtt", Section::Wtt },
        { u"font", Section::Font },
        { u"skin", Section::Skin },
    } };
    for (const auto& [text, section] : known) {
        if (name == QStringView(text))
            return section;
    }
    return Section::Unknown;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// The whole (trimmed) text is one decimal number: "12.5", "-3", ".5"; not "12x" or "".
bool isWholeNumber(QStringView text)
{
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
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

// list(k): missing trailing numbers repeat the last one given.
template <std::size_t K> std::array<double, K> numberList(QString value)
{
    std::array<double, K> numbers {};
    for (std::size_t i = 0; i < K; ++i) {
        numbers[i] = leadingNumber(value);
        const qsizetype comma = value.indexOf(u',');
        if (comma >= 0)
            value = trimBlanks(QStringView(value).mid(comma + 1));
    }
    return numbers;
}

// Nine digits, three each for red, green and blue; a missing group is 0, above 255 is 255.
ColorRef nineDigitColor(const QString& value)
{
    const auto component = [&](qsizetype from) {
        const double n = NumberReading::roundHalfEven(leadingNumber(value.mid(from, 3)));
        return n > 255 ? 255 : n < 0 ? 0 : int(n);
    };
    return rgbColor(component(0), component(3), component(6));
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

// One reading of one file: the loop of the line reader and its per-reading state.
class Reading {
public:
    Reading(SkinRecord& skin, WttSkinRecord& wtt, SkinIniReport& report, QString source)
        : m_skin(skin)
        , m_wtt(wtt)
        , m_report(report)
        , m_source(std::move(source))
    { }

    void run(const QString& text);

private:
    enum class Key { Stored, Unknown, Stop };

    Key keyLine(QString line);
    Key info(const QString& key, const QString& value);
    Key setting(const QString& key, const QString& value);
    Key textElement(int index, const QString& key, const QString& value);
    Key worldTime(const QString& key, const QString& value);
    Key tymeFont(const QString& key, const QString& value);

    bool stop(const QString& reason)
    {
        m_stopReason = reason;
        return false;
    }
    bool storeByte(const QString& value, std::uint8_t& field);
    bool storeInt16(double value, std::int16_t& field, const QString& what);
    bool storeSingle(double value, float& field, const QString& what);
    bool storeBox(const QString& value, TwipsBox& box);
    void ignore(int number, const QString& text, const QString& reason);
    void stopAt(int number, const QString& reason);
    QString unknownReason() const;

    SkinRecord& m_skin;
    WttSkinRecord& m_wtt;
    SkinIniReport& m_report;
    QString m_source;
    // Fresh for every reading; copied into the four text elements after each key line.
    std::array<SkinFont, 4> m_fonts;
    Section m_section = Section::None;
    QString m_key; // of the last key line, for the report
    bool m_timeNightColorRead = false;
    QString m_stopReason;
};

void Reading::run(const QString& text)
{
    TextLines lines(text);

    QString line;
    if (!lines.next(line)) {
        qCDebug(lcSkin).noquote() << m_source << "is empty: nothing read";
        return;
    }
    line = trimBlanks(line); // only the first line is trimmed
    do {
        if (line.contains(u'=') && !line.startsWith(u';')) {
            const QString original = line;
            switch (keyLine(line)) {
            case Key::Stop:
                return stopAt(lines.number(), m_stopReason);
            case Key::Unknown:
                ignore(lines.number(), original, unknownReason());
                break;
            case Key::Stored:
                break;
            }
            // Whatever the section, the record now refers to this reading's fonts.
            m_skin.hur.font = m_fonts[0];
            m_skin.min.font = m_fonts[1];
            m_skin.sec.font = m_fonts[2];
            m_skin.ampm.font = m_fonts[3];
        } else if (line.startsWith(u'[')) {
            const qsizetype length = trimBlanks(line).size() - 2;
            if (length < 0)
                return stopAt(lines.number(), QStringLiteral("a line that is just \"[\""));
            m_section = sectionOf(line.mid(1, length));
        } else {
            const QString trimmed = trimBlanks(line);
            if (trimmed.startsWith(u'['))
                ignore(lines.number(), line, QStringLiteral("\"[\" not in the first column"));
            else if (!trimmed.isEmpty() && !trimmed.startsWith(u';'))
                ignore(lines.number(), line, QStringLiteral("stray text"));
        }
    } while (lines.next(line));
    qCDebug(lcSkin).noquote() << m_source << "read to the end," << lines.number() << "lines";
}

Reading::Key Reading::keyLine(QString line)
{
    const qsizetype semicolon = line.indexOf(u';');
    if (semicolon >= 0)
        line = trimBlanks(QStringView(line).left(semicolon));
    if (m_section == Section::Setting)
        m_skin.tymeskin = false;
    else if (m_section == Section::Font || m_section == Section::Skin)
        m_skin.tymeskin = true;
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0) {
        stop(QStringLiteral("\";\" before the first \"=\""));
        return Key::Stop;
    }
    // Keys are not trimmed: "name =x" matches nothing, as stored skins expect.
    const QString key = line.left(equals).toLower();
    m_key = key;
    const QString value = trimBlanks(QStringView(line).mid(equals + 1));
    switch (m_section) {
    case Section::Info:
        return info(key, value);
    case Section::Setting:
        return setting(key, value);
    case Section::Hur:
        return textElement(0, key, value);
    case Section::Min:
        return textElement(1, key, value);
    case Section::Sec:
        return textElement(2, key, value);
    case Section::Ampm:
        return textElement(3, key, value);
    case Section::Wtt:
        return worldTime(key, value);
    case Section::Font:
        return tymeFont(key, value);
    case Section::Skin:
        if (key != u"transcolor")
            return Key::Unknown;
        m_skin.transcolor = fixedWidth(value, 9);
        return Key::Stored;
    case Section::None:
    case Section::Unknown:
        break;
    }
    return Key::Unknown;
}

Reading::Key Reading::info(const QString& key, const QString& value)
{
    QString* field = nullptr;
    if (key == u"name" || key == u"skinname")
        field = &m_skin.name;
    else if (key == u"date")
        field = &m_skin.date;
    else if (key == u"madeby" || key == u"author")
        field = &m_skin.madeby;
    else if (key == u"email")
        field = &m_skin.email;
    else if (key == u"homepage" || key == u"url")
        field = &m_skin.homepage;
    else if (key == u"comment" || key == u"description")
        field = &m_skin.comment;
    if (!field)
        return Key::Unknown;
    *field = value;
    return Key::Stored;
}

Reading::Key Reading::setting(const QString& key, const QString& value)
{
    SkinRecord& s = m_skin;
    bool ok = true;
    if (key == u"analogpos")
        ok = storeBox(value, s.analogpos);
    else if (key == u"seccolor")
        s.seccolor = nineDigitColor(value);
    else if (key == u"mincolor")
        s.mincolor = nineDigitColor(value);
    else if (key == u"hurcolor")
        s.hurcolor = nineDigitColor(value);
    else if (key == u"secwidth")
        ok = storeByte(value, s.secwidth);
    else if (key == u"minwidth")
        ok = storeByte(value, s.minwidth);
    else if (key == u"hurwidth")
        ok = storeByte(value, s.hurwidth);
    else if (key == u"seclenght")
        ok = storeInt16(leadingNumber(value), s.seclenght, value);
    else if (key == u"minlenght")
        ok = storeInt16(leadingNumber(value), s.minlenght, value);
    else if (key == u"hurlenght")
        ok = storeInt16(leadingNumber(value), s.hurlenght, value);
    else if (key == u"secstart")
        ok = storeInt16(leadingNumber(value), s.secstart, value);
    else if (key == u"minstart")
        ok = storeInt16(leadingNumber(value), s.minstart, value);
    else if (key == u"hurstart")
        ok = storeInt16(leadingNumber(value), s.hurstart, value);
    else if (key == u"chimestype")
        s.chimestype = fixedWidth(value.toLower(), 6);
    else if (key == u"backtype")
        s.backtype = fixedWidth(value.toLower(), 6);
    else if (key == u"transcolor")
        s.transcolor = fixedWidth(value, 9);
    else if (key == u"smoot" || key == u"smooth")
        s.smooth = yes(value);
    else if (key == u"useanalog")
        s.useanalog = yes(value);
    else if (key == u"usedig")
        s.usedig = yes(value);
    else if (key == u"blinkdots")
        s.blinkdots = fixedWidth(value.toLower(), 3);
    else if (key == u"break")
        s.break_ = yes(value);
    else if (key == u"showdigsec")
        s.showdigsec = yes(value);
    else
        return Key::Unknown;
    return ok ? Key::Stored : Key::Stop;
}

Reading::Key Reading::textElement(int index, const QString& key, const QString& value)
{
    const std::array elements { &m_skin.hur, &m_skin.min, &m_skin.sec, &m_skin.ampm };
    TextElement& e = *elements[std::size_t(index)];
    SkinFont& font = m_fonts[std::size_t(index)];
    bool ok = true;
    if (key == u"xy") {
        const auto xy = numberList<2>(value);
        const double left = Twips::fromPixels(xy[0]);
        const double top = Twips::fromPixels(xy[1]);
        if (index == 0) {
            ok = storeSingle(left, e.left, value) && storeSingle(top, e.top, value);
        } else {
            // The other elements keep whole twips, as stored skins expect.
            std::int16_t whole = 0;
            ok = storeInt16(left, whole, value);
            if (ok)
                e.left = whole;
            ok = ok && storeInt16(top, whole, value);
            if (ok)
                e.top = whole;
        }
    } else if (key == u"color") {
        e.color = nineDigitColor(value);
    } else if (key == u"font") {
        font.face = value;
    } else if (key == u"fontbold") {
        font.bold = yes(value);
    } else if (key == u"fontitalic") {
        font.italic = yes(value);
    } else if (key == u"fontsize") {
        float size = 0;
        ok = storeSingle(leadingNumber(value), size, value);
        if (ok)
            font.size = size;
    } else if (key == u"angle") {
        ok = isWholeNumber(value)
            ? storeInt16(leadingNumber(value) * 10, m_skin.angle[std::size_t(index)], value)
            : stop(QStringLiteral("angle \"%1\" is not a number").arg(shortened(value)));
    } else {
        return Key::Unknown;
    }
    return ok ? Key::Stored : Key::Stop;
}

Reading::Key Reading::worldTime(const QString& key, const QString& value)
{
    bool ok = true;
    if (key == u"boxpos") {
        ok = storeBox(value, m_wtt.boxpos);
    } else if (key == u"areacolor") {
        m_wtt.areacolor = nineDigitColor(value);
    } else if (key == u"timecolor") {
        m_wtt.timecolor = nineDigitColor(value);
        if (!m_timeNightColorRead)
            m_wtt.timenightcolor = m_wtt.timecolor;
    } else if (key == u"timenightcolor") {
        m_wtt.timenightcolor = nineDigitColor(value);
        m_timeNightColorRead = true;
    } else {
        return Key::Unknown;
    }
    return ok ? Key::Stored : Key::Stop;
}

// The "font" section of a Tyme skin: one time text, kept in the hur and ampm elements.
Reading::Key Reading::tymeFont(const QString& key, const QString& value)
{
    SkinFont& hurFont = m_fonts[0];
    SkinFont& ampmFont = m_fonts[3];
    const bool isTrue = value.toLower() == u"true";
    bool ok = true;
    if (key == u"fontcolor") {
        QString hex = fixedWidth(value, 6);
        m_skin.hur.color = m_skin.ampm.color = TymeColor(hex);
    } else if (key == u"alignment") {
        m_skin.alignment = fixedWidth(value.toLower(), 6);
    } else if (key == u"offset") {
        ok = storeSingle(Twips::fromPixels(leadingNumber(value)), m_skin.analogpos.left, value);
    } else if (key == u"topoffset") {
        ok = storeSingle(Twips::fromPixels(leadingNumber(value)), m_skin.hur.top, value);
    } else if (key == u"font") {
        hurFont.face = ampmFont.face = value;
    } else if (key == u"fontsize") {
        float size = 0;
        ok = storeSingle(leadingNumber(value), size, value);
        if (ok)
            hurFont.size = ampmFont.size = size;
    } else if (key == u"underline") {
        hurFont.underline = ampmFont.underline = isTrue;
    } else if (key == u"bold") {
        hurFont.bold = ampmFont.bold = isTrue;
    } else if (key == u"italic") {
        hurFont.italic = ampmFont.italic = isTrue;
    } else {
        return Key::Unknown;
    }
    return ok ? Key::Stored : Key::Stop;
}

bool Reading::storeByte(const QString& value, std::uint8_t& field)
{
    const auto v = NumberReading::toByte(leadingNumber(value));
    if (!v)
        return stop(QStringLiteral("\"%1\" does not fit 0 to 255").arg(shortened(value)));
    field = *v;
    return true;
}

bool Reading::storeInt16(double value, std::int16_t& field, const QString& what)
{
    const auto v = NumberReading::toInt16(value);
    if (!v)
        return stop(QStringLiteral("\"%1\" does not fit -32768 to 32767").arg(shortened(what)));
    field = *v;
    return true;
}

// Single-precision fields refuse what a float cannot hold, so no infinity reaches the layout.
bool Reading::storeSingle(double value, float& field, const QString& what)
{
    if (!(std::fabs(value) <= double(FLT_MAX)))
        return stop(QStringLiteral("\"%1\" is too large a number").arg(shortened(what)));
    field = float(value);
    return true;
}

// list(4): x and width horizontal, y and height vertical.
bool Reading::storeBox(const QString& value, TwipsBox& box)
{
    const auto n = numberList<4>(value);
    return storeSingle(Twips::fromPixels(n[0]), box.left, value)
        && storeSingle(Twips::fromPixels(n[1]), box.top, value)
        && storeSingle(Twips::fromPixels(n[2]), box.width, value)
        && storeSingle(Twips::fromPixels(n[3]), box.height, value);
}

QString Reading::unknownReason() const
{
    if (m_section == Section::None)
        return QStringLiteral("key before any section");
    if (m_section == Section::Unknown)
        return QStringLiteral("unknown section");
    if (!m_key.isEmpty() && isBlank(m_key.back()))
        return QStringLiteral("blank before \"=\"");
    if (!m_key.isEmpty() && isBlank(m_key.front()))
        return QStringLiteral("blank before the key");
    return QStringLiteral("unknown key");
}

void Reading::stopAt(int number, const QString& reason)
{
    m_report.stopLine = number;
    m_report.stopReason = reason;
    qCDebug(lcSkin).noquote() << m_source << "line" << number << "ends the reading:" << reason;
}

void Reading::ignore(int number, const QString& text, const QString& reason)
{
    if (m_report.ignored.size() >= maxReportedLines)
        return;
    m_report.ignored.append({ number, shortened(text), reason });
    qCDebug(lcSkin).noquote() << m_source << "line" << number << "ignored:" << reason;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool isValidUtf8(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra = 0;
        unsigned lowest = 0x80;
        unsigned highest = 0xbf;
        if (c >= 0xc2 && c <= 0xdf) {
            extra = 1;
        } else if (c >= 0xe0 && c <= 0xef) {
            extra = 2;
            if (c == 0xe0)
                lowest = 0xa0;
            if (c == 0xed)
                highest = 0x9f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            extra = 3;
            if (c == 0xf0)
                lowest = 0x90;
            if (c == 0xf4)
                highest = 0x8f;
        } else {
            return false;
        }
        if (n - i <= extra)
            return false;
        if (p[i + 1] < lowest || p[i + 1] > highest)
            return false;
        for (int k = 2; k <= extra; ++k) {
            if ((p[i + k] & 0xc0) != 0x80)
                return false;
        }
        i += extra + 1;
    }
    return true;
}

// Windows-1252's 0x80 to 0x9F; its five unassigned bytes map to the C1 controls, as Windows does.
constexpr std::array<char16_t, 32> cp1252High { 0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026,
    0x2020, 0x2021, 0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008d, 0x017d, 0x008f, 0x0090, 0x2018,
    0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d,
    0x017e, 0x0178 };

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        out[i] = (c >= 0x80 && c <= 0x9f) ? QChar(cp1252High[c - 0x80]) : QChar(char16_t(c));
    }
    return text;
}

void readText(const QString& text, SkinRecord& skin, WttSkinRecord& wtt, SkinIniReport* report,
    const QString& source)
{
    SkinIniReport local;
    SkinIniReport& r = report ? *report : local;
    r.stopLine = 0;
    r.stopReason.clear();
    r.ignored.clear();
    Reading(skin, wtt, r, source).run(text);
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

QString decodeSkinText(const QByteArray& bytes)
{
    QByteArrayView view(bytes);
    // A byte order mark is dropped either way: it only says the author meant UTF-8.
    if (view.startsWith("\xef\xbb\xbf"))
        view = view.sliced(3);
    if (isValidUtf8(bytes))
        return QString::fromUtf8(view);
    return fromWindows1252(view);
}

void readData(const QByteArray& bytes, SkinRecord& skin, WttSkinRecord& wtt, SkinIniReport* report)
{
    readText(decodeSkinText(bytes), skin, wtt, report, QStringLiteral("skin data"));
}

bool read(const QString& path, SkinRecord& skin, WttSkinRecord& wtt, SkinIniReport* report)
{
    SkinIniReport local;
    SkinIniReport& r = report ? *report : local;
    r = SkinIniReport {};
    const QFileInfo info(path);
    if (!info.exists()) {
        qCDebug(lcSkin).noquote() << path << "does not exist: nothing read";
        return false;
    }
    // Pipes and devices could block or never end.
    if (!info.isFile()) {
        qCWarning(lcSkin).noquote() << path << "is not a regular file: not read";
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcSkin).noquote() << path << "cannot be opened:" << file.errorString();
        return false;
    }
    r.found = true;
    QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes) {
        r.truncated = true;
        bytes.truncate(maxBytes);
        // The cut line is incomplete: drop it, so no half value is taken and no UTF-8
        // sequence is split.
        const qsizetype lastBreak = std::max(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r'));
        bytes.truncate(lastBreak + 1);
        qCWarning(lcSkin).noquote() << path << "is larger than" << maxBytes
                                    << "bytes: the rest, from the cut line on, is ignored";
    }
    readText(decodeSkinText(bytes), skin, wtt, &r, path);
    return true;
}

} // namespace SkinIniReader
