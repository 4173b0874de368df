#include "core/skin/SkinEngine.h"

#include "core/base/Clock.h"
#include "core/face/HorolanState.h"
#include "core/base/Logging.h"
#include "core/text/NumberReading.h"
#include "core/files/PictureLoader.h"
#include "core/base/Random.h"
#include "core/files/Roots.h"
#include "core/base/Twips.h"
#include "core/face/FacePainter.h"
#include "core/face/TimeText.h"
#include "core/shape/TraceShape.h"
#include "core/skin/BuiltInSkin.h"
#include "core/skin/SkinIniReader.h"
#include "core/skin/SkinWindow.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString skinsKind = QStringLiteral("Skins");

QString trimmedLower(const QString& text)
{
    return SkinIniReader::trimBlanks(text).toLower();
}

double fontTextWidthTwips(const SkinFont& font, const QString& text)
{
    return QFontMetricsF(FaceGeometry::windowFont(font)).horizontalAdvance(text) * Twips::perPixel;
}

// The built-in picture is always cut by its own magenta, whatever the active skin's colour.
const QRegion& builtInOutline()
{
    static const QRegion outline = TraceShape(BuiltInSkin::picture(), BuiltInSkin::transparentKey);
    return outline;
}

int colourGroup(const QString& digits)
{
    const double value = NumberReading::roundHalfEven(NumberReading::leadingNumber(digits));
    return int(std::clamp(value, 0.0, 255.0));
}

// Rounded into a 16-bit field, clamped where it would not fit.
float wholeTwips(double twips)
{
    const double rounded = NumberReading::roundHalfEven(twips);
    return float(std::clamp(rounded, double(std::numeric_limits<std::int16_t>::min()),
        double(std::numeric_limits<std::int16_t>::max())));
}

} // namespace

SkinEngine::SkinEngine(
    HorolanState& state, const Clock& clock, const Roots& roots, Random& random, SkinWindow& window)
    : m_state(state)
    , m_clock(clock)
    , m_roots(roots)
    , m_random(random)
    , m_window(window)
    , m_textWidth(fontTextWidthTwips)
{ }

QRgb SkinEngine::keyColor(const QString& transcolor)
{
    const QString t = fixedWidth(transcolor, 9);
    return qRgb(colourGroup(t.mid(0, 3)), colourGroup(t.mid(3, 3)), colourGroup(t.mid(6, 3)));
}

QString SkinEngine::currentSkinFolder() const
{
    if (m_state.CurrentSkin == builtInSkinName)
        return {};
    return m_roots.resolve(skinsKind, m_state.CurrentSkin);
}

void SkinEngine::ActivateSkin(const QString& Skin)
{
    // An empty name can name no folder; it is the built-in skin (a start with an empty saved
    // name would otherwise apply nothing at all).
    const QString name = Skin.isEmpty() ? builtInSkinName : Skin;
    if (name == m_state.CurrentSkin) {
        qCDebug(lcSkin) << "skin" << name << "is already active";
        return;
    }
    m_window.setBusy(true);

    SkinRecord& skin = m_state.skin;
    const bool builtIn = name == builtInSkinName;
    if (!builtIn && !Roots::isSafeName(name))
        qCWarning(lcSkin) << "skin name" << name << "is not a plain folder name: built-in skin";
    const QString folder = builtIn ? QString() : m_roots.resolve(skinsKind, name);
    const QString iniPath
        = folder.isEmpty() ? QString() : FileList::findFile(folder, QStringLiteral("Skin.ini"));

    bool readFailed = false;
    if (builtIn || iniPath.isEmpty()) {
        if (!builtIn)
            qCDebug(lcSkin) << "skin" << name
                            << (folder.isEmpty() ? "has no folder" : "has no Skin.ini")
                            << "- built-in skin";
        ActivateDefSkin(false);
        // A missing file counts as a failed reading, so a folder of pictures without Skin.ini
        // still shows the built-in picture.
        readFailed = !builtIn;
        // Nothing is read, so nothing can make this a Tyme skin; the flag would otherwise carry
        // over from an earlier Tyme skin and lay the built-in skin out as digital.
        skin.tymeskin = false;
    }
    ActivateDefSkin(true);
    m_state.CurrentSkin = name;

    if (!iniPath.isEmpty()) {
        SkinIniReport report;
        if (!SkinIniReader::read(iniPath, skin, m_state.wttSkin, &report)) {
            qCWarning(lcSkin) << "skin" << name << "- Skin.ini could not be read";
            readFailed = true;
        } else if (report.stopLine != 0) {
            qCWarning(lcSkin).noquote() << "skin" << name << "- Skin.ini stopped at line"
                                        << report.stopLine << ":" << report.stopReason;
            readFailed = true;
        } else {
            qCDebug(lcSkin) << "skin" << name << "read from" << iniPath;
        }
        qCDebug(lcSkin).noquote() << "skin" << skin.name << "by" << skin.madeby << "-"
                                  << skin.comment;
    }

    if (skin.tymeskin)
        layOutTyme(readFailed);

    skin.backtype = skin.backtype.toLower();
    if (trimmedLower(skin.backtype) == u"animat")
        loadFrames(folder);
    m_BackFrame = 0;
    if (!skin.tymeskin)
        ChangeBack(std::uint8_t(hourNow12()), false, readFailed);

    m_window.updateWorldTimeSkin();
    m_window.setBusy(false);
}

