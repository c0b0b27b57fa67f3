#pragma once
// What an installer does for the program's settings: the base key with the
// folders. `korvanta --setup` runs it, and so does the first start on a
// machine where the key is missing, so no user meets "Please run setup again"
// unless the store cannot be written.

#include "settings/SettingsStore.h"

#include <QString>

namespace korvanta::ui {

// The site address stored by set-up.
inline const QString kSiteAddress = QStringLiteral("www.korvanta.example");

// The folders for a program whose data (samples, images, help, gmi.txt,
// Styles) lie in dataFolder; the work folder is workFolder (the user's
// documents), both absolute.
SetupValues setupValuesFor(const QString& dataFolder, const QString& workFolder);

// Writes the base key when the store has none; true when the store has one
// afterwards. Errors reach the user through messages.
bool ensureSettingsBase(const SettingsLocation& location, MessageSink& messages,
                        const QString& dataFolder, const QString& workFolder);

} // namespace korvanta::ui
