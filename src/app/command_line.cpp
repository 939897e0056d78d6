#include "command_line.h"

#include <QCommandLineParser>

namespace zelvan {

namespace {

// Options QApplication takes for itself, with and without a value.
const QStringList kQtOptionsWithValue{
    QStringLiteral("platform"),
    QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),
    QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"),
    QStringLiteral("geometry"),
    QStringLiteral("qwindowtitle"),
    QStringLiteral("title"),
    QStringLiteral("qwindowicon"),
    QStringLiteral("icon"),
    QStringLiteral("style"),
    QStringLiteral("stylesheet"),
    QStringLiteral("session"),
    QStringLiteral("display"),
    QStringLiteral("name"),
};
const QStringList kQtFlags{QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
                           QStringLiteral("dograb")};

// The arguments without Qt's own options.
QStringList withoutQtOptions(const QStringList& arguments) {
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        QString name = argument;
        while (name.startsWith(QLatin1Char('-')))
            name.remove(0, 1);
        const bool isOption = i > 0 && argument.startsWith(QLatin1Char('-')) && !name.isEmpty();
        if (isOption && kQtOptionsWithValue.contains(name.section(QLatin1Char('='), 0, 0))) {
            if (!name.contains(QLatin1Char('=')))
                ++i; // its value
            continue;
        }
        if (isOption && kQtFlags.contains(name))
            continue;
        rest.append(argument);
    }
    return rest;
}

} // namespace

WindowOptions parseWindowOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Programs LPC9xx flash microcontrollers through a programmer "
                                                    "board on a serial line. Qt's own options (-platform, -style, "
                                                    "...) are accepted too."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    // -V as on the command line, where -v is --verbose; -v stays, as it always was.
    const QCommandLineOption versionOption({QStringLiteral("V"), QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Displays version information."));
    const QCommandLineOption simulatorOption(QStringLiteral("simulator"),
                                             QStringLiteral("Map COM1 to a built-in simulated board with an LPC932A1; "
                                                            "its chip is kept between runs."));
    const QCommandLineOption resetOption(QStringLiteral("simulator-reset"),
                                         QStringLiteral("With --simulator: start with a new, erased chip."));
    const QCommandLineOption listPartsOption(QStringLiteral("list-parts"),
                                             QStringLiteral("List the supported parts and exit."));
    parser.addOptions({versionOption, simulatorOption, resetOption, listPartsOption});

    WindowOptions options;
    options.helpText =
        parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("zelvan-programmer"));
    if (!parser.parse(withoutQtOptions(arguments))) {
        options.action = WindowOptions::Action::Refuse;
        options.error = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        options.action = WindowOptions::Action::Refuse;
        options.error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst());
    } else if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        options.action = WindowOptions::Action::Help;
    } else if (parser.isSet(versionOption)) {
        options.action = WindowOptions::Action::Version;
    } else if (parser.isSet(listPartsOption)) {
        options.action = WindowOptions::Action::ListParts;
    }
    options.simulator = options.action == WindowOptions::Action::OpenWindow && parser.isSet(simulatorOption);
    options.simulatorReset = parser.isSet(resetOption);
    return options;
}

} // namespace zelvan
