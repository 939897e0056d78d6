#include "arguments.h"

#include "exit_status.h"

#include "common/nearest_word.h"
#include "device/device_catalogue.h"
#include "flash/byte_entry.h"
#include "link/port_names.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <algorithm>

namespace zelvan::cli {

namespace {

// Every option, once: its names, its value's name (empty for a flag) and its help.
struct OptionRow {
    QStringList names;
    const char* valueName;
    const char* help;
};

const QList<OptionRow>& optionTable() {
    static const QList<OptionRow> rows{
        {{"p", "port"},
         "PORT",
         "COM1..COM8 (ZELVAN_COMn names the device of COMn) or a device path; default: search COM1..COM8 and use the "
         "first board that answers. Several (-p COM1,COM2 or -p again) or all (every COM whose board answers): the "
         "command runs on every board at once"},
        {{"boards"}, "N", "several boards: start only when N boards answer (else exit 4, nothing written)"},
        {{"b", "baud"}, "57600|9600", "line speed (default 57600)"},
        {{"simulator"},
         "PART",
         "a built-in simulated board on COM1 (--simulator alone: an LPC932A1); its chip is kept between runs in the "
         "user's cache folder"},
        {{"simulator-reset"}, "", "with --simulator: start with a new, erased chip"},
        {{"quick"}, "", "quick mode for program (raw bytes instead of hex text)"},
        {{"erase"},
         "chip|used|none",
         "what program erases first; default used: every sector the files write into (below the bootloader while it "
         "is protected); chip needs --no-protect"},
        {{"no-protect"}, "", "allow the bootloader area to be erased and programmed"},
        {{"truncate"}, "", "program, verify: take what fits of files that reach beyond the part's flash"},
        {{"changed-only"},
         "",
         "program: send only the sectors whose CRC differs from the image's (then verify every sector)"},
        {{"verify"}, "", "program: then compare the CRCs with the image"},
        {{"golden"}, "FILE", "program, verify: compare with golden CRCs instead (implies --verify)"},
        {{"crc-variant"}, "NAME", "the signature formulation verify uses (default: the calibrated one)"},
        {{"serial"},
         "ADDR[:BYTES[:FORMAT]]",
         "program: give each chip the next number of --serial-file at ADDR, in BYTES bytes (1..4, 1..10 for ascii; "
         "default 4) as FORMAT: be (default), le, bcd or ascii"},
        {{"serial-file"},
         "SOURCE",
         "where the serial numbers come from: FILE, sqlite:FILE#COUNTER or postgresql://user@host/db#COUNTER"},
        {{"record"},
         "DEST",
         "append a record of every chip: FILE.jsonl, sqlite:FILE or postgresql://user@host/db (repeatable)"},
        {{"hex"}, "FILE", "run: the firmware the automation file's program keyword writes (repeatable)"},
        {{"part"}, "NAME", "station: the part it programs; a chip of another part fails with nothing written"},
        {{"save"}, "FILE", "crc sectors: keep every sector's CRC and the global one as golden CRCs"},
        {{"v", "verbose"},
         "",
         "the wire log on stderr: every write and answer, time-stamped; -vv adds the timing of each exchange and "
         "wait"},
        {{"wire-log"}, "FILE", "the same log into FILE"},
        {{"json"}, "", "results on stdout as JSON, one object per command and board"},
        {{"q", "quiet"}, "", "nothing but errors"},
        {{"h", "help"}, "", "this text"},
        {{"version"}, "", "the version"},
    };
    return rows;
}

std::optional<UnitBound> parseBound(const QString& text) {
    bool ok = false;
    const bool isAddress = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const int value = isAddress ? text.mid(2).toInt(&ok, 16) : text.toInt(&ok, 10);
    if (!ok || value < 0 || value > 0xFFFF)
        return std::nullopt;
    return UnitBound{isAddress, value};
}

// Finds the command the first words name; on success the words are taken off the list.
QString readCommandWords(QStringList& words, CliRequest& request) {
    if (words.isEmpty())
        return QStringLiteral("no command given");
    // "crc" alone reads the global CRC.
    if (words == QStringList{QStringLiteral("crc")})
        words.append(QStringLiteral("global"));
    QStringList seconds;
    for (const CommandRow& row : commandTable()) {
        if (!row.cliWords)
            continue;
        const QStringList rowWords = QString::fromLatin1(row.cliWords).split(QLatin1Char(' '));
        if (rowWords[0] != words[0])
            continue;
        if (rowWords.size() == 1 || words.value(1) == rowWords[1]) {
            request.command = row.command;
            request.commandText = QString::fromLatin1(row.cliWords);
            words = words.mid(rowWords.size());
            return QString();
        }
        seconds.append(rowWords[1]);
    }
    if (seconds.isEmpty()) {
        QStringList first;
        for (const QString& command : cliCommandWords()) {
            if (!first.contains(command.section(' ', 0, 0)))
                first.append(command.section(' ', 0, 0));
        }
        return QStringLiteral("unknown command \"%1\"").arg(words[0]) + suggestion(words[0], first);
    }
    if (!words.value(1).isEmpty())
        return QStringLiteral("%1: unknown \"%2\"").arg(words[0], words[1]) + suggestion(words[1], seconds);
    const QString last = seconds.takeLast();
    return QStringLiteral("%1: say %2").arg(words[0], seconds.isEmpty() ? last : seconds.join(", ") + " or " + last);
}

// Reads the command's arguments, as its synopsis in the command table names them ("[A[-B]]",
// "FILE.hex...", "NAME VALUE", "[SECTOR]"), into the request; returns an error text, empty when fine.
QString readArguments(QStringList args, CliRequest& request) {
    const QString wrongCount = QStringLiteral("%1: wrong number of arguments").arg(request.commandText);
    for (QString token : QString::fromLatin1(commandRow(request.command).cliSynopsis).split(' ', Qt::SkipEmptyParts)) {
        const bool optional = token.startsWith(QLatin1Char('['));
        if (args.isEmpty()) {
            if (optional)
                break;
            return wrongCount;
        }
        const QString arg = args.takeFirst();
        token.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
        if (token == QLatin1String("A-B")) {
            const std::optional<UnitChoice> range = parseRange(arg);
            if (!range)
                return QStringLiteral("%1: \"%2\" is not a range (A, A-B; indexes or 0x addresses)")
                    .arg(request.commandText, arg);
            request.range = *range;
        } else if (token.startsWith(QLatin1String("FILE"))) {
            request.files.append(arg);
            if (token.endsWith(QLatin1String("...")))
                request.files.append(std::exchange(args, {}));
        } else if (token == QLatin1String("NAME")) {
            request.configByte = configByteNamed(arg.toLower());
            if (!request.configByte)
                return QStringLiteral("config: \"%1\" is not one of ucfg1, ucfg2, bootv, status").arg(arg);
        } else if (token == QLatin1String("SECTOR")) {
            bool ok = false;
            request.sector = arg.toInt(&ok);
            if (!ok || *request.sector < 0 || *request.sector > 15)
                return QStringLiteral("security: \"%1\" is not a sector number (0..15)").arg(arg);
        } else if (token == QLatin1String("VALUE")) {
            const std::optional<QString> value = normaliseByteEntry(arg);
            if (!value)
                return QStringLiteral("%1: \"%2\" is not a byte value (hex 00..FF)").arg(request.commandText, arg);
            request.value = *value;
        }
    }
    return args.isEmpty() ? QString() : wrongCount;
}

// Takes the options' values into the request; returns an error text, empty when fine.
QString readOptions(const QCommandLineParser& parser, CliOptions& options) {
    static const QRegularExpression comName(QStringLiteral("^COM[0-9]+$"), QRegularExpression::CaseInsensitiveOption);
    for (const QString& value : parser.values(QStringLiteral("port"))) {
        for (const QString& port : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (comName.match(port.trimmed()).hasMatch() && comNumberOf(port.trimmed()) == 0)
                return QStringLiteral("--port %1: the ports are COM1..COM8, or a device path such as /dev/ttyUSB0")
                    .arg(port.trimmed());
            options.ports.append(port.trimmed());
        }
        if (value.trimmed().isEmpty())
            return QStringLiteral("--port needs a port");
    }
    if (parser.isSet(QStringLiteral("boards"))) {
        bool ok = false;
        options.boards = parser.value(QStringLiteral("boards")).toInt(&ok);
        if (!ok || options.boards < 1 || options.boards > kPortCount)
            return QStringLiteral("--boards takes a number of boards, 1..%1").arg(kPortCount);
    }
    if (parser.isSet(QStringLiteral("baud"))) {
        const QString baud = parser.value(QStringLiteral("baud"));
        if (baud != QLatin1String("57600") && baud != QLatin1String("9600"))
            return QStringLiteral("--baud takes 57600 or 9600, not \"%1\"").arg(baud);
        options.baud9600 = baud == QLatin1String("9600");
    }
    if (parser.isSet(QStringLiteral("erase"))) {
        static const QList<std::pair<QString, EraseMode>> kModes{{QStringLiteral("used"), EraseMode::Used},
                                                                 {QStringLiteral("chip"), EraseMode::Chip},
                                                                 {QStringLiteral("none"), EraseMode::None}};
        const QString mode = parser.value(QStringLiteral("erase"));
        const auto found = std::find_if(kModes.begin(), kModes.end(), [&](const auto& m) { return m.first == mode; });
        if (found == kModes.end())
            return QStringLiteral("--erase takes chip, used or none, not \"%1\"").arg(mode);
        options.erase = found->second;
    }
    if (parser.isSet(QStringLiteral("simulator")))
        options.simulatorPart = parser.value(QStringLiteral("simulator"));
    options.simulatorReset = parser.isSet(QStringLiteral("simulator-reset"));
    options.quick = parser.isSet(QStringLiteral("quick"));
    options.noProtect = parser.isSet(QStringLiteral("no-protect"));
    options.truncate = parser.isSet(QStringLiteral("truncate"));
    options.changedOnly = parser.isSet(QStringLiteral("changed-only"));
    const QStringList given = parser.optionNames();
    options.verbosity = static_cast<int>(given.count(QStringLiteral("v")) + given.count(QStringLiteral("verbose")));
    options.wireLog = parser.value(QStringLiteral("wire-log"));
    options.json = parser.isSet(QStringLiteral("json"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    options.hexFiles = parser.values(QStringLiteral("hex"));
    options.golden = parser.value(QStringLiteral("golden"));
    options.verify = parser.isSet(QStringLiteral("verify")) || !options.golden.isEmpty();
    options.saveGolden = parser.value(QStringLiteral("save"));
    options.crcVariant = parser.value(QStringLiteral("crc-variant"));
    options.serialPlace = parser.value(QStringLiteral("serial"));
    options.serialFile = parser.value(QStringLiteral("serial-file"));
    options.records = parser.values(QStringLiteral("record"));
    options.part = parser.value(QStringLiteral("part"));
    return QString();
}

// An option given to a command it does not belong to.
QString misplacedOption(const CliRequest& request) {
    const CliOptions& options = request.options;
    const auto belongs = [&request](std::initializer_list<Command> commands) {
        return std::find(commands.begin(), commands.end(), request.command) != commands.end();
    };
    if (!options.hexFiles.isEmpty() && !belongs({Command::AutoProcedure}))
        return QStringLiteral("--hex belongs to the run command");
    if (options.verify && !belongs({Command::ProgramFirmware, Command::VerifyFirmware}))
        return QStringLiteral("--verify and --golden belong to program and verify");
    if (!options.saveGolden.isEmpty() && !belongs({Command::GetSectorCRC}))
        return QStringLiteral("--save belongs to crc sectors");
    if (!options.saveGolden.isEmpty() && request.range.first)
        return QStringLiteral("--save keeps every sector: give no range");
    if (!options.saveGolden.isEmpty() && (options.ports.size() > 1 || options.allPorts()))
        return QStringLiteral("--save keeps one chip's CRCs: give one port");
    if ((!options.serialPlace.isEmpty() || !options.serialFile.isEmpty()) && !belongs({Command::ProgramFirmware}))
        return QStringLiteral("--serial and --serial-file belong to program");
    if (options.serialPlace.isEmpty() != options.serialFile.isEmpty())
        return QStringLiteral("--serial and --serial-file go together");
    if (options.changedOnly && !belongs({Command::ProgramFirmware}))
        return QStringLiteral("--changed-only belongs to program");
    if (options.changedOnly && options.erase != EraseMode::Used)
        return QStringLiteral("--changed-only erases the sectors it sends: it goes with --erase used only");
    if (request.station && !belongs({Command::ProgramFirmware}))
        return QStringLiteral("a station runs program: zelvan-cli station program FILE.hex...");
    if (!options.part.isEmpty() && !request.station)
        return QStringLiteral("--part belongs to station");
    if (!options.part.isEmpty() && !findPartByName(options.part))
        return QStringLiteral("--part: \"%1\" is not a part of the catalogue").arg(options.part);
    if (options.allPorts() && belongs({Command::Ports}))
        return QStringLiteral("ports lists every port already");
    return QString();
}

void addOptions(QCommandLineParser& parser) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    for (const OptionRow& option : optionTable())
        parser.addOption(
            QCommandLineOption(option.names, QString::fromLatin1(option.help), QString::fromLatin1(option.valueName)));
}

QString usageError(const QString& what) {
    return what + QStringLiteral(" (see zelvan-cli --help)");
}

} // namespace

std::optional<UnitChoice> parseRange(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() > 2)
        return std::nullopt;
    UnitChoice range;
    range.first = parseBound(parts[0].trimmed());
    range.last = parts.size() == 2 ? parseBound(parts[1].trimmed()) : range.first;
    if (!range.first || !range.last)
        return std::nullopt;
    return range;
}

ParsedCommandLine parseCommandLine(const QStringList& arguments) {
    ParsedCommandLine parsed;
    QCommandLineParser parser;
    addOptions(parser);
    // "--simulator" alone is the default part; the parser knows only options that always take a
    // value or never do.
    QStringList words{QStringLiteral("zelvan-cli")};
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        optionsEnded = optionsEnded || argument == QLatin1String("--");
        words.append(!optionsEnded && argument == QLatin1String("--simulator") ? QStringLiteral("--simulator=LPC932A1")
                                                                               : argument);
    }
    if (!parser.parse(words)) {
        QString error = parser.errorText().replace(QLatin1Char('\''), QLatin1Char('"'));
        if (!parser.unknownOptionNames().isEmpty()) {
            QStringList known;
            for (const OptionRow& option : optionTable())
                known.append(QStringLiteral("--") + option.names.constLast());
            const QString name = parser.unknownOptionNames().constFirst();
            const QString unknown = (name.size() > 1 ? QStringLiteral("--") : QStringLiteral("-")) + name;
            error = QStringLiteral("unknown option \"%1\"").arg(unknown) + suggestion(unknown, known);
        }
        parsed.error = usageError(error);
        return parsed;
    }
    CliRequest request;
    if (parser.isSet(QStringLiteral("help")))
        request.action = CliRequest::Action::Help;
    else if (parser.isSet(QStringLiteral("version")))
        request.action = CliRequest::Action::Version;
    if (const QString error = readOptions(parser, request.options); !error.isEmpty()) {
        parsed.error = usageError(error);
        return parsed;
    }
    if (request.action != CliRequest::Action::RunCommand) {
        parsed.request = request;
        return parsed;
    }
    QStringList positional = parser.positionalArguments();
    request.station = positional.value(0) == QLatin1String("station");
    if (request.station)
        positional.removeFirst();
    QString error = readCommandWords(positional, request);
    if (request.station && error.isEmpty())
        request.commandText.prepend(QStringLiteral("station "));
    if (error.isEmpty())
        error = readArguments(positional, request);
    if (error.isEmpty())
        error = misplacedOption(request);
    if (!error.isEmpty()) {
        parsed.error = usageError(error);
        return parsed;
    }
    parsed.request = request;
    return parsed;
}