int SkinEngine::hourNow12() const
{
    return TimeText::twelveHour(m_clock.now().time().hour());
}

void SkinEngine::layOutTyme(bool readFailed)
{
    SkinRecord& skin = m_state.skin;
    skin.backtype = fixedWidth(QStringLiteral("tyme"), 6);
    // The window takes the Tyme picture's size first: the text is placed within its width.
    ChangeBack(std::uint8_t(hourNow12()), false, readFailed);

    skin.date = QStringLiteral("Made for 'Tyme'");
    skin.useanalog = false;
    skin.usedig = true;
    skin.break_ = false;

    const double W = Twips::fromPixels(m_window.windowGeometry().width());
    const double offset = skin.analogpos.left;
    const double time = m_textWidth(skin.hur.font, QStringLiteral("88:88:88"));
    const double designator = m_textWidth(skin.hur.font, QStringLiteral(" am"));
    const QString alignment = trimmedLower(skin.alignment);
    if (alignment == u"left") {
        skin.hur.left = float(offset);
    } else if (alignment == u"center") {
        skin.hur.left = float((W - time) / 2 - (skin.AMPM ? designator / 2 : 0));
    } else if (alignment == u"right") {
        skin.hur.left = float(W - offset - time - (skin.AMPM ? designator : 0));
    }
    skin.ampm.left
        = wholeTwips(skin.hur.left + m_textWidth(skin.hur.font, QStringLiteral("88:88:88 ")));
    skin.ampm.top = wholeTwips(skin.hur.top);
    qCDebug(lcSkin) << "Tyme layout:" << alignment << "W" << W << "twips, time at" << skin.hur.left;

    // The colons always show.
    skin.blinkdots = fixedWidth(QStringLiteral("no"), 3);
    skin.showdigsec = true;
}

void SkinEngine::loadFrames(const QString& folder)
{
    m_frames.clear();
    if (folder.isEmpty())
        return;
    m_File1.set(folder, QStringLiteral("Back*.BMP"));
    const int count = m_File1.count();
    if (count > maxFrames)
        qCWarning(lcSkin) << "skin" << m_state.CurrentSkin << "has" << count << "frames; the last"
                          << count - maxFrames << "are ignored";
    const int kept = std::min(count, maxFrames);
    const QRgb key = keyColor(m_state.skin.transcolor);
    m_frames.reserve(std::size_t(kept));
    for (int i = 0; i < kept; ++i) {
        Frame frame;
        frame.path = m_File1.path(i);
        frame.picture = PictureLoader::load(frame.path, folder);
        if (!frame.picture.isNull())
            frame.outline = TraceShape(frame.picture, key);
        m_frames.push_back(std::move(frame));
    }
    qCDebug(lcSkin) << "animation of" << kept << "frames";
}

void SkinEngine::ActivateDefSkin(bool OnlyValues)
{
    if (!OnlyValues)
        m_state.CurrentSkin = builtInSkinName;
    m_window.setPicture(BuiltInSkin::picture());
    BuiltInSkin::applyValues(m_state.skin, m_state.wttSkin, OnlyValues);
    if (OnlyValues)
        return;
    qCDebug(lcSkin) << "built-in skin applied";
    m_window.setOutline(builtInOutline(), BuiltInSkin::transparentKey);
    fitToPicture(BuiltInSkin::picture().size());
}

void SkinEngine::ActivRandSkin(const QStringList& candidates)
{
    m_random.seed(m_clock.secondsSinceMidnight());
    const int n = int(candidates.size());
    if (n == 0) {
        qCDebug(lcSkin) << "no skins to choose from at random";
        return;
    }
    const int index = std::clamp(int(std::floor(m_random.next() * n)), 0, n - 1);
    qCDebug(lcSkin) << "random skin" << index << "of" << n << ":" << candidates.at(index);
    ActivateSkin(candidates.at(index));
}

