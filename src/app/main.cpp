// korvanta: the desktop program. `korvanta [FILE]` opens the window (and the
// file); `korvanta --setup` writes the program's settings as an installer
// would and ends.

#include "io/DataFolder.h"
#include "ui/FileDialogs.h"
#include "ui/FirstStart.h"
#include "ui/MessageBoxSink.h"
#include "ui/TfMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace korvanta;

constexpr const char* kUsage =
    "usage: korvanta [FILE]      open the window, and FILE (.mid or .kvt) in it\n"
    "       korvanta --setup     write the program's settings (folders) and end\n"
    "       korvanta --screenshot PNG [FILE]\n"
    "                            open the window (and FILE), save a picture of it, end\n"
    "       korvanta --help      show this text\n";

// The folder with the samples, the instrument names and the styles: an
// installed share/korvanta beside the program, else this build's source tree.
QString dataFolder() {
    return QFile::decodeName(programDataFolder().c_str());
}

// The style import program: beside this one when installed, else in this
// build's tools folder. Empty when there is none.
QString importTool() {
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {here.filePath(QStringLiteral("korvanta-style-import")),
          here.filePath(QStringLiteral("../../tools/style-import/korvanta-style-import"))}) {
        if (QFileInfo(candidate).isExecutable()) return QDir::cleanPath(candidate);
    }
    return {};
}

QString workFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
    return QDir::homePath();
}

// Messages of the set-up step go to the terminal.
class StderrSink final : public MessageSink {
public:
    void error(std::string_view text, std::string_view) override { print("error", text); }
    void warning(std::string_view text, std::string_view) override { print("warning", text); }
    MessageAnswer confirm(std::string_view, std::string_view) override { return MessageAnswer::No; }
    void info(std::string_view text, std::string_view) override { print("note", text); }

private:
    static void print(const char* kind, std::string_view text) {
        std::fprintf(stderr, "korvanta: %s: %.*s\n", kind, static_cast<int>(text.size()),
                     text.data());
    }
};

int runSetup(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    StderrSink sink;
    SettingsStore store(SettingsLocation::platformDefault(), sink);
    if (!store.writeBase(ui::setupValuesFor(dataFolder(), workFolder()))) return EXIT_FAILURE;
    std::printf("korvanta: settings written to %s\n",
                qPrintable(SettingsLocation::platformDefault().describe()));
    return EXIT_SUCCESS;
}

bool displayAvailable() {
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

} // namespace

int main(int argc, char** argv) {
    QString commandLine;
    QString screenshot;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--screenshot") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "korvanta: --screenshot needs a file name\n\n%s", kUsage);
                return 2;
            }
            screenshot = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return EXIT_SUCCESS;
        }
        if (arg == "--setup") return runSetup(argc, argv);
        if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "korvanta: unknown option %s\n\n%s", argv[i], kUsage);
            return 2;
        }
        // The whole command line is one path, blanks and all.
        if (!commandLine.isEmpty()) commandLine += QLatin1Char(' ');
        commandLine += QString::fromLocal8Bit(argv[i]);
    }
    if (!displayAvailable()) {
        std::fputs("korvanta: no display to open the window on. Start it on a desktop, or use\n"
                   "korvanta-cli for the same work without a window.\n",
                   stderr);
        return EXIT_FAILURE;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvanta"));
    // Ties the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("korvanta"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("korvanta")));
    ui::MessageBoxSink messages;
    ui::QtFileDialogs dialogs;
    const SettingsLocation settings = SettingsLocation::platformDefault();
    ui::ensureSettingsBase(settings, messages, dataFolder(), workFolder());

    ui::MainWindowServices services;
    services.settings = settings;
    services.messages = &messages;
    services.dialogs = &dialogs;
    services.importTool = importTool();
    ui::TfMain window(std::move(services));
    messages.setParent(&window);
    if (!window.start(commandLine)) return EXIT_FAILURE;
    window.show();
    if (!screenshot.isEmpty()) {
        QApplication::processEvents();
        const bool saved = window.grab().save(screenshot);
        if (!saved)
            std::fprintf(stderr, "korvanta: %s could not be written\n", qPrintable(screenshot));
        window.close();
        return saved ? EXIT_SUCCESS : EXIT_FAILURE;
    }
    return QApplication::exec();
}