QString helpText() {
    QString text = QStringLiteral("Usage: zelvan-cli [options] <command> [arguments]\n"
                                  "Programs LPC9xx flash microcontrollers through a programmer board on a serial "
                                  "line.\n\nCommands:\n");
    for (const CommandRow& row : commandTable()) {
        if (!row.cliWords)
            continue;
        const QString synopsis =
            QStringLiteral("%1 %2").arg(QLatin1String(row.cliWords), QLatin1String(row.cliSynopsis));
        text += QStringLiteral("  %1  %2\n").arg(synopsis.trimmed().leftJustified(30), QLatin1String(row.cliHelp));
    }
    text += QStringLiteral("  %1  %2\n")
                .arg(QStringLiteral("station program FILE.hex...").leftJustified(30),
                     QStringLiteral("on each board, program every chip put in, one after the other, until "
                                    "Ctrl-C"));
    QCommandLineParser parser;
    addOptions(parser);
    const QString options = parser.helpText();
    text += QLatin1Char('\n') + options.mid(options.indexOf(QStringLiteral("Options:")));
    text += QStringLiteral("\nExit status:\n"
                           "  0    all done (on every board)\n"
                           "  1    the board or the target refused or did not answer; the work was not done\n"
                           "  2    usage error, or an input file that cannot be read or is refused; nothing sent\n"
                           "  3    verification failed (on several boards: the only failures are verify failures)\n"
                           "  4    no programmer board found, the port could not be opened (on several boards: none\n"
                           "       answered), or fewer boards answer than --boards asks for\n"
                           "  130  interrupted (SIGINT), 143 terminated (SIGTERM)\n"
                           "\nProgress goes to stderr (a bar on a terminal, a line per 10% otherwise), results to "
                           "stdout.\n");
    return text;
}

} // namespace zelvan::cli
