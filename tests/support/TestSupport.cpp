#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLoggingCategory>
#include <QPainter>
#include <QRegularExpression>
#include <QTest>

namespace test {

QString dataPath(const QString& relative)
{
    return QStringLiteral(HOROLAN_TEST_DATA "/") + relative;
}

QString unescaped(QString text)
{
    static const QRegularExpression escape(
        QStringLiteral(R"(\\(x[0-9a-fA-F]{2}|u[0-9a-fA-F]{4}|.))"));
    for (auto m = escape.match(text); m.hasMatch(); m = escape.match(text, m.capturedStart() + 1)) {
        const QString code = m.captured(1);
        const QChar c = code.size() > 1 ? QChar(char16_t(code.mid(1).toUShort(nullptr, 16)))
            : code == u"r"              ? QChar(u'\r')
            : code == u"t"              ? QChar(u'\t')
            : code == u"n"              ? QChar(u'\n')
                                        : code[0];
        text.replace(m.capturedStart(), m.capturedLength(), c);
    }
    return text;
}

QList<QStringList> rows(const QString& relative)
{
    QFile file(dataPath(relative));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    QList<QStringList> result;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        QStringList columns = line.split(u'|');
        for (QString& column : columns)
            column = column.trimmed().replace(QStringLiteral("\\n"), QStringLiteral("\n"));
        result << columns;
    }
    return result;
}

void addRows(const QString& relative, const QStringList& kinds)
{
    QTest::addColumn<QStringList>("row");
    for (const QStringList& row : rows(relative)) {
        if (kinds.isEmpty() || kinds.contains(row.value(1)))
            QTest::newRow(qPrintable(row.value(0))) << row;
    }
}

QMap<QString, QString> skinFields(const Skin& s, const WorldTimeSkin& w)
{
    const auto n = [](double v) { return QString::number(v); };
    const auto colour = [](const QColor& c) {
        return QStringLiteral("%1,%2,%3").arg(c.red()).arg(c.green()).arg(c.blue());
    };
    const auto box = [&](const QRectF& r) {
        return QStringList { n(r.x()), n(r.y()), n(r.width()), n(r.height()) }.join(u',');
    };
    const auto yes = [](bool b) { return QString::fromLatin1(b ? "true" : "false"); };
    const auto word
        = [](int i, const char* words) { return QString::fromLatin1(words).split(u' ').value(i); };
    QMap<QString, QString> f { { "info.madeBy", s.info.madeBy }, { "info.name", s.info.name },
        { "info.date", s.info.date }, { "info.email", s.info.email },
        { "info.homepage", s.info.homepage }, { "info.comment", s.info.comment },
        { "analog", yes(s.analog) }, { "analogBox", box(s.analogBox) },
        { "chimes", word(int(s.chimes), "Random Count Order Index Silent") },
        { "background", word(int(s.background), "Random Order Animated Tyme") },
        { "smooth", yes(s.smooth) }, { "transparent", colour(s.transparent) },
        { "digital", yes(s.digital) }, { "colons", word(int(s.colons), "Blink Hidden Shown") },
        { "showSeconds", yes(s.showSeconds) }, { "separateTexts", yes(s.separateTexts) },
        { "tyme", yes(s.tyme) },
        { "alignment", word(int(s.alignment), "Left Center Right AsRead") },
        { "worldTime.box", box(w.box) }, { "worldTime.area", colour(w.area) },
        { "worldTime.time", colour(w.time) }, { "worldTime.nightTime", colour(w.nightTime) } };
    for (const auto& [name, hand] : { std::pair { "hourHand.", &s.hourHand },
             { "minuteHand.", &s.minuteHand }, { "secondHand.", &s.secondHand } }) {
        f[name + QStringLiteral("color")] = colour(hand->color);
        f[name + QStringLiteral("width")] = n(hand->width);
        f[name + QStringLiteral("start")] = n(hand->start);
        f[name + QStringLiteral("length")] = n(hand->length);
    }
    for (const auto& [name, text] : { std::pair { "hours.", &s.hours }, { "minutes.", &s.minutes },
             { "seconds.", &s.seconds }, { "amPm.", &s.amPm } }) {
        const QFont& font = text->font;
        QStringList face { font.family(), n(font.pointSizeF()) };
        face << (font.bold() ? "bold" : "") << (font.italic() ? "italic" : "")
             << (font.underline() ? "underline" : "");
        f[name + QStringLiteral("font")] = face.join(u' ').simplified();
        f[name + QStringLiteral("position")] = n(text->position.x()) + u',' + n(text->position.y());
        f[name + QStringLiteral("color")] = colour(text->color);
        f[name + QStringLiteral("angleTenths")] = n(text->angleTenths);
    }
    return f;
}

namespace {
LogCapture* g_capture = nullptr;
QtMessageHandler g_previous = nullptr;

void capture(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    static const char* const levels[] = { "debug", "warning", "critical", "fatal", "info" };
    if (g_capture)
        g_capture->lines << QStringLiteral("%1.%2: %3")
                                .arg(QLatin1String(context.category), QLatin1String(levels[type]),
                                    message);
    if (type != QtDebugMsg && g_previous)
        g_previous(type, context, message);
}
} // namespace

LogCapture::LogCapture()
{
    g_capture = this;
    g_previous = qInstallMessageHandler(capture);
    QLoggingCategory::setFilterRules(QStringLiteral("horolan.*.debug=true"));
}

LogCapture::~LogCapture()
{
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(g_previous);
    g_capture = nullptr;
}

bool LogCapture::has(const QString& category, const QString& level, const QString& text) const
{
    const QString prefix = QStringLiteral("horolan.%1.%2: ").arg(category, level);
    return std::any_of(lines.begin(), lines.end(),
        [&](const QString& line) { return line.startsWith(prefix) && line.contains(text); });
}

QString Folders::path(const QString& relative) const
{
    return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
}

void Folders::write(const QString& relative, const QByteArray& bytes) const
{
    QDir().mkpath(QFileInfo(path(relative)).absolutePath());
    QFile file(path(relative));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
}

void Folders::picture(const QString& relative, QSize size, QColor colour, QColor key) const
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    if (key.isValid()) {
        QPainter painter(&image);
        const QSize corner(size.width() / 4, size.height() / 4);
        for (const QPoint at : { QPoint(0, 0), QPoint(size.width() - corner.width(), 0),
                 QPoint(0, size.height() - corner.height()),
                 QPoint(size.width() - corner.width(), size.height() - corner.height()) })
            painter.fillRect(QRect(at, corner), key);
    }
    QDir().mkpath(QFileInfo(path(relative)).absolutePath());
    if (!image.save(path(relative)))
        qFatal("cannot write %s", qPrintable(path(relative)));
}

QString Clockwork::shown() const
{
    const Background& shown = timepiece.face().background();
    return shown.isBuiltIn() ? QStringLiteral("builtin") : QFileInfo(shown.path).fileName();
}

} // namespace test
