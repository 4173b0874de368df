#include "skintool/SkinChecker.h"

#include "core/files/Companion.h"
#include "core/files/FileList.h"
#include "core/files/PictureLoader.h"
#include "core/shape/TraceShape.h"
#include "core/skin/Backgrounds.h"
#include "core/skin/BuiltInSkin.h"
#include "core/skin/SkinReader.h"
#include "core/text/IniText.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRegion>

#include <algorithm>
#include <cstdio>

namespace {

using Severity = Finding::Severity;

// Keeps the warnings horolan.skin logs while it lives, instead of printing them: the findings
// say the same, and the picture loader's warning tells why it refused a file. Other messages
// go on to the handler that was in place.
class SkinWarnings {
public:
    SkinWarnings()
    {
        s_active = this;
        m_previous = qInstallMessageHandler(&handle);
    }
    ~SkinWarnings()
    {
        qInstallMessageHandler(m_previous);
        s_active = nullptr;
    }
    SkinWarnings(const SkinWarnings&) = delete;
    SkinWarnings& operator=(const SkinWarnings&) = delete;

    // The loader logs 'picture "PATH" refused: "WHY"', a companion's check the same.
    QString refusal() const
    {
        const qsizetype at = m_last.lastIndexOf(QStringLiteral(" refused: "));
        if (at < 0)
            return m_last.isEmpty() ? QStringLiteral("the picture could not be read") : m_last;
        QString why = m_last.mid(at + 10);
        if (why.size() >= 2 && why.startsWith(u'"') && why.endsWith(u'"'))
            why = why.mid(1, why.size() - 2);
        return why;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (s_active && type == QtWarningMsg && qstrcmp(context.category, "horolan.skin") == 0) {
            s_active->m_last = message;
            return;
        }
        if (s_active && s_active->m_previous)
            s_active->m_previous(type, context, message);
        else
            std::fprintf(stderr, "%s\n", qPrintable(message));
    }

    inline static SkinWarnings* s_active = nullptr;
    QtMessageHandler m_previous = nullptr;
    QString m_last;
};

QString plural(qsizetype n, const char* word)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(word)) + (n == 1 ? "" : "s");
}

QString components(QRgb colour)
{
    return QStringLiteral("red %1, green %2, blue %3")
        .arg(QString::number(qRed(colour)), QString::number(qGreen(colour)),
            QString::number(qBlue(colour)));
}

// Text from the skin's file, safe to print on a terminal.
QString printable(QString text)
{
    for (QChar& c : text) {
        if (c != u'\t' && !c.isPrint())
            c = u'?';
    }
    return text;
}

// One run of the check over one folder.
class Checker {
public:
    explicit Checker(const QString& folder)
        : m_dir(folder)
    { }

    CheckResult run();

private:
    void add(const QString& file, int line, Severity severity, const QString& message)
    {
        m_result.findings.append({ file, line, severity, message });
    }
    bool readSkinIni();
    void checkValues();
    void checkBackgrounds();
    void checkEach(const FileList& files, const QString& whenRefused, int limit = -1);
    void checkKeyColour();
    void checkCompanion(const QString& path, QSize size);
    void checkLoneCompanions();
    QString describe() const;

    QDir m_dir;
    QString m_iniFile;
    BackgroundKind m_kind = BackgroundKind::Random;
    Skin m_skin;
    WorldTimeSkin m_worldTime;
    SkinReport m_report;
    struct Background {
        QString file;
        QImage picture;
    };
    QList<Background> m_loaded;
    CheckResult m_result;
};

CheckResult Checker::run()
{
    const QString folder = m_dir.path();
    if (!QFileInfo(folder).isDir()) {
        add(folder, 0, Severity::Error, QStringLiteral("not a folder"));
    } else if (readSkinIni()) {
        checkValues();
        checkBackgrounds();
        checkLoneCompanions();
        checkKeyColour();
    }

    const int errors = m_result.errors();
    const qsizetype warnings = m_result.findings.size() - errors;
    QStringList counts;
    if (errors > 0)
        counts << plural(errors, "error");
    if (warnings > 0)
        counts << plural(warnings, "warning");
    m_result.summary
        = QStringLiteral("%1: %2: the clock %3 this skin as written%4")
              .arg(folder,
                  counts.isEmpty() ? QStringLiteral("no findings")
                                   : counts.join(QStringLiteral(", ")),
                  errors > 0 ? QStringLiteral("would not show") : QStringLiteral("shows"),
                  describe());
    return m_result;
}

