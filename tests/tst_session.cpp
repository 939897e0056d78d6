// The window's face: what the Session shows of the core's results (closing status lines, boxes,
// the connection label), which commands it makes available, and how it asks. What the operations
// do to the chip is the core suite's (tst_operations).

#include "support/connected_target.h"

#include "board/port_messages.h"
#include "firmware/firmware_loading.h"
#include "link/isp_answer.h"
#include "link/records.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace zelvan;
using namespace zelvan::test;
using namespace std::chrono_literals;
using Start = ConnectedTarget::Start;
using Labels = QList<QPair<QString, Rgb>>; // the connection label's texts and colours

namespace {

// A scene of the window: how it is set up before a command is clicked, and what the window shows.
struct Scene {
    Start start = Start::Identified;
    QStringList ports{};            // placed first, as BoardRig::placeAll takes them; a new target on COM1 is opened
    const char* firmware = nullptr; // loaded first, from the test data
    bool closed = false;            // COM1 is closed first: COM5, which cannot be opened, was chosen
    bool protect = true;
    int first = 0; // the first page (sector, for sector commands) chosen; -1: no range
    QList<sim::FaultRule> rules{};
    bool confirm = true;
    QStringList entries{};   // typed into the input boxes
    QByteArray automation{}; // the automation file chosen: its lines, or as scenePath takes it
    QString file{};          // the file Load Firmware is given (as scenePath takes it), or the HEX text of a second
                             // file loaded first
    bool rewrite = false, cleared = false; // that file changes on disk; Clear Firmware, before the command
    const char* golden = nullptr;          // golden CRCs saved from a chip of this part first, then chosen
    bool verify = false;                   // Program Firmware verifies what it wrote
    bool stop = false;                     // the user asks to stop while a box is shown
    bool untick = false;                   // "Protect ISP Code" is unticked while the command runs
    bool pulled = false;                   // the adapter is pulled out while the board keeps silent
    int com = 0;                           // instead of the command, COMn is chosen from the port menu
    // What the window shows
    QStringList boxes{};             // the title, then the start of the text, of each box
    QString status{}, firstStatus{}; // the last status line (empty: none), and the first when given
    QSet<Command> enabled{};         // the commands available afterwards, when given
    Labels labels{};                 // the connection label's changes
    QString cpu{};                   // in the found part's text
    int checked = -1;                // the port marked, when given,
    bool autoMark = false;           // and whether Auto Selection is marked
    QStringList letters{};           // the board letters an automation run sent
    QString lastSent{}, label{};     // the last record sent (when given); the end of the firmware label
};

// The path of a file as a scene names it: test data, "end.hex" (an end record alone), "fifo", "too
// large" (for any file), or a path.
QString scenePath(const QString& name, const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("file"));
    if (name == "fifo" && ::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
        qFatal("no FIFO");
    if (name == "too large" && !QFile(writeFile(path, QByteArray())).resize(kMaxHexFileBytes + 1))
        qFatal("no large file");
    if (name == "end.hex")
        return writeFile(path, ":00000001FF\n");
    if (name.endsWith(".hex") && !name.startsWith('/'))
        return fixturePath(qPrintable(name));
    return name == "fifo" || name == "too large" ? path : name;
}

using Scenes = QList<std::tuple<QByteArray, Command, Scene>>;

// What every command of the window shows when it ends, for each way it can end: done, refused by
// the board, unanswered, and not sent at all (no port open): its first and last status line and
// its box. A rule aims at the first record (or letter) the command sends.
Scenes closingReports() {
    // Most commands close with their phrase: "<phrase>...", then "<phrase>: Done" or ": Error".
    struct Shown {
        Command command;
        sim::FaultRule rule;
        QString phrase;
        QString boxTitle{}; // empty: no box
        QString doneBox{};  // the box when done (a prefix when it carries a value); empty: none then
        QString firstStatus = phrase + "...";
        QString doneStatus = phrase + ": Done";
        QString failedStatus = phrase + ": Error";
    };
    using enum Command;
    const auto onType = [](int type, int occurrence = 0) {
        return sim::FaultRule::onType(type, sim::FaultRule::Action::Refuse, occurrence);
    };
    const auto letter = [](char l) { return sim::FaultRule::onLetter(l, sim::FaultRule::Action::Refuse); };
    // clang-format off
    const QList<Shown> commands{
        {ICP, letter('P'), "Peripheral ICP Mode", "Peripheral ICP Mode", "Peripheral ICP Mode: Done"},
        {OFF, letter('S'), "Peripheral Power OFF", "Peripheral Power OFF", "Peripheral Power OFF: Done"},
        {Version, onType(0x01), "Loader Version", "", "", "", "Loader Version: 00000001FF ZELVAN ICP 2-1"},
        {GetID, onType(0x03), "", "", "", "Reading CPU ID...", "CPU MFG=15 ID1=DD ID2=1F", "CPU ID Read Failed"},
        {EraseChip, onType(0x08), "Erasing Device", "Chip Erasing", "Chip Erasing: Done"},
        {ErasePage, onType(0x04), "Erasing Device Pages", "Page Erasing", "Page Erasing: Done"},
        {EraseSector, onType(0x04), "Erasing Device Sectors", "Sector Erasing", "Sector Erasing: Done"},
        {GetGlobalCRC, onType(0x06), "Reading Global CRC", "Global CRC", "Global CRC  = "},
        // The second sector fails: the box holds the error alone, no partial list.
        {GetSectorCRC, onType(0x05, 2), "Reading Sectors CRC", "Sectors CRC", "CRC 0000-03FF = "},
        {ProgramFirmware, onType(0x00), "Programming Firmware", "Peripheral Programming", "Programming: Done"},
        {UCFG1, onType(0x03), "Programming UCFG1", "Program UCFG1", "", "Reading UCFG1..."},
        {UCFG2, onType(0x03), "Programming UCFG2", "Program UCFG2", "", "Reading UCFG2..."},
        {SetBootVector, onType(0x03), "Programming Boot Vector", "Program Boot Vector", "", "Reading Boot Vector..."},
        {StatusByte, onType(0x03), "Programming Status Byte", "Program Status Byte", "", "Reading Status Byte..."},
        {ProgramSecurity, onType(0x03), "", "Security Bytes", "", "Reading Security Byte for Sector  0...",
            "Programming Security Byte for Sector  7: Done", "Programming Security Byte for Sector  0: Error"},
        {CCP, onType(0x02), "Clear Configuration Protection"},
    };
    // clang-format on
    Scenes scenes;
    for (const Shown& shown : commands) {
        for (const QByteArray kind : {"done", "refused", "unanswered", "not sent"}) {
            const bool done = kind == "done";
            sim::FaultRule rule = shown.rule;
            if (kind == "unanswered")
                rule.action = sim::FaultRule::Action::Silent;
            Scene scene{.firmware = shown.command == ProgramFirmware ? "blink.ihx" : nullptr,
                        .closed = kind == "not sent",
                        .protect = false,
                        .rules = kind == "refused" || kind == "unanswered" ? QList{rule} : QList<sim::FaultRule>{},
                        .entries = QStringList(8, QStringLiteral("5A")),
                        .status = done ? shown.doneStatus : shown.failedStatus,
                        .firstStatus = shown.firstStatus};
            const QString failure = shown.command == ProgramFirmware ? QStringLiteral("Programming error")
                                    : kind == "refused"              ? kErrPeripheral
                                                                     : kErrNoResponse;
            if (!shown.boxTitle.isEmpty() && !(done && shown.doneBox.isEmpty()))
                scene.boxes = QStringList{shown.boxTitle, done ? shown.doneBox : failure};
            scenes.append({QByteArray(commandRow(shown.command).caption) + ", " + kind, shown.command, scene});
        }
    }
    return scenes;
}

Scenes scenes() {
    using enum Command;
    using enum sim::FaultRule::Action;
    const QSet<Command> kSearched{AutoConnect, ICP, OFF}, kVersionRead = kSearched + QSet<Command>{Version, GetID};
    const QSet<Command> kIdentified =
        kVersionRead + QSet<Command>{StatusByte, ErasePage,    EraseSector,  LoadFirmware,    UCFG1,         UCFG2,
                                     EraseChip,  GetSectorCRC, GetGlobalCRC, ProgramSecurity, SetBootVector, CCP};
    const QSet<Command> kLoaded{ProgramFirmware, ClearFirmware};
    const QPair<QString, Rgb> unconnected{"Unconnected", kUnconnectedColour}, connected{"Connected", kConnectedColour};
    const QString notFound = "Not connected: programmer not found", runError = "Automatic Programming: Error";
    const QString pagesKept = "Erasing 1E00H and higher disabled to protect bootloader";
    const QStringList notCleared{"HEX File Loading", "You are trying to load"};
    const auto refused = [&](const char* text) { return notCleared + QStringList{"Zelvan Programmer", text}; };
    const QString reaching = ":011DC000AA78\n:011E0000BB26\n:011FC000CC54\n:00000001FF\n";
    const QString second = ":0408000001020304EA\n:00000001FF\n"; // four bytes at 0800H, beside blink.ihx's
    // clang-format off
    Scenes scenes{
        // An erase that protection, no range or the user kept from its work.
        {"pages from the bootloader's", ErasePage, {.first = 0x78, .boxes = {"Page Erasing", pagesKept},
            .status = "Erasing Device Pages: Error"}},
        {"sectors from the bootloader's", EraseSector, {.first = 7,
            .boxes = {"Sector Erasing", "Erasing Sector 1C00H disabled to protect original bootloader"},
            .status = "Erasing Device Sectors: Error"}},
        {"no page range", ErasePage, {.first = -1, .boxes = {"Page Erasing", "ERROR: no page range is chosen"},
            .status = "Erasing Device Pages: Error"}},
        {"chip, protected", EraseChip,
            {.boxes = {"Chip Erase", "Erasing chip disabled to protect original bootloader"}}},
        {"chip, declined", EraseChip, {.protect = false, .confirm = false}},
        // A command keeps the "Protect ISP Code" it started with: unticking it meanwhile lets nothing go.
        {"unticked during a page erase", ErasePage, {.first = 0x74, .untick = true,
            .boxes = {"Page Erasing", pagesKept}, .status = "Erasing Device Pages: Done"}},
        {"unticked while programming", ProgramFirmware, {.file = reaching, .untick = true,
            .boxes = {"Peripheral Programming", "2 page(s) of the firmware lie in the bootloader area (1E00H",
            "Peripheral Programming", "Programming: Done"}, .status = "Programming Firmware: Done"}},
        {"unticked during a run", AutoProcedure, {.automation = "esector\nechip\n", .untick = true,
            .boxes = {"Chip Erase", "Erasing chip disabled"}, .status = "Automatic Programming: Error"}},
        // Auto Connect: the commands each stage opens, the label after each port, the port marked, no board.
        {"Auto Connect, no version", AutoConnect, {.start = Start::NoBoard, .ports = {"mute"}, .status = notFound,
            .enabled = kSearched + QSet<Command>{Version}, .labels = {connected}}},
        {"Auto Connect past silent ports", AutoConnect, {.start = Start::NoBoard,
            .ports = {"silent", "silent", "LPC932A1"}, .status = "CPU MFG=15 ID1=DD ID2=1F", .enabled = kIdentified,
            .labels = {unconnected, unconnected, connected}, .cpu = "LPC932A1", .checked = 3, .autoMark = true}},
        {"Auto Connect, a locked port", AutoConnect, {.start = Start::NoBoard, .ports = {"", "locked", "silent"},
            .boxes = {"Auto Connect", notFound + "\nThese ports could not be opened:\nCOM2 (/dev/pts/"},
            .status = notFound, .enabled = kSearched, .labels = {unconnected}, .checked = 0}},
        {"Auto Connect, board gone: still green", AutoConnect, {.rules = {sim::FaultRule::onLetter('U', Silent)},
            .status = notFound, .labels = {{"Unconnected", kConnectedColour}}, .checked = 1}},
        {"no version: Get LPC ID still", Version, {.rules = {sim::FaultRule::onType(0x01, Silent)},
            .status = "Loader Version: Error", .enabled = kIdentified}},
        // Get LPC ID: the part's text and lists, nothing behind the board; a read failing half-way changes nothing.
        {"Get LPC ID, another part", GetID, {.ports = {"LPC936"}, .firmware = "blink.ihx", .first = 5,
            .status = "CPU MFG=15 ID1=DD ID2=24", .enabled = kIdentified + kLoaded, .cpu = "LPC936",
            .label = "blink.ihx (kept for the LPC936)"}},
        {"Get LPC ID, all FF", GetID, {.ports = {"FF"}, .firmware = "blink.ihx", .first = 5,
            .boxes = {"LPC ID", "The LPC device seems to be not connected or unpowered. Please check."},
            .status = "CPU MFG=FF ID1=FF ID2=FF", .enabled = kVersionRead + QSet<Command>{ClearFirmware},
            .cpu = "[unknown] [unknown] [unknown]"}},
        {"Get LPC ID, read cut short", GetID, {.firmware = "blink.ihx", .first = 5,
            .rules = {sim::FaultRule::onBody("0100000311", Silent)}, .status = "CPU ID Read Failed",
            .enabled = kIdentified + kLoaded, .cpu = "LPC932A1"}},
        // Identification keeps the bytes loaded since the last clear, laid out anew; files are not read again.
        {"firmware kept", GetID, {.firmware = "blink.ihx", .file = second, .status = "CPU MFG=15 ID1=DD ID2=1F",
            .enabled = kIdentified + kLoaded, .label = "second.hex (kept for the LPC932A1)"}},
        {"firmware kept, file changed", GetID, {.firmware = "blink.ihx", .file = second, .rewrite = true,
            .status = "CPU MFG=15 ID1=DD ID2=1F", .enabled = kIdentified + kLoaded,
            .label = "second.hex (kept for the LPC932A1)"}},
        {"firmware cleared before", GetID, {.firmware = "blink.ihx", .file = second, .cleared = true,
            .status = "CPU MFG=15 ID1=DD ID2=1F", .enabled = kIdentified, .label = "Firmware: "}},
        {"firmware kept, smaller part", AutoConnect, {.ports = {"LPC901"}, .firmware = "blink.ihx", .file = second,
            .boxes = {"HEX File Warning", "The HEX file you are loading exceeds"}, .status = "CPU MFG=15 ID1=DD ID2=0D",
            .labels = {connected}, .checked = 1, .autoMark = true, .label = "second.hex (kept for the LPC901)"}},
        {"adapter pulled out", ICP, {.pulled = true, .boxes = {"Peripheral ICP Mode", "ERROR: No response"},
            .status = "Peripheral ICP Mode: Error", .labels = {{"Unconnected", kConnectedColour}}}},
        // A port chosen from the menu is only opened; one that cannot be opened is not a programmer lost.
        {"COM5 from the menu", ICP, {.ports = {"", "", "", "", "LPC932A1"}, .com = 5, .checked = 5}},
        {"COM5 missing", ICP, {.com = 5,
            .boxes = {"ZANO Main CPU Simulator", "Error opening COM 5\n/nonexistent/zelvan-test-com5: "}, .checked = 1,
            .autoMark = true}},
        {"COM5 locked", ICP, {.ports = {"", "", "", "", "locked"}, .com = 5,
            .boxes = {"ZANO Main CPU Simulator", "Error opening COM 5\n/dev/pts/"}, .checked = 1, .autoMark = true}},
        // The Verify menu, and the verify after Program Firmware.
        {"programmed and verified", ProgramFirmware, {.firmware = "blink.ihx", .verify = true,
            .boxes = {"Peripheral Programming", "Programming: Done", "Verify Firmware",
            "Verify: Done. 2 CRC(s) as the firmware ("}, .status = "Verifying Firmware: Done"}},
        {"programmed, a page lost", ProgramFirmware, {.firmware = "blink.ihx",
            .rules = {sim::FaultRule::onType(0x00, Ignore, 7)}, .verify = true,
            .boxes = {"Peripheral Programming", "Programming: Done", "Verify Firmware",
            "Verify failed: sector 1 (0400H) differs.\nCompared with the firmware ("},
            .status = "Verifying Firmware: Error"}},
        {"verify, nothing loaded", VerifyFirmware,
            {.boxes = {"Verify Firmware", "Identify the part (Get LPC ID) and load its firmware first: verify"}}},
        {"golden CRCs saved", SaveGolden, {.boxes = {"Golden CRCs",
            "Golden CRCs of the LPC932A1 saved: 8 sectors and the global CRC, in golden.json."},
            .status = "Saving Golden CRCs: Done"}},
        {"golden CRCs of this part", CompareGolden, {.golden = "LPC932A1",
            .boxes = {"Golden CRCs", "Verify: Done. 9 CRC(s) as the golden CRCs says."},
            .status = "Comparing with Golden CRCs: Done"}},
        {"golden CRCs, another part", CompareGolden, {.golden = "LPC936", .boxes = {"Golden CRCs",
            "Nothing was compared: the golden CRCs are those of an LPC936; this part is an LPC932A1."},
            .status = "Comparing with Golden CRCs: Error"}},
        // Auto Program: no result box or beep, but values read, the refused chip erase, faults and stops; only
        // regular files of a bounded size are read (a FIFO would block the window, /dev/zero never ends).
        {"run: done", AutoProcedure, {.firmware = "blink.ihx",
            .automation = "# a board\nnoprotect\npon\necHip\nprogram\nucfcg1=E3\npoff\n",
            .status = "Automatic Programming: Done", .letters = {"P", "S"}}},
        {"run: CRC, chip erase refused", AutoProcedure, {.automation = "pon\ngcrc\nprotect\nechip\npoff\n",
            .boxes = {"Global CRC", "Global CRC  = ", "Chip Erase", "Erasing chip disabled"}, .status = runError,
            .letters = {"P", "S"}}},
        {"run: no part identified", AutoProcedure, {.start = Start::PortOpened, .automation = "pon\nscrc\npoff\n",
            .boxes = {"Zelvan Programmer", "Error:  2\r\nline 2 (scrc): no device"}, .status = runError,
            .letters = {"P"}}},
        {"run: stopped", AutoProcedure, {.automation = "pon\ngcrc\npoff\n", .stop = true,
            .boxes = {"Global CRC", "Global CRC  = ", "Automatic Programming", "Stopped before line 3: the lines"},
            .status = runError, .letters = {"P"}}},
        {"run: a misspelt keyword", AutoProcedure, {.automation = "pon\necHip\nprogam\npoff\n",
            .boxes = {"Reading Automation File", "The automation file was not run: line 3, \"progam\""},
            .status = runError}},
        {"run: a FIFO", AutoProcedure, {.automation = "fifo",
            .boxes = {"Zelvan Programmer", "Error:  1\r\nfile: it is not a regular file"}, .status = runError}},
        {"run: a device", AutoProcedure, {.automation = "/dev/zero",
            .boxes = {"Zelvan Programmer", "Error:  1\r\nzero: it is not a regular file"}, .status = runError}},
        {"run: too large", AutoProcedure, {.automation = "too large", .boxes = {"Zelvan Programmer",
            "Error:  1\r\nfile: the file has 67108865 bytes, more than the 1048576 accepted"}, .status = runError}},
        {"run: a file gone", AutoProcedure, {.automation = "/nonexistent/run.cfg",
            .boxes = {"Reading Automation File", "Automation File file not found"}}},
        // Load Firmware over blink.ihx (the not-cleared warning first) or alone; a refused file changes nothing.
        {"load: a file gone", LoadFirmware, {.firmware = "blink.ihx", .file = "/nonexistent.hex",
            .boxes = notCleared + QStringList{"Loading Firmware File", "FIRMWARE file not found"},
            .status = "Loading Firmware..."}},
        {"load: cancelled", LoadFirmware, {}},
        {"load: data above the flash", LoadFirmware, {.firmware = "blink.ihx", .file = "config-bytes.hex",
            .boxes = notCleared + QStringList{"HEX File Warning", "The HEX file you are loading exceeds"},
            .status = "Loading Firmware: Flash ROM dimension Exceeded"}},
        {"load: an end record alone", LoadFirmware, {.file = "end.hex", .status = "Loading Firmware: Done"}},
        {"load: bad checksum", LoadFirmware, {.firmware = "blink.ihx", .file = "bad-checksum.hex",
            .boxes = refused("Error:  4\r\nbad-checksum.hex, line 5: the checksum is 95"),
            .status = "Loading Firmware: Error"}},
        {"load: truncated", LoadFirmware, {.firmware = "blink.ihx", .file = "truncated.hex",
            .boxes = refused("Error:  3\r\ntruncated.hex, line 8:"), .status = "Loading Firmware: Error"}},
        {"load: missing end record", LoadFirmware, {.firmware = "blink.ihx", .file = "missing-end.hex",
            .boxes = refused("Error:  7\r\nmissing-end.hex, line 22: the file ends without"),
            .status = "Loading Firmware: Error"}},
        {"load: odd digits", LoadFirmware, {.firmware = "blink.ihx", .file = "odd-digits.hex",
            .boxes = refused("Error:  3\r\nodd-digits.hex, line 7: the record has an odd"),
            .status = "Loading Firmware: Error"}},
        {"load: wrong byte count", LoadFirmware, {.firmware = "blink.ihx", .file = "wrong-count.hex",
            .boxes = refused("Error:  3\r\nwrong-count.hex, line 6: the byte count says 31"),
            .status = "Loading Firmware: Error"}},
        {"load: unknown record type", LoadFirmware, {.firmware = "blink.ihx", .file = "unknown-type.hex",
            .boxes = refused("Error:  5\r\nunknown-type.hex, line 22: record type 06"),
            .status = "Loading Firmware: Error"}},
        {"load: a FIFO", LoadFirmware, {.firmware = "blink.ihx", .file = "fifo",
            .boxes = refused("Error:  8\r\nfile: it is not a regular file"), .status = "Loading Firmware: Error"}},
        {"load: a device", LoadFirmware, {.firmware = "blink.ihx", .file = "/dev/zero",
            .boxes = refused("Error:  8\r\nzero: it is not a regular file"), .status = "Loading Firmware: Error"}},
        {"load: too large", LoadFirmware, {.firmware = "blink.ihx", .file = "too large",
            .boxes = refused("Error:  9\r\nfile: the file has 67108865 bytes"), .status = "Loading Firmware: Error"}},

    };
    // clang-format on
    // What the window takes for a byte: 1 or 2 hex digits (or more with leading zeros), two-digit
    // entries as typed, the rest in two upper-case digits. Anything else gets "Uncorrect Value" and
    // the question again, with the value read as its default; an empty entry gives up.
    const QList<std::pair<QString, QString>> entries{
        {"5a", "5a"}, {"FF", "FF"},   {"00", "00"}, {"7", "07"}, {"0005a", "5A"}, {"0000000000007", "07"},
        {"0", "00"},  {" E3 ", "E3"}, {"100", ""},  {"xyz", ""}, {"0x5A", ""},    {"+5", ""},
        {"  ", ""}};
    for (const auto& [entry, value] : entries) {
        const bool taken = !value.isEmpty();
        scenes.append({"UCFG1, \"" + entry.toUtf8() + "\" typed",
                       UCFG1,
                       {.entries = {entry, ""},
                        .boxes = taken ? QStringList{} : QStringList{"UCFG1 Value", "Uncorrect Value"},
                        .status = taken ? "Programming UCFG1: Done" : "Programming UCFG1: Interrupted",
                        .lastSent = taken ? unterminatedRecord("0200000200" + value) : ":0100000300FC"}});
    }
    return scenes + closingReports();
}

// What the user sees of the firmware cache: the image, the label and the commands.
auto cacheView(const Session& session) {
    return std::tuple(session.firmware(), session.firmwareLabel(), session.isEnabled(Command::ProgramFirmware),
                      session.isEnabled(Command::ClearFirmware));
}

} // namespace

