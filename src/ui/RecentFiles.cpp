#include "ui/RecentFiles.h"

namespace korvanta::ui {

namespace {

// Paths are told apart the way the file system does.
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

} // namespace

int RecentFiles::indexOf(const QString& path) const {
    for (int i = 0; i < m_paths.size(); ++i) {
        if (m_paths[i].compare(path, kPathCase) == 0) return i;
    }
    return -1;
}

void RecentFiles::trim() {
    // One entry over the maximum goes; the list grows by one at a time.
    if (m_paths.size() > m_maximum) m_paths.removeAt(m_maximum);
}

void RecentFiles::appendStored(const QString& path) {
    if (path.isEmpty() || indexOf(path) >= 0) return;
    m_paths.append(path);
    trim();
}

bool RecentFiles::add(const QString& path) {
    if (path.isEmpty()) return false;
    const int found = indexOf(path);
    if (found == 0) return false;
    if (found > 0) m_paths.removeAt(found);
    m_paths.prepend(path);
    trim();
    m_changed = true;
    return true;
}

QString RecentFiles::menuCaption(const QString& path) {
    QString caption = path;
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return caption;
}

} // namespace korvanta::ui
