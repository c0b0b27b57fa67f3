// The yardstick of the desktop program's start-up: a bare QMainWindow with a
// menu bar and a status bar, shown and painted once into a picture, the way
// `korvanta --screenshot OUT.png` does with the whole main window. Time both
// as whole processes, e.g. with farm-bench:
//   farm-bench -n 10 -- korvanta --screenshot a.png SONG.mid
//              --vs 'korvanta_bench_bare_window b.png'
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("&File"));
    window.setCentralWidget(new QLabel(QStringLiteral("Korvanta")));
    window.statusBar()->showMessage(QStringLiteral("For Help, press F1"));
    window.resize(825, 554);
    window.show();
    QApplication::processEvents();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("bare.png");
    return window.grab().save(out) ? EXIT_SUCCESS : EXIT_FAILURE;
}