class TestSession : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void scene_data() {
        QTest::addColumn<Command>("command");
        QTest::addColumn<Scene>("scene");
        for (const auto& [name, command, scene] : scenes())
            QTest::newRow(name.constData()) << command << scene;
    }
    void scene() {
        QFETCH(Command, command);
        QFETCH(Scene, scene);
        QTemporaryDir dir;
        const QString golden = dir.filePath("golden.json");
        if (scene.golden) {
            ConnectedTarget source(scene.golden);
            source.dialogs.fileAnswers = {golden};
            QVERIFY(source.session.click(Command::SaveGolden));
        }
        ConnectedTarget t("LPC932A1", scene.start);
        t.rig.placeAll(scene.ports);
        if (scene.start != Start::NoBoard && !scene.ports.value(0).isEmpty()) {
            t.board = &t.rig.board(1);
            QVERIFY(t.session.chooseComPort(1));
        }
        if (scene.firmware)
            t.loadFirmware(fixturePath(scene.firmware));
        if (scene.file.startsWith(':'))
            t.loadFirmware(writeFile(dir.filePath("second.hex"), scene.file.toLatin1()));
        if (scene.rewrite)
            writeFile(dir.filePath("second.hex"), ":0408000011121314AA\n:00000001FF\n");
        if (scene.cleared)
            QVERIFY(t.session.chooseClearLoadedFw());
        if (!scene.automation.isEmpty()) {
            const bool named =
                scene.automation.startsWith('/') || scene.automation == "fifo" || scene.automation == "too large";
            t.chooseAutomationFile(named ? scenePath(scene.automation, dir)
                                         : writeFile(dir.filePath("run.cfg"), scene.automation));
        }
        if (scene.closed)
            t.session.chooseComPort(5);
        t.session.setProtect(scene.protect);
        t.session.setVerifyAfterProgram(scene.verify);
        if (t.session.part()) {
            RangeSelector& range = command == Command::EraseSector ? t.session.sectorRange() : t.session.pageRange();
            range.chooseStart(scene.first);
            if (scene.first < 0)
                range.chooseEnd(-1);
        }
        for (const sim::FaultRule& rule : scene.rules)
            t.addRule(rule);
        t.forget();
        t.dialogs.inputAnswers = scene.entries;
        t.dialogs.confirmAnswer = scene.confirm;
        t.dialogs.fileAnswers = {command != Command::LoadFirmware ? golden
                                 : scene.file.isEmpty()           ? QString()
                                                                  : scenePath(scene.file, dir)};
        if (scene.stop)
            t.dialogs.whileShown = [&t] { t.session.requestStop(); };
        if (scene.untick) {
            t.withBoard([](sim::BoardModel& b) { b.times() = {30ms, 20ms, 0ms, 30ms}; });
            QTimer::singleShot(10ms, [&t] { t.session.setProtect(false); });
        }
        if (scene.pulled) {
            t.withBoard([](sim::BoardModel& b) { b.faults().silent = true; });
            QTimer::singleShot(50ms, [&t] { t.board->vanish(); });
        }
        const auto cacheBefore = cacheView(t.session);
        const std::optional<DeviceGeometry> partBefore = t.session.part();

        QVERIFY(scene.com ? t.session.chooseComPort(scene.com) : t.session.click(command));

        QCOMPARE(t.dialogs.boxes.size() * 2, scene.boxes.size());
        for (int i = 0; i < t.dialogs.boxes.size(); ++i) {
            QCOMPARE(t.dialogs.boxes[i].title, scene.boxes[2 * i]);
            QVERIFY2(t.dialogs.boxes[i].text.startsWith(scene.boxes[2 * i + 1]), qPrintable(t.dialogs.boxes[i].text));
        }
        QCOMPARE(t.record.lastStatus(), scene.status);
        if (!scene.firstStatus.isEmpty())
            QCOMPARE(t.record.statuses.constFirst(), scene.firstStatus);
        if (!scene.enabled.isEmpty())
            QCOMPARE(enabledCommands(t.session), scene.enabled);
        QCOMPARE(t.record.connections, scene.labels);
        QVERIFY2(t.session.foundCpuText().contains(scene.cpu), qPrintable(t.session.foundCpuText()));
        if (scene.checked >= 0) {
            QCOMPARE(t.session.checkedPort(), scene.checked);
            QCOMPARE(t.session.autoSelectionChecked(), scene.autoMark);
        }
        if (scene.com)
            QVERIFY(t.record.leds.isEmpty() && t.sent().isEmpty());
        if (scene.pulled) // the status line says so, and the indicator
            QVERIFY(t.record.statuses.filter("Programmer connection lost: ").size() == 1 &&
                    t.record.leds.last() == Led::Red);
        if (!scene.lastSent.isEmpty())
            QCOMPARE(t.sent().constLast(), scene.lastSent);
        if (command == Command::UCFG1) // the value read, each time it is asked
            QCOMPARE(t.dialogs.inputs, QStringList(t.dialogs.inputs.size(), "63"));
        QVERIFY2(t.session.firmwareLabel().endsWith(scene.label), qPrintable(t.session.firmwareLabel()));
        if (t.session.part()) { // the lists and the firmware laid out for the part
            QCOMPARE(t.session.sectorRange().count(), t.session.part()->sectorCount());
            QCOMPARE(t.session.pageRange().count(), t.session.part()->pageCount());
            QCOMPARE(t.session.firmware().size(), t.session.part()->flashSize());
        }
        if ((command == Command::GetID || command == Command::AutoConnect) && t.session.part() == partBefore)
            QVERIFY(t.session.firmware() == std::get<0>(cacheBefore)); // never read again from the files
        if (command == Command::GetID)
            QCOMPARE(t.session.pageRange().startIndex(), scene.status == "CPU ID Read Failed" ? scene.first : 0);
        if (command == Command::AutoProcedure) {
            QCOMPARE(t.sent().filter(QRegularExpression("^[PS]$")), scene.letters);
            QCOMPARE(t.dialogs.beeps, 0);
            QCOMPARE(t.session.protectTicked(), !scene.automation.contains("noprotect") && !scene.untick);
            QVERIFY(!t.session.fgAutoRunning());
        }
        if (command == Command::LoadFirmware) {
            QCOMPARE(t.dialogs.fileRequests.value(0).title,
                     QStringLiteral("Select Peripheral FIRMWARE File (Load Firmware)"));
            QCOMPARE(cacheView(t.session) == cacheBefore, !scene.status.contains(QRegularExpression("Done|Exceeded")));
        }
        if (scene.untick) {
            QCOMPARE(t.flash().mid(0x1E00), t.bootloader());
            QVERIFY(!t.sent().contains(":00000008F8"));
        }
        QVERIFY(!t.dialogs.busy);
    }

    // The box of a port that cannot be opened: the system's reason in words, and the way out of a
    // permission problem or a port another program holds.
    void portErrorTexts_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QSerialPort::SerialPortError>("error");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("secondLine");
        const QString permission = "/dev/ttyUSB0: permission denied. Add your user to the group that owns the device "
                                   "(dialout), for example with \"sudo usermod -aG dialout $USER\", then log in again.";
        const QString inUse = "/dev/ttyUSB0: in use by another program; try again once it has let go of the port";
        QTest::newRow("no such port") << "" << QSerialPort::DeviceNotFoundError << "No such file or directory"
                                      << "The system reports no serial port for COM2.";
        QTest::newRow("busy") << "/dev/ttyUSB0" << QSerialPort::OpenError << "Device or resource busy" << inUse;
        QTest::newRow("locked") << "/dev/ttyUSB0" << QSerialPort::PermissionError
                                << "Permission error while locking the device" << inUse;
        QTest::newRow("permission") << "/dev/ttyUSB0" << QSerialPort::PermissionError << "Permission denied"
                                    << permission;
        QTest::newRow("other reason") << "/dev/ttyUSB0" << QSerialPort::OpenError << "Input/output error"
                                      << "/dev/ttyUSB0: Input/output error";
    }
    void portErrorTexts() {
        QFETCH(QString, device);
        QFETCH(QSerialPort::SerialPortError, error);
        QFETCH(QString, reason);
        QFETCH(QString, secondLine);
        const PortOpenFailure failure{2, device, error, reason};
        QCOMPARE(portOpenErrorText(failure), QStringLiteral("Error opening COM 2\n") + secondLine);
    }

    // One command at a time: a click while a command waits for the board sends nothing.
    void clickDuringCommandSendsNothing() {
        ConnectedTarget t;
        t.withBoard([](sim::BoardModel& b) { b.faults().answerDelay = 150ms; });
        QList<bool> accepted;
        QTimer::singleShot(50ms, [&] {
            accepted = {t.session.click(Command::OFF), t.session.chooseClearLoadedFw(), t.session.chooseBaud9600(true)};
        });
        QVERIFY(t.session.click(Command::ICP));
        QCOMPARE(accepted, (QList<bool>{false, false, false}));
        QVERIFY(!t.session.baud9600Checked());
        QCOMPARE(t.sent(), QStringList{"P"});
    }

    // An automation file can be chosen before any board is found; cancelling keeps the one before.
    void automationFileWithoutBoard() {
        ConnectedTarget t("", Start::NoBoard);
        t.dialogs.fileAnswers = {"/any/run.cfg"};
        QVERIFY(t.session.chooseLoadAutomationFile());
        QVERIFY(t.session.isEnabled(Command::AutoProcedure));
        QCOMPARE(t.dialogs.fileRequests[0].title, QStringLiteral("Select Automation File"));
        QVERIFY(t.session.chooseLoadAutomationFile());
        QCOMPARE(t.session.automationFile(), QStringLiteral("/any/run.cfg"));
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
