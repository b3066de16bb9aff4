// tamsel [DATABASE]: the desktop workbench, optionally opening a project file or a shared
// project's URI at start.
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <cstring>

#include "shell/app_icon.h"
#include "shell/desktop.h"
#include "shell/gui_message_sink.h"
#include "shell/main_window.h"
#include "tamsel/version.h"

int main(int argc, char** argv) {
    // Answered before the application object exists, which needs a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::printf("Tamsel %s\n", TAMSEL_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tamsel"));
    QApplication::setApplicationVersion(QStringLiteral(TAMSEL_VERSION));
    QApplication::setWindowIcon(tamsel::TamselIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tamsel: a workbench for software reliability growth modelling."));
    parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("DATABASE"),
        QStringLiteral("A project database file, or a shared project's URI, to open at start."),
        QStringLiteral("[DATABASE]"));
    parser.process(app);

    tamsel::GuiMessageSink sink;
    tamsel::SystemDesktop desktop;
    tamsel::MainWindow window(desktop);
    window.show();
    if (!parser.positionalArguments().isEmpty()) {
        window.OpenDatabaseFile(parser.positionalArguments().constFirst());
    }
    return QApplication::exec();
}
