#include "ui/FirstStart.h"

#include <QDir>

namespace korvanta::ui {

namespace {

QString folderText(const QString& folder) {
    QString f = QDir::cleanPath(QDir(folder).absolutePath());
    if (!f.endsWith(QLatin1Char('/'))) f += QLatin1Char('/');
    return f;
}

} // namespace

SetupValues setupValuesFor(const QString& dataFolder, const QString& workFolder) {
    SetupValues values;
    values.installPath = folderText(dataFolder);
    values.workPath = folderText(workFolder);
    values.imagesPath = QStringLiteral("images/");
    // The data folder is the install folder itself.
    values.dataPath = QString();
    values.url = kSiteAddress;
    return values;
}

bool ensureSettingsBase(const SettingsLocation& location, MessageSink& messages,
                        const QString& dataFolder, const QString& workFolder) {
    SettingsStore store(location, messages);
    if (store.baseExists()) return true;
    return store.writeBase(setupValuesFor(dataFolder, workFolder)) && store.baseExists();
}

} // namespace korvanta::ui
