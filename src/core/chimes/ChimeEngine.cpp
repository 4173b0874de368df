#include "core/chimes/ChimeEngine.h"

#include "core/base/Clock.h"
#include "core/face/HorolanState.h"
#include "core/base/Logging.h"
#include "core/base/Random.h"
#include "core/files/Roots.h"
#include "core/skin/SkinIniReader.h"
#include "core/skin/SkinRecord.h"
#include "core/chimes/SoundOutput.h"

#include <algorithm>

namespace {

const QString soundsKind = QStringLiteral("Sounds");
const QString skinsKind = QStringLiteral("Skins");
const QString anyWav = QStringLiteral("*.wav");

} // namespace

ChimeEngine::ChimeEngine(HorolanState& state, const Clock& clock, const Roots& roots,
    Random& random, std::function<SoundOutput&()> output, ChimeHost& host)
    : m_state(state)
    , m_clock(clock)
    , m_roots(roots)
    , m_random(random)
    , m_makeOutput(std::move(output))
    , m_host(host)
{ }

void ChimeEngine::ActivateSP(const QString& SP)
{
    if (SP == m_state.CurrentSP) {
        qCDebug(lcSound) << "sound pack" << SP << "is already active: SP.ini not read again";
        return;
    }
    m_host.setBusy(true);
    m_state.CurrentSP = SP;
    m_info = SoundPackInfo {};
    QString folder;
    if (SP.toLower() == skinChoice)
        qCDebug(lcSound) << "sound pack" << SP << ": chimes come from the skin's folder";
    else if (!Roots::isSafeName(SP))
        qCWarning(lcSound) << "sound pack name" << SP << "is not a plain folder name: no folder";
    else
        folder = m_roots.resolve(soundsKind, SP);
    const QString ini = FileList::findFile(folder, QStringLiteral("SP.ini"));
    if (!ini.isEmpty())
        SoundPack::read(ini, m_info);
    else
        qCDebug(lcSound) << "sound pack" << SP << "has no SP.ini: a random pack";
    qCDebug(lcSound) << "sound pack" << SP << "active, type" << m_info.type;
    m_host.setBusy(false);
}

void ChimeEngine::stopChime()
{
    m_StopChime = true;
    if (m_output)
        m_output->stop();
    qCDebug(lcSound) << "chime stopped by the stop key";
}

void ChimeEngine::PlayChime(std::uint8_t HurC, bool PlayAnyWay)
{
    m_random.seed(m_clock.secondsSinceMidnight());
    if (!PlayAnyWay) {
        if (HurC == m_LastChimeHour)
            return; // the ticks of the hour's first two seconds all call here
        if (!m_state.UseChimes) {
            qCDebug(lcSound) << "no chime for hour" << int(HurC) << ": chimes are off";
            return;
        }
        m_LastChimeHour = HurC;
    }
    // Cleared only by a chime that goes ahead: the tick run between strokes calls here and
    // returns at the guard, and must not undo a stop key pressed during that stroke.
    m_StopChime = false;

    QString folder;
    QString why;
    const Kind kind = chimeKind(folder, why);
    m_lastChoice = Choice { folder, QString(), QString(), false, why };
    switch (kind) {
    case Kind::Random:
        return playOnce(folder, anyWav, why);
    case Kind::Order:
    case Kind::Index:
        return playOnce(folder, QStringLiteral("Chime%1.wav").arg(HurC), why);
    case Kind::Count:
        return playCount(HurC, folder, why);
    case Kind::Silent:
        qCDebug(lcSound) << "hour" << int(HurC) << "is silent:" << why;
        return;
    }
}

ChimeEngine::Kind ChimeEngine::chimeKind(QString& folder, QString& why) const
{
    if (m_state.CurrentSP.toLower() == skinChoice) {
        const QString& skin = m_state.CurrentSkin;
        folder = skin == builtInSkinName ? QString() : m_roots.resolve(skinsKind, skin);
        const QString word = SkinIniReader::trimBlanks(m_state.skin.chimestype).toLower();
        why = QStringLiteral("skin %1, chimestype \"%2\"").arg(skin, word);
        if (word == u"random")
            return Kind::Random;
        if (word == u"count")
            return Kind::Count;
        if (word == u"order")
            return Kind::Order;
        if (word == u"index")
            return Kind::Index;
        return Kind::Silent;
    }
    folder = m_roots.resolve(soundsKind, m_state.CurrentSP);
    const QString letter = m_info.type.toLower();
    why = QStringLiteral("sound pack %1, type \"%2\"").arg(m_state.CurrentSP, letter);
    if (letter == u"r")
        return Kind::Random;
    if (letter == u"c")
        return Kind::Count;
    if (letter == u"o")
        return Kind::Order;
    if (letter == u"i")
        return Kind::Index;
    return Kind::Silent;
}

SoundOutput& ChimeEngine::output()
{
    if (!m_output)
        m_output = &m_makeOutput();
    return *m_output;
}

void ChimeEngine::choose(const QString& folder, const QString& pattern)
{
    m_File1.set(folder, pattern);
    m_lastChoice.pattern = pattern;
}

// floor(r x count); a generator that gives 1 must still name a file.
int ChimeEngine::pickIndex(int count)
{
    const int index = int(count * m_random.next());
    return std::clamp(index, 0, count - 1);
}

void ChimeEngine::playOnce(const QString& folder, const QString& pattern, const QString& why)
{
    choose(folder, pattern);
    if (m_File1.count() == 0)
        return beep(QStringLiteral("no file matches %1 (%2)").arg(pattern, why));
    // Of several spellings of one chime name, the exact one.
    const qsizetype exact = m_File1.names().indexOf(pattern);
    const int index
        = pattern == anyWav ? pickIndex(m_File1.count()) : (exact >= 0 ? int(exact) : 0);
    const QString path = m_File1.path(index);
    m_lastChoice.path = path;
    qCDebug(lcSound).noquote() << "chime" << path << "of" << m_File1.count() << "matching"
                               << pattern << "(" + why + ")";
    output().playAsync(path);
}

void ChimeEngine::playCount(std::uint8_t HurC, const QString& folder, const QString& why)
{
    choose(folder, anyWav);
    if (m_File1.count() == 0)
        return beep(QStringLiteral("no file matches *.wav (%1)").arg(why));
    // Kept here: a chime nested in a stroke's tick replaces the last choice.
    const QString path = m_File1.path(pickIndex(m_File1.count()));
    m_lastChoice.path = path;
    qCDebug(lcSound).noquote() << "counting chime" << path << "up to" << int(HurC)
                               << QStringLiteral("strokes (%1)").arg(why);
    for (int stroke = 1; stroke <= HurC; ++stroke) {
        if (m_StopChime || m_host.closing()) {
            qCDebug(lcSound) << "counting chime ended before stroke" << stroke;
            return;
        }
        if (!output().playSync(path))
            qCDebug(lcSound).noquote() << path << "could not be played";
        // The host must not destroy this engine while its events run: closing() ends the loop.
        m_host.processEvents();
        if (m_host.closing())
            return;
        m_host.runTick();
        if (!m_state.UseChimesCount)
            return;
    }
}

void ChimeEngine::beep(const QString& reason)
{
    m_lastChoice.beep = true;
    qCDebug(lcSound).noquote() << "beep:" << reason;
    output().beep();
}
