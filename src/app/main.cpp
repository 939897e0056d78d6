// zelvan-programmer: the desktop window. With --simulator, COM1 is a simulated programmer board
// with an LPC932A1 behind it, so the program can be tried without hardware.

#include "command_line.h"
#include "main_window.h"
#include "qt_dialogs.h"

#include "common/version.h"
#include "device/device_catalogue.h"
#include "link/link_timing.h"
#include "session/session.h"

#ifdef ZELVAN_HAVE_SIMULATOR
#include "sim/demo_board.h"
#endif

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <memory>

namespace {

// Without a display Qt's window system plugin aborts the process; say so instead.
bool displayAvailable(const QStringList& arguments) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY") || arguments.contains(QStringLiteral("-platform"));
#else
    Q_UNUSED(arguments);
    return true;
#endif
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    const zelvan::WindowOptions options = zelvan::parseWindowOptions(arguments);
    switch (options.action) {
    case zelvan::WindowOptions::Action::Refuse:
        std::fprintf(stderr, "zelvan-programmer: %s\n\n%s", qPrintable(options.error), qPrintable(options.helpText));
        return 2;
    case zelvan::WindowOptions::Action::Help:
        std::fputs(qPrintable(options.helpText), stdout);
        return 0;
    case zelvan::WindowOptions::Action::Version:
        std::printf("zelvan-programmer %s\n", qPrintable(zelvan::kAppVersion));
        return 0;
    case zelvan::WindowOptions::Action::ListParts:
        for (const QString& line : zelvan::partListing())
            std::printf("%s\n", qPrintable(line));
        return 0;
    case zelvan::WindowOptions::Action::OpenWindow:
        break;
    }
    QString error;
    const std::optional<zelvan::LinkTiming> timing = zelvan::linkTimingFromEnvironment(&error);
    if (!timing) {
        std::fprintf(stderr, "zelvan-programmer: %s\n", qPrintable(error));
        return 2;
    }
    if (!displayAvailable(arguments)) {
        std::fputs("zelvan-programmer: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not "
                   "set).\nRun it in a desktop session, or set QT_QPA_PLATFORM=offscreen to run it without one.\n",
                   stderr);
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelvan-programmer"));
    QApplication::setApplicationVersion(zelvan::kAppVersion);
    // The desktop entry an installation puts in share/applications: desktops take the window's
    // icon and name from it.
    QGuiApplication::setDesktopFileName(QStringLiteral("zelvan-programmer"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("zelvan-programmer")));

#ifdef ZELVAN_HAVE_SIMULATOR
    std::unique_ptr<zelvan::sim::PtyBoardServer> simulator;
    if (options.simulator) {
        const zelvan::CatalogueEntry& part = *zelvan::findPartByName(QStringLiteral("LPC932A1"));
        simulator = zelvan::sim::startDemoBoard(
            part, zelvan::sim::DemoBoardOptions{zelvan::sim::defaultDemoStatePath(part), options.simulatorReset},
            &error);
        if (!simulator) {
            std::fprintf(stderr, "zelvan-programmer: the simulated board could not start: %s\n", qPrintable(error));
            return 1;
        }
    }
#else
    if (options.simulator) {
        std::fputs("zelvan-programmer: the simulated board needs pseudo-terminals, which this system lacks.\n", stderr);
        return 1;
    }
#endif

    zelvan::QtDialogs dialogs;
    zelvan::Session session(dialogs);
    session.link().setTiming(*timing);
    zelvan::MainWindow window(session, dialogs);
    dialogs.setParentWidget(&window);
    window.show();
    return app.exec();
}
