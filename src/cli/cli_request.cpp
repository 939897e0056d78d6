#include "cli_request.h"

#include "flash/byte_entry.h"

#include <QHash>

#include <algorithm>

namespace zelvan::cli {

namespace {

std::optional<RangeBound> parseBound(const QString& text) {
    bool ok = false;
    const bool isAddress = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const int value = isAddress ? text.mid(2).toInt(&ok, 16) : text.toInt(&ok, 10);
    if (!ok || value < 0 || value > 0xFFFF)
        return std::nullopt;
    return RangeBound{isAddress, value};
}

// Options that take a value, by every name they have.
enum class ValueOption { Port, Baud, Erase, WireLog, Hex, Golden, Save, CrcVariant, Serial, SerialFile, Record };
const QHash<QString, ValueOption>& valueOptions() {
    static const QHash<QString, ValueOption> options{
        {QStringLiteral("-p"), ValueOption::Port},         {QStringLiteral("--port"), ValueOption::Port},
        {QStringLiteral("-b"), ValueOption::Baud},         {QStringLiteral("--baud"), ValueOption::Baud},
        {QStringLiteral("--erase"), ValueOption::Erase},   {QStringLiteral("--wire-log"), ValueOption::WireLog},
        {QStringLiteral("--hex"), ValueOption::Hex},       {QStringLiteral("--golden"), ValueOption::Golden},
        {QStringLiteral("--save"), ValueOption::Save},     {QStringLiteral("--crc-variant"), ValueOption::CrcVariant},
        {QStringLiteral("--serial"), ValueOption::Serial}, {QStringLiteral("--serial-file"), ValueOption::SerialFile},
        {QStringLiteral("--record"), ValueOption::Record},
    };
    return options;
}

// Applies an option with its value; returns an error text, empty when fine.
QString applyValue(ValueOption option, const QString& value, CliOptions& options) {
    switch (option) {
    case ValueOption::Port:
        for (const QString& port : value.split(QLatin1Char(','), Qt::SkipEmptyParts))
            options.ports.append(port.trimmed());
        return value.trimmed().isEmpty() ? QStringLiteral("--port needs a port") : QString();
    case ValueOption::Baud:
        if (value != QLatin1String("57600") && value != QLatin1String("9600"))
            return QStringLiteral("--baud takes 57600 or 9600, not \"%1\"").arg(value);
        options.baud9600 = value == QLatin1String("9600");
        return QString();
    case ValueOption::Erase:
        if (value == QLatin1String("used"))
            options.erase = EraseMode::Used;
        else if (value == QLatin1String("chip"))
            options.erase = EraseMode::Chip;
        else if (value == QLatin1String("none"))
            options.erase = EraseMode::None;
        else
            return QStringLiteral("--erase takes chip, used or none, not \"%1\"").arg(value);
        return QString();
    case ValueOption::WireLog:
        options.wireLog = value;
        return QString();
    case ValueOption::Hex:
        options.hexFiles.append(value);
        return QString();
    case ValueOption::Golden:
        options.golden = value;
        options.verify = true;
        return QString();
    case ValueOption::Save:
        options.saveGolden = value;
        return QString();
    case ValueOption::CrcVariant:
        options.crcVariant = value;
        return QString();
    case ValueOption::Serial:
        options.serialPlace = value;
        return QString();
    case ValueOption::SerialFile:
        options.serialFile = value;
        return QString();
    case ValueOption::Record:
        options.records.append(value);
        return QString();
    }
    return QString();
}

// Applies a flag; false when the text is no known flag.
bool applyFlag(const QString& flag, CliRequest& request) {
    CliOptions& options = request.options;
    if (flag == QLatin1String("--quick"))
        options.quick = true;
    else if (flag == QLatin1String("--verify"))
        options.verify = true;
    else if (flag == QLatin1String("--no-protect"))
        options.noProtect = true;
    else if (flag == QLatin1String("-v") || flag == QLatin1String("--verbose"))
        options.verbose = true;
    else if (flag == QLatin1String("--json"))
        options.json = true;
    else if (flag == QLatin1String("-q") || flag == QLatin1String("--quiet"))
        options.quiet = true;
    else if (flag == QLatin1String("-h") || flag == QLatin1String("--help"))
        request.action = CliRequest::Action::Help;
    else if (flag == QLatin1String("--version"))
        request.action = CliRequest::Action::Version;
    else if (flag == QLatin1String("--simulator"))
        options.simulatorPart = QStringLiteral("LPC932A1");
    else if (flag.startsWith(QLatin1String("--simulator=")))
        options.simulatorPart = flag.mid(12);
    else
        return false;
    return true;
}

QString usageError(const QString& what) {
    return what + QStringLiteral(" (see zelvan-cli --help)");
}

// Reads the command and its arguments into the request; returns an error text, empty when fine.
QString readCommand(const QStringList& words, CliRequest& request) {
    if (words.isEmpty())
        return QStringLiteral("no command given");
    const QString command = words[0];
    const QStringList args = words.mid(1);
    const auto wantArgs = [&](qsizetype least, qsizetype most) {
        return args.size() < least || args.size() > most
                   ? QStringLiteral("%1: wrong number of arguments").arg(request.commandText)
                   : QString();
    };
    const auto takeRange = [&](qsizetype index) -> QString {
        if (index >= args.size())
            return QString();
        const std::optional<RangeArgument> range = parseRange(args[index]);
        if (!range)
            return QStringLiteral("%1: \"%2\" is not a range (A, A-B; indexes or 0x addresses)")
                .arg(request.commandText, args[index]);
        request.range = *range;
        return QString();
    };
    request.commandText = words.mid(0, qMin<qsizetype>(2, words.size())).join(QLatin1Char(' '));
    if (command == QLatin1String("ports") || command == QLatin1String("info") || command == QLatin1String("icp") ||
        command == QLatin1String("off") || command == QLatin1String("ccp")) {
        request.commandText = command;
        request.kind = command == QLatin1String("ports")  ? CommandKind::Ports
                       : command == QLatin1String("info") ? CommandKind::Info
                       : command == QLatin1String("icp")  ? CommandKind::Icp
                       : command == QLatin1String("off")  ? CommandKind::Off
                                                          : CommandKind::Ccp;
        return wantArgs(0, 0);
    }
    if (command == QLatin1String("erase")) {
        const QString what = args.value(0);
        if (what == QLatin1String("chip")) {
            request.kind = CommandKind::EraseChip;
            return wantArgs(1, 1);
        }
        if (what != QLatin1String("pages") && what != QLatin1String("sectors"))
            return QStringLiteral("erase: say chip, pages or sectors");
        request.kind = what == QLatin1String("pages") ? CommandKind::ErasePages : CommandKind::EraseSectors;
        const QString count = wantArgs(1, 2);
        return count.isEmpty() ? takeRange(1) : count;
    }
    if (command == QLatin1String("crc")) {
        const QString what = args.value(0);
        if (what == QLatin1String("calibrate")) {
            request.kind = CommandKind::CrcCalibrate;
            request.files = args.mid(1);
            return wantArgs(2, 1000);
        }
        if (what.isEmpty() || what == QLatin1String("global")) {
            request.kind = CommandKind::CrcGlobal;
            request.commandText = QStringLiteral("crc global");
            return wantArgs(0, 1);
        }
        if (what != QLatin1String("sectors"))
            return QStringLiteral("crc: say global, sectors or calibrate");
        request.kind = CommandKind::CrcSectors;
        const QString count = wantArgs(1, 2);
        return count.isEmpty() ? takeRange(1) : count;
    }
    if (command == QLatin1String("program") || command == QLatin1String("verify") || command == QLatin1String("run")) {
        request.commandText = command;
        request.kind = command == QLatin1String("program")  ? CommandKind::Program
                       : command == QLatin1String("verify") ? CommandKind::Verify
                                                            : CommandKind::Run;
        request.files = args;
        return request.kind == CommandKind::Run ? wantArgs(1, 1) : wantArgs(1, 1000);
    }
    if (command == QLatin1String("config")) {
        const QString what = args.value(0);
        static const QStringList kNames{QStringLiteral("ucfg1"), QStringLiteral("ucfg2"), QStringLiteral("bootv"),
                                        QStringLiteral("status")};
        request.configName = args.value(1).toLower();
        if (what != QLatin1String("get") && what != QLatin1String("set"))
            return QStringLiteral("config: say get or set");
        request.kind = what == QLatin1String("get") ? CommandKind::ConfigGet : CommandKind::ConfigSet;
        if (const QString count = request.kind == CommandKind::ConfigGet ? wantArgs(2, 2) : wantArgs(3, 3);
            !count.isEmpty())
            return count;
        if (!kNames.contains(request.configName))
            return QStringLiteral("config: \"%1\" is not one of ucfg1, ucfg2, bootv, status").arg(args.value(1));
        if (request.kind == CommandKind::ConfigSet) {
            const std::optional<QString> value = normaliseByteEntry(args.value(2));
            if (!value)
                return QStringLiteral("config set: \"%1\" is not a byte value (hex 00..FF)").arg(args.value(2));
            request.value = *value;
        }
        return QString();
    }
    if (command == QLatin1String("security")) {
        const QString what = args.value(0);
        if (what != QLatin1String("get") && what != QLatin1String("set"))
            return QStringLiteral("security: say get or set");
        request.kind = what == QLatin1String("get") ? CommandKind::SecurityGet : CommandKind::SecuritySet;
        if (const QString count = request.kind == CommandKind::SecurityGet ? wantArgs(1, 2) : wantArgs(3, 3);
            !count.isEmpty())
            return count;
        if (args.size() > 1) {
            bool ok = false;
            const int sector = args[1].toInt(&ok);
            if (!ok || sector < 0 || sector > 15)
                return QStringLiteral("security: \"%1\" is not a sector number (0..15)").arg(args[1]);
            request.sector = sector;
        }
        if (request.kind == CommandKind::SecuritySet) {
            const std::optional<QString> value = normaliseByteEntry(args.value(2));
            if (!value)
                return QStringLiteral("security set: \"%1\" is not a byte value (hex 00..FF)").arg(args.value(2));
            request.value = *value;
        }
        return QString();
    }
    return QStringLiteral("unknown command \"%1\"").arg(command);
}

// An option given to a command it does not belong to.
QString misplacedOption(const CliRequest& request) {
    const CliOptions& options = request.options;
    const CommandKind kind = request.kind;
    const auto belongs = [kind](std::initializer_list<CommandKind> kinds) {
        return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
    };
    if (!options.hexFiles.isEmpty() && !belongs({CommandKind::Run}))
        return QStringLiteral("--hex belongs to the run command");
    if (options.verify && !belongs({CommandKind::Program, CommandKind::Verify}))
        return QStringLiteral("--verify and --golden belong to program and verify");
    if (!options.saveGolden.isEmpty() && !belongs({CommandKind::CrcSectors}))
        return QStringLiteral("--save belongs to crc sectors");
    if (!options.saveGolden.isEmpty() && request.range.first)
        return QStringLiteral("--save keeps every sector: give no range");
    if (!options.saveGolden.isEmpty() && (options.ports.size() > 1 || options.allPorts()))
        return QStringLiteral("--save keeps one chip's CRCs: give one port");
    if ((!options.serialPlace.isEmpty() || !options.serialFile.isEmpty()) && !belongs({CommandKind::Program}))
        return QStringLiteral("--serial and --serial-file belong to program");
    if (options.serialPlace.isEmpty() != options.serialFile.isEmpty())
        return QStringLiteral("--serial and --serial-file go together");
    if (options.allPorts() && belongs({CommandKind::Ports}))
        return QStringLiteral("ports lists every port already");
    return QString();
}

} // namespace

std::optional<RangeArgument> parseRange(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() > 2)
        return std::nullopt;
    RangeArgument range;
    range.first = parseBound(parts[0].trimmed());
    range.last = parts.size() == 2 ? parseBound(parts[1].trimmed()) : range.first;
    if (!range.first || !range.last)
        return std::nullopt;
    return range;
}

