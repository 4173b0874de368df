#include "skintool/SkinRenderer.h"

#include "core/base/Clock.h"
#include "core/face/HorolanState.h"
#include "core/files/Roots.h"
#include "skintool/FixedSeedRandom.h"
#include "skintool/OffscreenClock.h"
#include "core/skin/SkinRecord.h"

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
    // The engine finds skins only under a root's "Skins" folder: a temporary root links the
    // folder there under its own name. The picture loader's check that a file lies within the
    // skin folder follows the link, so it holds as for a skin under the real roots. Removing the
    // temporary root removes the link, never what it points at.
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

    HorolanState state;
    state.skin.AMPM = request.AMPM;
    FixedClock clock(request.time);
    FixedSeedRandom fixedSeed(request.seed.value_or(0));
    Random timeOfDay;
    Random& random = request.seed ? static_cast<Random&>(fixedSeed) : timeOfDay;
    const Roots roots({ root.path() });
    OffscreenClock window(state, clock, roots, random);
    window.skins().ActivateSkin(name);
    window.Timer1_Timer();

    result.image = window.shown();
    result.choice = window.skins().lastChoice();
    return result;
}

} // namespace SkinRenderer