// False when there is nothing more to check: the clock shows the built-in skin.
bool Checker::readSkinIni()
{
    const QString iniPath = FileList::findFile(m_dir.path(), QStringLiteral("Skin.ini"));
    if (iniPath.isEmpty()) {
        add(m_dir.filePath(QStringLiteral("Skin.ini")), 0, Severity::Error,
            QStringLiteral("no Skin.ini: the clock shows the built-in skin"));
        return false;
    }
    m_iniFile = m_dir.filePath(QFileInfo(iniPath).fileName());

    // As the activation does: the built-in values first, then the file over them.
    BuiltInSkin::applyValues(m_skin, m_worldTime, false);
    SkinReport& report = m_report;
    bool read = false;
    {
        SkinWarnings quiet;
        read = SkinReader::readFile(iniPath, m_skin, m_worldTime, &report);
    }
    if (!read) {
        add(m_iniFile, 0, Severity::Error,
            QStringLiteral("cannot be read: the clock shows the built-in picture"));
        return false;
    }
    for (const SkinReport::Line& line : std::as_const(report.ignored))
        add(m_iniFile, line.number, Severity::Warning,
            QStringLiteral("line ignored (%1): %2").arg(line.reason, printable(line.text)));
    if (report.stopLine != 0)
        add(m_iniFile, report.stopLine, Severity::Error,
            QStringLiteral("the reading stops here (%1): the lines after it are ignored and the "
                           "clock shows the built-in picture")
                .arg(report.stopReason));
    if (report.truncated)
        add(m_iniFile, 0, Severity::Error,
            QStringLiteral("larger than %1 bytes: the clock reads only the lines within them")
                .arg(IniText::maxBytes));

    // A Tyme skin's activation sets "tyme" whatever the file says.
    m_kind = m_skin.tyme ? BackgroundKind::Tyme : m_skin.background;
    return true;
}

// Values the reader takes but that hardly say what the author meant.
void Checker::checkValues()
{
    for (const SkinReport::Line& line : std::as_const(m_report.doubtful)) {
        if (line.reason == u"backtype" && !m_skin.tyme)
            add(m_iniFile, line.number, Severity::Warning,
                QStringLiteral("backtype \"%1\" is not random, order or animated: the background "
                               "is chosen at random from back*.*")
                    .arg(printable(line.text)));
        else if (line.reason == u"transcolor")
            add(m_iniFile, line.number, Severity::Warning,
                QStringLiteral("transcolor \"%1\" is not nine digits (three each for red, green "
                               "and blue): it is read as %2")
                    .arg(printable(line.text), components(m_skin.transparent.rgb())));
    }
}

void Checker::checkBackgrounds()
{
    const QString folder = m_dir.path();
    const QString builtIn = QStringLiteral("the clock shows the built-in picture");
    const QString whenPicked = builtIn + QStringLiteral(" when it picks this file");
    FileList files;
    if (m_kind == BackgroundKind::Order) {
        QList<Finding> missing;
        for (int hour = 0; hour <= 12; ++hour) {
            files.set(folder, QStringLiteral("back%1.*").arg(hour));
            files.dropCompanions();
            if (files.count() == 0)
                missing.append({ folder, 0, Severity::Error,
                    QStringLiteral("no %1 picture for hour %2: %3 during that hour")
                        .arg(files.pattern())
                        .arg(hour)
                        .arg(builtIn) });
            checkEach(files, whenPicked);
        }
        if (missing.size() == 13)
            add(folder, 0, Severity::Error,
                QStringLiteral("no back0.* to back12.* pictures (one for each hour): %1")
                    .arg(builtIn));
        else
            m_result.findings.append(missing);
    } else if (m_kind == BackgroundKind::Animated) {
        files.set(folder, QStringLiteral("Back*.BMP"));
        files.dropCompanions();
        if (files.count() == 0)
            add(folder, 0, Severity::Error,
                QStringLiteral("no Back*.BMP frames for the animation: %1").arg(builtIn));
        if (files.count() > Backgrounds::maxFrames)
            add(folder, 0, Severity::Warning,
                QStringLiteral("%1 Back*.BMP frames: only the first %2 are shown")
                    .arg(files.count())
                    .arg(Backgrounds::maxFrames));
        checkEach(files, builtIn + QStringLiteral(" for this frame"), Backgrounds::maxFrames);
    } else if (m_kind == BackgroundKind::Tyme) {
        files.set(folder, QStringLiteral("main*.*"));
        files.dropCompanions();
        if (files.count() == 0)
            add(folder, 0, Severity::Error,
                QStringLiteral("no main*.* picture (a Tyme skin shows the first one): %1")
                    .arg(builtIn));
        checkEach(files, builtIn, 1);
    } else {
        files.set(folder, QStringLiteral("back*.*"));
        files.dropCompanions();
        if (files.count() == 0)
            add(folder, 0, Severity::Error,
                QStringLiteral("no back*.* picture to choose from: %1").arg(builtIn));
        checkEach(files, whenPicked);
    }
}

