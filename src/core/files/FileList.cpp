#include "core/files/FileList.h"

#include "core/base/Logging.h"
#include "core/files/Companion.h"

#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace {

QList<uint> folded(const QString& text)
{
    QList<uint> out = text.toUcs4();
    for (uint& c : out)
        c = QChar::toCaseFolded(c);
    return out;
}

// Calls take(name) for each regular file of the folder (links followed) until it returns false.
// The directory filter alone lets a link to a FIFO or device through, hence the second test.
template <typename Take> void forEachRegularFile(const QString& folder, Take take)
{
    if (folder.isEmpty())
        return;
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (!info.isFile())
            continue;
        if (!take(info.fileName()))
            return;
    }
}

} // namespace

void FileList::set(const QString& folder, const QString& pattern)
{
    m_folder = folder;
    m_pattern = pattern;
    m_names.clear();
    bool cut = false;
    forEachRegularFile(folder, [&](const QString& name) {
        if (!matches(name, pattern))
            return true;
        if (m_names.size() >= maxFiles) {
            cut = true;
            return false;
        }
        m_names.append(name);
        return true;
    });
    std::sort(m_names.begin(), m_names.end(), nameLess);
    if (cut)
        qCWarning(lcMain) << "file list of" << folder << "with pattern" << pattern << "cut at"
                          << maxFiles << "files";
    qCDebug(lcMain) << "file list of" << folder << "with pattern" << pattern << ":"
                    << m_names.size() << "files";
}

QString FileList::path(int index) const
{
    if (index < 0 || index >= m_names.size())
        return QString();
    return m_folder + u'/' + m_names.at(index);
}

bool FileList::matches(const QString& name, const QString& pattern)
{
    const QList<uint> n = folded(name);
    const QList<uint> p = folded(pattern);
    // Greedy match with a return to the last "*": linear in practice, never exponential.
    qsizetype i = 0, j = 0;
    qsizetype starAt = -1, resumeAt = 0;
    while (i < n.size()) {
        if (j < p.size() && p[j] == U'*') {
            starAt = j++;
            resumeAt = i;
        } else if (j < p.size() && (p[j] == U'?' || p[j] == n[i])) {
            ++i;
            ++j;
        } else if (starAt >= 0) {
            j = starAt + 1;
            i = ++resumeAt;
        } else {
            return false;
        }
    }
    while (j < p.size() && p[j] == U'*')
        ++j;
    return j == p.size();
}

bool FileList::nameLess(const QString& a, const QString& b)
{
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

QString FileList::findFile(const QString& folder, const QString& name)
{
    if (folder.isEmpty() || name.isEmpty() || name.contains(u'/') || name.contains(u'\\'))
        return QString();
    QString exact = folder + u'/' + name;
    if (QFileInfo(exact).isFile())
        return exact;
    QString best;
    forEachRegularFile(folder, [&](const QString& entry) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0
            && (best.isEmpty() || nameLess(entry, best)))
            best = entry;
        return true;
    });
    qCDebug(lcMain) << "looked for" << name << "in" << folder << ":"
                    << (best.isEmpty() ? QStringLiteral("none") : best);
    return best.isEmpty() ? QString() : folder + u'/' + best;
}

void FileList::dropCompanions()
{
    m_names.removeIf(Companion::isCompanion);
}
