#include "skintool/SkinRenderer.h"

#include "core/base/Clock.h"
#include "core/face/Timepiece.h"
#include "core/files/Roots.h"
#include "core/settings/Settings.h"
#include "skintool/FixedSeedRandom.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace SkinRenderer {

Result render(const Request& request)
{
    Result result;
    const QFileInfo folder(request.folder);
    if (!folder.isDir()) {
        result.error = QStringLiteral("%1 is not a folder").arg(request.folder);
        return result;
    }
    // Skins are found only under a root's "Skins" folder: a temporary root links the folder there
    // under its own name. The picture loader's check that a file lies within the skin folder
    // follows the link, so it holds as for a skin under the real roots. Removing the temporary
    // root removes the link, never what it points at.
    QTemporaryDir root;
    QString name = QFileInfo(folder.canonicalFilePath()).fileName();
    if (!Roots::isSafeName(name) || name == builtInSkinName)
        name = QStringLiteral("skin");
    const QString skins = root.filePath(QStringLiteral("Skins"));
    if (!root.isValid() || !QDir().mkpath(skins)
        || !QFile::link(folder.canonicalFilePath(), skins + u'/' + name)) {
        result.error
            = QStringLiteral("cannot make a temporary skins folder in %1").arg(QDir::tempPath());
        return result;
    }

    Settings settings;
    settings.twelveHour = request.twelveHour;
    FixedClock clock(request.time);
    FixedSeedRandom fixedSeed(request.seed.value_or(0));
    Random timeOfDay;
    Random& random = request.seed ? static_cast<Random&>(fixedSeed) : timeOfDay;
    const Roots roots({ root.path() });
    Timepiece timepiece(clock, random, roots, settings);
    timepiece.face().setDevicePixelRatio(request.scale);
    timepiece.activateSkin(name);
    timepiece.tick();

    result.image = timepiece.face().shown();
    result.background = timepiece.face().background();
    return result;
}

} // namespace SkinRenderer