void SkinEngine::ChangeBack(std::uint8_t Hur, bool AnyWay, bool callerFailed)
{
    const SkinRecord& skin = m_state.skin;
    const QString backtype = trimmedLower(skin.backtype);
    const bool animat = backtype == u"animat";
    if (!animat && !AnyWay) {
        const auto minute = std::uint8_t(m_clock.now().time().minute());
        if (Hur == m_LastHur && m_state.CurrentSkin == m_LastSkin && minute == m_LastMinute)
            return;
        m_LastHur = Hur;
        m_LastMinute = minute;
        m_LastSkin = m_state.CurrentSkin;
    }
    m_random.seed(m_clock.secondsSinceMidnight());

    BackChoice choice;
    QImage picture;
    QRegion outline;
    bool haveOutline = false;
    QString reason;
    if (animat) {
        // The frames are in memory: nothing here touches the file system, and what another
        // user of File1 left in it does not matter.
        const int n = int(m_frames.size());
        if (n == 0) {
            reason = QStringLiteral("an animated skin without frames");
        } else {
            const int shown = (m_BackFrame == 0 || m_BackFrame > n) ? 1 : m_BackFrame;
            m_BackFrame = shown + 1;
            const Frame& frame = m_frames[std::size_t(shown - 1)];
            choice.frame = shown;
            choice.path = frame.path;
            if (frame.picture.isNull()) {
                reason = QStringLiteral("the frame could not be loaded");
            } else {
                picture = frame.picture;
                outline = frame.outline;
                haveOutline = true;
                reason = QStringLiteral("frame %1 of %2").arg(shown).arg(n);
            }
        }
    } else if (m_state.CurrentSkin != builtInSkinName && !callerFailed) {
        picture = chooseFromFiles(Hur, backtype, choice.path, reason);
    }

    if (m_state.CurrentSkin == builtInSkinName)
        reason = QStringLiteral("the built-in skin");
    else if (callerFailed)
        reason = QStringLiteral("the skin's activation failed");

    QRgb key = keyColor(skin.transcolor);
    if (picture.isNull() || m_state.CurrentSkin == builtInSkinName || callerFailed) {
        qCDebug(lcSkin).noquote() << "background: built-in picture (" << reason << ")";
        choice = BackChoice { {}, choice.frame, true, reason };
        picture = BuiltInSkin::picture();
        outline = builtInOutline();
        haveOutline = true;
        key = BuiltInSkin::transparentKey;
    } else {
        choice.reason = reason;
        qCDebug(lcSkin).noquote() << "background:" << choice.path << "(" << reason << ")";
    }
    if (!haveOutline)
        outline = TraceShape(picture, key);
    m_lastChoice = choice;
    installBack(picture, outline, key);
}

QImage SkinEngine::chooseFromFiles(
    std::uint8_t hur, const QString& backtype, QString& path, QString& reason)
{
    const QString folder = currentSkinFolder();
    if (folder.isEmpty()) {
        reason = QStringLiteral("the skin has no folder");
        return {};
    }
    QString pattern;
    bool random = true;
    if (backtype == u"order") {
        pattern = QStringLiteral("back%1.*").arg(hur);
    } else if (backtype == u"tyme") {
        pattern = QStringLiteral("main*.*");
        random = false;
    } else {
        pattern = QStringLiteral("back*.*");
    }
    m_File1.set(folder, pattern);
    const int count = m_File1.count();
    if (count == 0) {
        reason = QStringLiteral("no file matches %1").arg(pattern);
        return {};
    }
    const int position = random ? std::clamp(int(count * m_random.next()), 0, count - 1) : 0;
    path = m_File1.path(position);
    QImage picture = PictureLoader::load(path, folder);
    if (picture.isNull()) {
        reason = QStringLiteral("%1 could not be loaded").arg(path);
        return {};
    }
    reason = random
        ? QStringLiteral("%1 at random, %2 of %3").arg(pattern).arg(position + 1).arg(count)
        : QStringLiteral("the first of %1").arg(pattern);
    return picture;
}

void SkinEngine::installBack(const QImage& picture, const QRegion& outline, QRgb key)
{
    m_window.setPicture(picture);
    m_window.setOutline(outline, key);
    fitToPicture(picture.size());
    m_window.setTimerTag(QStringLiteral("bgcall"));
    m_window.runTick();
    m_window.setTimerTag(QString());
}

void SkinEngine::fitToPicture(QSize pictureSize)
{
    const QRect geometry = m_window.windowGeometry();
    if (geometry.size() != pictureSize)
        m_window.resizeWindow(pictureSize);
    const QRect screen = m_window.screenGeometry();
    if (screen.isEmpty())
        return;
    // Only ever moved left or up: a window past the left or top edge stays where it is.
    QPoint pos = geometry.topLeft();
    const int maxLeft = screen.x() + screen.width() - pictureSize.width();
    const int maxTop = screen.y() + screen.height() - pictureSize.height();
    if (pos.x() > maxLeft)
        pos.setX(maxLeft);
    if (pos.y() > maxTop)
        pos.setY(maxTop);
    if (pos != geometry.topLeft()) {
        qCDebug(lcSkin) << "window moved onto the screen:" << geometry.topLeft() << "->" << pos;
        m_window.moveWindow(pos);
    }
}
