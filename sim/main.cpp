// zelvan-board-sim: a simulated programmer board with an LPC9xx behind it, on a pseudo-terminal.
// It prints the device to use; point the program at it with ZELVAN_COM1=<device>. While it runs,
// SIGUSR1 takes the chip out of the socket and SIGUSR2 puts a new one in.

#include "chip_state.h"
#include "common/version.h"
#include "fault_rules.h"
#include "flash/crc_model.h"
#include "pty_board_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <csignal>
#include <cstdio>

using namespace zelvan;
using namespace zelvan::sim;

namespace {

int fail(const QString& message) {
    std::fprintf(stderr, "zelvan-board-sim: %s\n", qPrintable(message));
    return 2;
}

std::chrono::microseconds millis(const QCommandLineParser& parser, const QString& name) {
    return std::chrono::milliseconds(parser.value(name).toInt());
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelvan-board-sim"));
    QCoreApplication::setApplicationVersion(kAppVersion);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated programmer board with an LPC9xx target, on a "
                                                    "pseudo-terminal. Prints the device path, then answers until "
                                                    "interrupted (SIGINT or SIGTERM).\n"
                                                    "The chip can be swapped while it runs: SIGUSR1 takes it out of "
                                                    "the socket, SIGUSR2 puts a new (erased) one in, e.g.\n"
                                                    "  kill -USR1 <pid>; kill -USR2 <pid>"));
    parser.addHelpOption();
    parser.addVersionOption();
    const auto option = [&](const QString& name, const QString& help, const QString& valueName = QString(),
                            const QString& defaultValue = QString()) {
        parser.addOption(QCommandLineOption(name, help, valueName, defaultValue));
    };
    option("part", "Catalogue part behind the board (LPC932A1, LPC936, LPC954, ...).", "name", "LPC932A1");
    option("ids", "Any three id bytes instead of a part, as MFG,ID1,ID2 in hex (e.g. 15,DD,FE).", "bytes");
    option("baud", "Pace every byte at this line speed; 0 answers at once.", "rate", "0");
    option("page-erase-ms", "Time a page erase takes.", "ms", "0");
    option("sector-erase-ms", "Time a sector erase takes.", "ms", "0");
    option("chip-erase-ms", "Time a chip erase takes.", "ms", "0");
    option("page-program-ms", "Time programming a page takes.", "ms", "0");
    option("silent", "Answer nothing at all.");
    option("no-sync", "Ignore the baud synchronisation \"U\".");
    option("no-version", "Ignore the loader version record.");
    option("refuse", "Answer \"X\" to: P, S, type:TT, body:PREFIX, each optionally #n (repeatable).", "what");
    option("mute", "Answer nothing to: the same forms as --refuse (repeatable).", "what");
    option("ignore", "Carry nothing out but answer \".\" to: the same forms as --refuse (repeatable).", "what");
    option("silent-after", "Answer the first N commands, then nothing.", "n");
    option("hang-up-after", "Answer the first N commands, then drop the line (the board dies).", "n");
    option("late", "Answer every command this late.", "ms");
    option("late-once", "Answer WHAT (the forms of --refuse) MS milliseconds late, e.g. type:08#1,6000 (repeatable).",
           "what,ms");
    option("garbage", "Send this text in front of every answer.", "text");
    option("stop-reading", "Take nothing off the line (the program's output backs up).");
    option("version-text", "Loader version text.", "text");
    option("no-chip", "Start with the socket empty (after --state is loaded).");
    option("state", "Keep the chip in FILE: load it at start when the file exists, write it at exit.", "file");
    option("crc-variant", "Formulation of the CRC signature register (default left-low-plain-up-zero).", "name");
    parser.process(app);

    BoardModel::Ids ids;
    DeviceGeometry geometry;
    if (parser.isSet("ids")) {
        const QStringList bytes = parser.value("ids").split(QLatin1Char(','));
        bool ok = bytes.size() == 3;
        quint8 values[3] = {};
        for (int i = 0; ok && i < 3; ++i) {
            const uint value = bytes[i].toUInt(&ok, 16);
            ok = ok && value <= 0xFF;
            values[i] = static_cast<quint8>(value);
        }
        if (!ok)
            return fail(QStringLiteral("--ids takes three hex bytes, e.g. 15,DD,1F"));
        ids = {values[0], values[1], values[2]};
        geometry = geometryForId(QString::number(values[2], 16).rightJustified(2, QLatin1Char('0')).toUpper(),
                                 DeviceGeometry{});
    } else {
        const CatalogueEntry* part = findPartByName(parser.value("part"));
        if (!part)
            return fail(QStringLiteral("unknown part %1").arg(parser.value("part")));
        ids.deviceId2 = static_cast<quint8>(QByteArray(part->deviceId2).toUInt(nullptr, 16));
        geometry = part->geometry;
    }

    BoardModel board(ids, geometry);
    board.times() = {millis(parser, "page-erase-ms"), millis(parser, "sector-erase-ms"),
                     millis(parser, "chip-erase-ms"), millis(parser, "page-program-ms")};
    BoardFaults& faults = board.faults();
    faults.silent = parser.isSet("silent");
    faults.noSync = parser.isSet("no-sync");
    faults.noVersion = parser.isSet("no-version");
    if (parser.isSet("silent-after"))
        faults.silentAfterUnits = parser.value("silent-after").toInt();
    if (parser.isSet("hang-up-after"))
        faults.hangUpAfterUnits = parser.value("hang-up-after").toInt();
    if (parser.isSet("late"))
        faults.answerDelay = millis(parser, "late");
    faults.garbagePrefix = parser.value("garbage").toLatin1();
    for (const auto& [name, action] : {std::pair{QStringLiteral("refuse"), FaultRule::Action::Refuse},
                                       std::pair{QStringLiteral("mute"), FaultRule::Action::Silent},
                                       std::pair{QStringLiteral("ignore"), FaultRule::Action::Ignore}}) {
        for (const QString& text : parser.values(name)) {
            const std::optional<FaultRule> rule = parseFaultRule(text, action);
            if (!rule)
                return fail(QStringLiteral("cannot read --%1 %2").arg(name, text));
            faults.rules.push_back(*rule);
        }
    }
    for (const QString& text : parser.values("late-once")) {
        const qsizetype comma = text.lastIndexOf(QLatin1Char(','));
        bool ok = comma > 0;
        const int ms = ok ? text.mid(comma + 1).toInt(&ok) : 0;
        const std::optional<FaultRule> rule =
            ok ? parseFaultRule(text.left(comma), FaultRule::Action::Late) : std::nullopt;
        if (!rule || ms < 0)
            return fail(QStringLiteral("cannot read --late-once %1").arg(text));
        faults.rules.push_back(rule->late(std::chrono::milliseconds(ms)));
    }
    if (parser.isSet("version-text"))
        board.setVersionText(parser.value("version-text").toLatin1());
    if (parser.isSet("crc-variant")) {
        const CrcVariant* variant = findCrcVariant(parser.value("crc-variant"));
        if (!variant) {
            QStringList names;
            for (const CrcVariant& known : crcVariants())
                names.append(known.name);
            return fail(QStringLiteral("unknown CRC variant %1; the variants are: %2")
                            .arg(parser.value("crc-variant"), names.join(QStringLiteral(", "))));
        }
        board.setCrcVariant(*variant);
    }

    const QString statePath = parser.value("state");
    if (!statePath.isEmpty() && QFileInfo::exists(statePath)) {
        QString error;
        if (!loadChipState(board, statePath, &error))
            return fail(error);
    }
    if (parser.isSet("no-chip"))
        board.removeChip();

    // Stop cleanly on Ctrl+C or kill, and swap the chip on the two user signals: the signals are
    // taken by sigwait below, not by a handler, so the swap runs on this thread, outside any
    // signal context. They are blocked before the board's thread starts, which inherits the mask.
    sigset_t taken;
    sigemptyset(&taken);
    for (const int signal : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2})
        sigaddset(&taken, signal);
    pthread_sigmask(SIG_BLOCK, &taken, nullptr);

    PtyBoardServer server(std::move(board));
    server.setPacedBaud(parser.value("baud").toInt());
    server.setStopReading(parser.isSet("stop-reading"));
    QString error;
    if (!server.start(&error))
        return fail(error);
    std::printf("%s\n", qPrintable(server.devicePath()));
    std::fflush(stdout);

    for (;;) {
        int signal = 0;
        sigwait(&taken, &signal);
        if (signal == SIGUSR1) {
            server.withBoard([](BoardModel& model) { model.removeChip(); });
            std::fputs("chip removed\n", stderr);
        } else if (signal == SIGUSR2) {
            server.withBoard([](BoardModel& model) { model.insertChip(); });
            std::fputs("new chip inserted\n", stderr);
        } else {
            break;
        }
    }
    server.stop();
    if (!statePath.isEmpty()) {
        QString error;
        if (!server.withBoard([&](const BoardModel& model) { return saveChipState(model, statePath, &error); })) {
            std::fprintf(stderr, "zelvan-board-sim: the chip was not kept: %s\n", qPrintable(error));
            return 1;
        }
    }
    return 0;
}
