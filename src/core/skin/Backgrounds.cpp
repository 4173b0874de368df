#include "core/skin/Backgrounds.h"

#include "core/base/Logging.h"
#include "core/base/Random.h"
#include "core/files/Companion.h"
#include "core/files/FileList.h"
#include "core/files/PictureLoader.h"
#include "core/shape/TraceShape.h"
#include "core/skin/BuiltInSkin.h"

#include <algorithm>

Background builtInBackground(const QString& reason)
{
    static const QRegion outline = TraceShape(BuiltInSkin::picture(), BuiltInSkin::transparentKey);
    return Background { BuiltInSkin::picture(), outline, BuiltInSkin::transparentKey, QString(), 0,
        reason, QImage(), BuiltInSkin::pictureAt };
}

PictureScaling::ScreenPicture Background::forScreen(qreal ratio) const
{
    if (drawAt && ratio > 0 && !qFuzzyCompare(ratio, 1.0)) {
        const QImage drawn = drawAt(ratio);
        return { drawn, TraceShape(drawn, key) };
    }
    return PictureScaling::forScreen(picture, outline, companion, key, ratio);
}

void Backgrounds::prepare(const QString& folder, const Skin& skin)
{
    m_frames.clear();
    m_nextFrame = 0;
    if (folder.isEmpty() || skin.background != BackgroundKind::Animated)
        return;
    FileList files;
    files.set(folder, QStringLiteral("Back*.BMP"));
    files.dropCompanions();
    if (files.count() > maxFrames)
        qCWarning(lcSkin) << "the skin has" << files.count() << "frames; the last"
                          << files.count() - maxFrames << "are ignored";
    const int kept = std::min(files.count(), maxFrames);
    const QRgb key = skin.transparent.rgb();
    m_frames.reserve(std::size_t(kept));
    for (int i = 0; i < kept; ++i) {
        Background frame { PictureLoader::load(files.path(i), folder), {}, key, files.path(i),
            i + 1, QStringLiteral("frame %1 of %2").arg(i + 1).arg(kept) };
        if (!frame.picture.isNull()) {
            frame.outline = TraceShape(frame.picture, key);
            frame.companion = Companion::load(frame.path, frame.picture.size(), folder);
        }
        m_frames.push_back(std::move(frame));
    }
    qCDebug(lcSkin) << "animation of" << kept << "frames";
}

std::optional<Background> Backgrounds::nextFrame()
{
    const int n = int(m_frames.size());
    if (n == 0)
        return builtInBackground(QStringLiteral("an animated skin without frames"));
    const int shown = (m_nextFrame == 0 || m_nextFrame > n) ? 1 : m_nextFrame;
    m_nextFrame = shown + 1;
    const Background& frame = m_frames[std::size_t(shown - 1)];
    if (frame.picture.isNull()) {
        qCDebug(lcSkin).noquote() << "frame" << shown << frame.path << "could not be loaded";
        return std::nullopt;
    }
    return frame;
}

std::optional<Background> Backgrounds::choose(const QString& folder, const Skin& skin, int hour)
{
    if (skin.background == BackgroundKind::Animated)
        return nextFrame();
    if (folder.isEmpty())
        return builtInBackground(QStringLiteral("the skin has no folder"));
    const bool tyme = skin.background == BackgroundKind::Tyme;
    const QString pattern = tyme                   ? QStringLiteral("main*.*")
        : skin.background == BackgroundKind::Order ? QStringLiteral("back%1.*").arg(hour)
                                                   : QStringLiteral("back*.*");
    FileList files;
    files.set(folder, pattern);
    files.dropCompanions();
    const int count = files.count();
    if (count == 0)
        return builtInBackground(QStringLiteral("no file matches %1").arg(pattern));
    const int position = tyme ? 0 : std::clamp(int(count * m_random.next()), 0, count - 1);
    Background chosen;
    chosen.path = files.path(position);
    chosen.picture = PictureLoader::load(chosen.path, folder);
    if (chosen.picture.isNull()) {
        qCDebug(lcSkin).noquote() << chosen.path << "could not be loaded";
        return std::nullopt;
    }
    chosen.key = skin.transparent.rgb();
    chosen.outline = TraceShape(chosen.picture, chosen.key);
    chosen.companion = Companion::load(chosen.path, chosen.picture.size(), folder);
    chosen.reason = tyme
        ? QStringLiteral("the first of %1").arg(pattern)
        : QStringLiteral("%1 at random, %2 of %3").arg(pattern).arg(position + 1).arg(count);
    return chosen;
}
