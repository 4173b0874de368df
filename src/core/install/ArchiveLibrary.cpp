#include "core/install/ArchiveLibrary.h"

#include "core/base/Logging.h"

#include <QLibrary>

#include <optional>

const ArchiveLibrary* ArchiveLibrary::open(QString* why)
{
    // Opened once, by whichever thread unpacks first; never closed.
    static const auto opened = []() -> std::pair<std::optional<ArchiveLibrary>, QString> {
        QLibrary library(QStringLiteral("archive"), 13);
        if (!library.load())
            return { std::nullopt, library.errorString() };
        ArchiveLibrary functions;
        QString missing;
        // NOLINTBEGIN(cppcoreguidelines-macro-usage,bugprone-macro-parentheses)
#define HOROLAN_ARCHIVE_RESOLVE(name)                                                              \
    functions.name = reinterpret_cast<decltype(functions.name)>(library.resolve(#name));           \
    if (!functions.name)                                                                           \
        missing = QStringLiteral(#name);
        HOROLAN_ARCHIVE_FUNCTIONS(HOROLAN_ARCHIVE_RESOLVE)
#undef HOROLAN_ARCHIVE_RESOLVE
        // NOLINTEND(cppcoreguidelines-macro-usage,bugprone-macro-parentheses)
        if (!missing.isEmpty())
            return { std::nullopt, library.fileName() + QStringLiteral(" has no ") + missing };
        qCDebug(lcInstall) << "opened" << library.fileName();
        return { functions, QString() };
    }();
    if (!opened.first) {
        static const bool logged = [] {
            qCWarning(lcInstall) << "cannot open libarchive:" << opened.second;
            return true;
        }();
        Q_UNUSED(logged);
        if (why)
            *why = opened.second;
        return nullptr;
    }
    return &*opened.first;
}