// Loads the first limit files of the list (all when negative) as the clock would.
void Checker::checkEach(const FileList& files, const QString& whenRefused, int limit)
{
    const int count = limit < 0 ? files.count() : std::min(files.count(), limit);
    for (int i = 0; i < count; ++i) {
        const QString file = m_dir.filePath(files.names().at(i));
        SkinWarnings capture;
        QImage picture = PictureLoader::load(files.path(i), m_dir.path());
        if (picture.isNull())
            add(file, 0, Severity::Error,
                QStringLiteral("cannot be loaded (%1): %2").arg(capture.refusal(), whenRefused));
        else {
            checkCompanion(files.path(i), picture.size());
            m_loaded.append({ file, std::move(picture) });
        }
    }
}

// A companion the clock would not use on a high-DPI screen.
void Checker::checkCompanion(const QString& path, QSize size)
{
    const QString companion = Companion::pathOf(path);
    if (companion.isEmpty())
        return;
    const SkinWarnings capture;
    if (Companion::load(path, size, m_dir.path()).isNull())
        add(m_dir.filePath(QFileInfo(companion).fileName()), 0, Severity::Warning,
            QStringLiteral("ignored (%1): high-DPI screens show %2 scaled up")
                .arg(capture.refusal(), QFileInfo(path).fileName()));
}

// A companion belongs to its picture; alone it is never shown.
void Checker::checkLoneCompanions()
{
    FileList all;
    all.set(m_dir.path(), QStringLiteral("*"));
    for (const QString& name : all.names()) {
        if (!Companion::isCompanion(name))
            continue;
        const qsizetype dot = name.lastIndexOf(u'.');
        const QString picture = dot < 0 ? QString() : name.left(dot - 3) + name.mid(dot);
        if (picture.isEmpty() || FileList::findFile(m_dir.path(), picture).isEmpty())
            add(m_dir.filePath(name), 0, Severity::Warning,
                QStringLiteral("a companion without its picture %1: never shown")
                    .arg(picture.isEmpty() ? QStringLiteral("(no extension)") : picture));
    }
}

// The outline is traced with the key colour; a picture without it gives a plain rectangle.
void Checker::checkKeyColour()
{
    if (m_loaded.isEmpty())
        return;
    const QRgb key = m_skin.transparent.rgb();
    const QString colour = components(key);
    QList<const Background*> plain;
    for (const Background& background : std::as_const(m_loaded)) {
        const QRegion outline = TraceShape(background.picture, key);
        qint64 area = 0;
        for (const QRect& rect : outline)
            area += qint64(rect.width()) * rect.height();
        const QSize size = background.picture.size();
        if (area == 0)
            add(background.file, 0, Severity::Warning,
                QStringLiteral("every pixel has the transparent colour %1: the window is "
                               "invisible with this picture")
                    .arg(colour));
        else if (area == qint64(size.width()) * size.height())
            plain.append(&background);
    }
    if (plain.size() == m_loaded.size()) {
        add(m_iniFile, 0, Severity::Warning,
            QStringLiteral("no background has a pixel of the transparent colour %1: the window "
                           "is a plain rectangle")
                .arg(colour));
        return;
    }
    for (const Background* background : std::as_const(plain))
        add(background->file, 0, Severity::Warning,
            QStringLiteral("no pixel of the transparent colour %1: the window is a plain "
                           "rectangle with this picture")
                .arg(colour));
}

QString Checker::describe() const
{
    if (m_iniFile.isEmpty())
        return QString();
    QString kind;
    if (m_kind == BackgroundKind::Order)
        kind = QStringLiteral("one background per hour");
    else if (m_kind == BackgroundKind::Animated)
        kind = QStringLiteral("animated background");
    else if (m_kind == BackgroundKind::Tyme)
        kind = QStringLiteral("Tyme skin");
    else
        kind = QStringLiteral("background at random");
    return QStringLiteral(" (%1, %2)").arg(kind, plural(m_loaded.size(), "picture"));
}

} // namespace

QString Finding::toText() const
{
    const QString where = line > 0 ? QStringLiteral("%1:%2").arg(file).arg(line) : file;
    const QString kind
        = severity == Severity::Error ? QStringLiteral("error") : QStringLiteral("warning");
    return QStringLiteral("%1: %2: %3").arg(where, kind, message);
}

int CheckResult::errors() const
{
    return int(std::count_if(findings.begin(), findings.end(),
        [](const Finding& f) { return f.severity == Finding::Severity::Error; }));
}

namespace SkinChecker {

CheckResult check(const QString& folder)
{
    return Checker(folder).run();
}

} // namespace SkinChecker