ParsedCommandLine parseCommandLine(const QStringList& arguments) {
    ParsedCommandLine parsed;
    CliRequest request;
    QStringList words;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            words.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (applyFlag(argument, request))
            continue;
        // "--opt=value", "--opt value", "-p value" or "-pvalue".
        QString name = argument;
        std::optional<QString> value;
        if (const qsizetype equals = argument.indexOf(QLatin1Char('=')); equals > 0 && argument.startsWith("--")) {
            name = argument.left(equals);
            value = argument.mid(equals + 1);
        } else if (!argument.startsWith(QLatin1String("--")) && argument.size() > 2) {
            name = argument.left(2);
            value = argument.mid(2);
        }
        const auto option = valueOptions().find(name);
        if (option == valueOptions().end()) {
            parsed.error = usageError(QStringLiteral("unknown option \"%1\"").arg(argument));
            return parsed;
        }
        if (!value) {
            if (i + 1 >= arguments.size()) {
                parsed.error = usageError(QStringLiteral("%1 needs a value").arg(name));
                return parsed;
            }
            value = arguments[++i];
        }
        if (const QString error = applyValue(*option, *value, request.options); !error.isEmpty()) {
            parsed.error = usageError(error);
            return parsed;
        }
    }
    if (request.action != CliRequest::Action::RunCommand) {
        parsed.request = request;
        return parsed;
    }
    if (const QString error = readCommand(words, request); !error.isEmpty()) {
        parsed.error = usageError(error);
        return parsed;
    }
    if (const QString misplaced = misplacedOption(request); !misplaced.isEmpty()) {
        parsed.error = usageError(misplaced);
        return parsed;
    }
    parsed.request = request;
    return parsed;
}

} // namespace zelvan::cli
