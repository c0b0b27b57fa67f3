#pragma once
// The Recent Files list of the File menu: paths, most recent first, at most
// maximum() of them. Adding a path that is listed moves it to the top; the
// list remembers whether it changed since start-up, so an unchanged list is
// not written back at exit.

#include <QString>
#include <QStringList>

namespace korvanta::ui {

class RecentFiles {
public:
    void setMaximum(int maximum) { m_maximum = maximum < 0 ? 0 : maximum; }
    int maximum() const { return m_maximum; }

    // A stored path at start-up: appended at the end, the list cut to the
    // maximum; not a change.
    void appendStored(const QString& path);
    // A path just opened or saved goes to the top. Returns whether the list changed.
    bool add(const QString& path);

    const QStringList& paths() const { return m_paths; }
    bool changed() const { return m_changed; }
    int indexOf(const QString& path) const;

    // A menu caption that shows the path as it is ("&" is no accelerator).
    static QString menuCaption(const QString& path);

private:
    void trim();

    QStringList m_paths;
    int m_maximum = 8;
    bool m_changed = false;
};

} // namespace korvanta::ui
