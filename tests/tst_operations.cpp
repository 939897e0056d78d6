// Every operation of the core once, against the simulated board and without a window: what the
// chip ends up holding, what goes on the wire, and how the operation ends.

#include "support/connected_board.h"
#include "support/files.h"

#include "board/automation.h"
#include "common/hex_text.h"
#include "flash/crc_readback.h"
#include "link/records.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace zelvan;
using namespace zelvan::test;
using namespace std::chrono_literals;

namespace {

// One operation on the identified LPC932A1 (or part): what is set up before it runs, and what it
// must leave behind. Unless a row says otherwise the flash holds what it held before: erases and
// CRC reads find a pattern below the bootloader, the other operations an erased flash.
struct Op {
    const char* part = "LPC932A1";
    QStringList ports{};               // placed first, as BoardRig::placeAll takes them (a new target on COM1)
    bool protect = true;               // an automation run starts unprotected all the same
    UnitRange units{};                 // the pages or sectors chosen
    QByteArray hex{};                  // the firmware: a test data file's name, or the HEX text itself
    bool old = false;                  // the flash holds a pattern below the bootloader before
    bool quick = false;                // programmed in quick form
    EraseMode erase = EraseMode::None; // what programming erases first
    bool verify = false;               // programming verifies against the image
    const char* formulation = nullptr; // the chip's CRC formulation, when not the default one
    const char* golden = nullptr;      // compared with golden CRCs saved from a chip of this part
    QByteArray script{};               // an automation run of these lines
    QList<sim::FaultRule> rules{};
    bool lateBefore = false; // a global CRC read before is answered after its time limit
    bool pulled = false;     // the adapter is pulled out while the board keeps silent
    QMap<int, int> preset{}; // configuration bytes before
    QStringList values{};    // the byte values given, in order (kCurrent: the one offered)
    bool confirm = true;
    // What it leaves behind
    Ending ending = Ending::Done;
    QString filter{}, last{};                  // patterns: the records sent that count, and the last one sent
    QStringList sent{};                        // the records sent that count, in order
    int count = -1;                            // or how many there are; -1: no matter
    std::pair<int, int> erased{0, 0};          // [from, to): the flash holds 00 there now
    QList<std::pair<int, QByteArray>> holds{}; // and these bytes there
    QMap<int, int> config{};                   // configuration bytes afterwards
    QList<Led> leds{};                         // the indicator's last colours
    int found = 0, keptAt = -1;                // the COM a search found; where protection stopped a range
    QString value{};                           // the value read; the part's name after an identification
    QStringList question{};                    // the first question asked: its title and prompt
    int asked = -1;                            // how many were asked; -1: as many as values, with a question
    QStringList steps{};                       // reported, the last one last
    QString notice{};                          // the start of the one notice
    QList<int> mismatched{};                   // sectors a verify found different
    QString reason{};                          // the result's reason contains this
    qint64 bytes = -1;                         // bytes written to the port
};

QString record(const QString& body) {
    return QString::fromLatin1(unterminatedRecord(body));
}

sim::FaultRule refuse(int type, int occurrence = 0) {
    return sim::FaultRule::onType(type, sim::FaultRule::Action::Refuse, occurrence);
}

sim::FaultRule silent(int type, int occurrence = 0) {
    return sim::FaultRule::onType(type, sim::FaultRule::Action::Silent, occurrence);
}

// An Intel HEX data record of the bytes at the address.
QByteArray dataRecord(int address, const QByteArray& bytes) {
    const QString head =
        QStringLiteral("%1%2").arg(bytes.size(), 2, 16, QLatin1Char('0')).arg(address, 4, 16, QLatin1Char('0'));
    return unterminatedRecord((head + QStringLiteral("00") + QString::fromLatin1(bytes.toHex())).toUpper()) + "\n";
}

QList<std::tuple<QByteArray, Command, Op>> operations() {
    using enum Command;
    using enum Ending;
    using enum Led;
    using enum sim::FaultRule::Action;
    const QByteArray blink = fixtureBytes("blink.bin");
    const QByteArray page(64, '\x5A');
    const QByteArray end = ":00000001FF\n";
    const QByteArray reaching =
        dataRecord(0x1DC0, page) + dataRecord(0x1E00, page) + dataRecord(0x1FC0, page) + ":00000001FF\n";
    const auto answer = [](sim::FaultRule rule, const QByteArray& text) {
        rule.action = Answer;
        rule.cannedAnswer = text;
        return rule;
    };
    const QMap<int, int> asBefore{{0, 0x63}, {1, 0}, {2, 0x1E}, {3, 0}, {8, 0}};
    const QList<Led> red{Red}, synced{Yellow, DarkYellow, Yellow, DarkYellow}, quiet = synced + red;
    const QList<Led> version{Yellow, DarkYellow, Green}, noVersion{Yellow, DarkYellow, Red};
    QStringList crcRecords;
    for (int sector = 0; sector < 8; ++sector)
        crcRecords << record("01000005" + strDecToHex8(sector * 8));
    // clang-format off
    QList<std::tuple<QByteArray, Command, Op>> rows{
        // A board letter goes alone, the indicator from yellow straight to the outcome; X beside "." refuses.
        {"ICP", ICP, {.sent = {"P"}, .leds = {Yellow, Green}}},
        {"OFF: X beside the full stop", OFF, {.rules = {answer(sim::FaultRule::onLetter('S', Refuse), "X.")},
            .ending = Refused, .sent = {"S"}, .leds = {Yellow, Red}}},
        {"ICP: the adapter pulled out", ICP, {.pulled = true, .ending = Unanswered}},
        // Auto Connect's search: COM1..COM8 in order; ports that exist but cannot be opened are named.
        {"search past silent ports", AutoConnect, {.ports = {"silent", "silent", "LPC932A1"},
            .leds = quiet + quiet + synced + version, .found = 3}},
        {"search past a board without version", AutoConnect, {.ports = {"mute", "LPC936"},
            .leds = synced + noVersion + synced + version, .found = 2}},
        {"search, a locked port", AutoConnect, {.ports = {"", "locked", "silent"}, .ending = NotDone, .leds = quiet}},
        // The part follows the ids; a read that fails half-way leaves the part identified before in force.
        {"identified again: an LPC936", GetID, {.ports = {"LPC936"}, .value = "LPC936"}},
        {"identified again: all FF", GetID, {.ports = {"FF"}, .value = "unknown"}},
        {"identified again: read cut short", GetID, {.rules = {sim::FaultRule::onBody("0100000311", Silent)},
            .ending = Unanswered, .value = "LPC932A1"}},
        // Range erases stop where protection begins (none erased: not done) and at the first failed unit.
        {"pages, protected", ErasePage, {.units = {0, 127}, .count = 120, .erased = {0, 0x1E00}, .keptAt = 0x1E00}},
        {"sectors, protected", EraseSector, {.units = {0, 7}, .count = 7, .erased = {0, 0x1C00}, .keptAt = 0x1C00}},
        {"pages, unprotected", ErasePage, {.protect = false, .units = {0, 127}, .count = 128, .erased = {0, 0x2000}}},
        {"sectors, unprotected", EraseSector, {.protect = false, .units = {0, 7}, .count = 8, .erased = {0, 0x2000}}},
        {"256-byte sectors: every page", ErasePage, {.part = "LPC901", .units = {0, 63}, .count = 64,
            .erased = {0, 0x400}}},
        {"256-byte sectors: top one kept", EraseSector, {.part = "LPC901", .units = {0, 3}, .count = 3,
            .erased = {0, 0x300}, .keptAt = 0x300}},
        {"pages from the bootloader's", ErasePage, {.units = {0x78, 127}, .ending = NotDone, .count = 0,
            .keptAt = 0x1E00}},
        {"sectors from the bootloader's", EraseSector, {.units = {7, 7}, .ending = NotDone, .count = 0,
            .keptAt = 0x1C00}},
        {"no range chosen", ErasePage, {.ending = NotDone, .count = 0}},
        {"page erase, second refused", ErasePage, {.units = {0, 2}, .rules = {refuse(0x04, 2)}, .ending = Refused,
            .count = 2, .erased = {0, 64}, .leds = red}},
        {"sector CRCs, second unanswered", GetSectorCRC, {.units = {0, 2}, .rules = {silent(0x05, 2)},
            .ending = Unanswered, .count = 2, .leds = red}},
        {"sector CRCs of an LPC936", GetSectorCRC, {.part = "LPC936", .units = {0, 7}, .sent = crcRecords}},
        // The chip erase: refused while protected; otherwise confirmed first, the bootloader goes too.
        {"chip, protected: refused", EraseChip, {.ending = NotDone, .count = 0}},
        {"chip, declined", EraseChip, {.protect = false, .confirm = false, .ending = NotDone, .count = 0}},
        {"chip, confirmed", EraseChip, {.protect = false, .sent = {":00000008F8"}, .erased = {0, 0x2000}}},
        {"global CRC, a short answer taken whole", GetGlobalCRC,
            {.rules = {answer(sim::FaultRule::onType(0x06, Refuse), "1234.")}, .value = "1234"}},
        // A late answer to an earlier record is not taken for the answer to the next one.
        {"late answer before: sector CRC", GetSectorCRC, {.units = {0, 0}, .rules = {refuse(0x05)}, .lateBefore = true,
            .ending = Refused}},
        {"late answer before: chip erase", EraseChip, {.protect = false, .rules = {refuse(0x08)}, .lateBefore = true,
            .ending = Refused}},
        {"late answer before: a page", ProgramFirmware, {.protect = false, .hex = "blink.ihx", .rules = {refuse(0x00)},
            .lateBefore = true, .ending = Refused}},
        // Captured configuration values go after the pages, each to its address, FF too; a failed record ends it.
        {"program: four configuration values", ProgramFirmware, {.hex = "config-bytes.hex", .filter = "^:.{6}02",
            .last = "^:.{6}02", .sent = {":0200000200E319", ":020000020141BA", ":02000002021EDC", ":02000002035A9F"},
            .holds = {{0, blink}}, .config = {{0, 0xE3}, {1, 0x41}, {2, 0x1E}, {3, 0x5A}}}},
        {"program: FF for UCFG1 and the boot vector", ProgramFirmware,
            {.hex = ":01FFF000FF11\n:01FFF200FF0F\n:00000001FF\n", .sent = {":0200000200FFFD", ":0200000202FFFB"},
            .config = {{0, 0xFF}, {1, 0}, {2, 0xFF}, {3, 0}}}},
        {"program: second page refused", ProgramFirmware, {.hex = "config-bytes.hex", .rules = {refuse(0x00, 2)},
            .ending = Refused, .filter = "^:.{6}00", .last = "^:.{6}00", .count = 2, .holds = {{0, blink.left(64)}}}},
        {"program: second value unanswered", ProgramFirmware, {.hex = "config-bytes.hex", .rules = {silent(0x02, 2)},
            .ending = Unanswered, .filter = "^:.{6}02", .last = "^:.{6}02", .count = 2, .holds = {{0, blink}},
            .config = {{0, 0xE3}, {1, 0}}}},
        // While protected, the image's pages in the bootloader area are kept back, and a notice says so first.
        {"program into the bootloader, protected", ProgramFirmware, {.hex = reaching, .count = 1,
            .holds = {{0x1DC0, page}}, .notice = "2 page(s) of the firmware lie in the bootloader area (1E00H"}},
        {"program into the bootloader, unprotected", ProgramFirmware, {.protect = false, .hex = reaching, .count = 3,
            .holds = {{0x1DC0, page}, {0x1E00, page}, {0x1FC0, page}}}},
        // A page acknowledged but not written makes its sector differ; golden CRCs of another part are refused.
        {"program and verify", ProgramFirmware, {.hex = "blink.ihx", .verify = true, .holds = {{0, blink}}}},
        // A page of 00 is written like any other: its sector is erased first, the old code goes.
        {"program a page of 00 over old code", ProgramFirmware, {.hex = dataRecord(0x40, QByteArray(16, '\0')) + end,
            .old = true, .erase = EraseMode::Used, .filter = "^:.{6}00", .count = 1, .erased = {0, 0x400}}},
        // The sector the bootloader shares is verified from its CRC read between its pages' erase and programming.
        {"program and verify the bootloader's sector", ProgramFirmware, {.hex = dataRecord(0x1D00, page) + end,
            .old = true, .erase = EraseMode::Used, .verify = true, .erased = {0x1D00, 0x1D40},
            .holds = {{0x1D00, page}}}},
        // Nothing calibrated or chosen: a mismatch says the default formulation may be the cause.
        {"program and verify, the chip's formulation not the default", ProgramFirmware, {.hex = "blink.ihx",
            .verify = true, .formulation = "right-low-plain-up-zero", .ending = Mismatch, .holds = {{0, blink}},
            .mismatched = {0, 1}, .reason = "computed with the default formulation (left-low-plain-up-zero), which may "
            "not be this chip's: calibrate"}},
        // Where protection keeps back every page, nothing is written and the programming is not done.
        {"program, every page in the bootloader area", ProgramFirmware, {.hex = dataRecord(0x1E00, page) + end,
            .ending = NotDone, .filter = "^:.{6}00", .count = 0, .notice = "1 page(s) of the firmware lie in the "
            "bootloader area"}},
        {"program and verify, a page lost", ProgramFirmware, {.hex = "blink.ihx", .verify = true,
            .rules = {sim::FaultRule::onType(0x00, Ignore, 7)}, .ending = Mismatch,
            .holds = {{0, blink.left(0x400)}, {0x440, blink.mid(0x440)}}, .mismatched = {1}}},
        {"golden CRCs of this part", CompareGolden, {.golden = "LPC932A1", .count = 9}},
        {"golden CRCs of another part", CompareGolden, {.golden = "LPC936", .ending = BadInput, .count = 0}},
        // Read, offered, written; a failed read asks nothing, a failed write or no value leaves the byte as it was.
        {"UCFG1", UCFG1, {.values = {"5A"}, .sent = {":0100000300FC", ":02000002005AA2"}, .config = {{0, 0x5A}},
            .question = {"Program UCFG1",
            "User Configuration Byte 1 Value (Hex) is: 63\r\nInsert User Configuration Byte 1 New Value (Hex):"}}},
        {"UCFG2", UCFG2, {.values = {"5A"}, .sent = {":0100000301FB", ":02000002015AA1"}, .config = {{1, 0x5A}},
            .question = {"Program UCFG2",
            "User Configuration Byte 2 Value (Hex) is: 00\r\nInsert User Configuration Byte 2 New Value (Hex):"}}},
        {"boot vector", SetBootVector, {.values = {"5A"}, .sent = {":0100000302FA", ":02000002025AA0"},
            .config = {{2, 0x5A}}, .question = {"Program Boot Vector",
            "Boot Vector Byte Value (Hex) is: 1E\r\nBoot Vector Byte New Value (Hex):"}}},
        {"status byte", StatusByte, {.values = {"5A"}, .sent = {":0100000303F9", ":02000002035A9F"},
            .config = {{3, 0x5A}}, .question = {"Program Status Byte",
            "Status Byte Value (Hex) is: 00\r\nInsert Status Byte New Value (Hex):"}}},
        {"UCFG1 read refused", UCFG1, {.rules = {refuse(0x03)}, .values = {"11"}, .ending = Refused, .count = 1,
            .config = asBefore, .asked = 0}},
        {"boot vector read unanswered", SetBootVector, {.rules = {silent(0x03)}, .values = {"11"}, .ending = Unanswered,
            .count = 1, .config = asBefore, .asked = 0}},
        {"security read refused", ProgramSecurity, {.rules = {refuse(0x03)}, .values = {"11"}, .ending = Refused,
            .count = 1, .config = asBefore, .asked = 0}},
        {"UCFG1 write refused", UCFG1, {.rules = {refuse(0x02)}, .values = {"11"}, .ending = Refused, .count = 2,
            .config = asBefore, .asked = 1}},
        {"status byte, no value given", StatusByte, {.ending = Interrupted, .count = 1, .config = asBefore,
            .asked = 1}},
        // The security pass ends at the first sector with no value given; a refused write does not.
        {"security, no value for sector 2", ProgramSecurity, {.values = {"11", "22"}, .ending = Interrupted,
            .last = "^:010000030A", .count = 5, .config = {{8, 0x11}, {9, 0x22}, {10, 0}}, .asked = 3,
            .steps = {"Programming Security Byte for Sector  2: Interrupted"}}},
        {"security, sector 1 refused", ProgramSecurity, {.part = "LPC901",
            .rules = {sim::FaultRule::onBody("0200000209", Refuse)}, .values = {"11", "22", "33", "44"},
            .ending = Refused, .count = 8, .config = {{8, 0x11}, {9, 0}, {10, 0x33}, {11, 0x44}}, .asked = 4,
            .steps = {"Programming Security Byte for Sector  1: Error",
            "Programming Security Byte for Sector  3: Done"}}},
        {"clear protection", CCP, {.sent = {":020000021000EC"}}},
        {"clear protection, refused", CCP, {.rules = {refuse(0x02)}, .ending = Refused, .sent = {":020000021000EC"}}},
        // Automation runs (verdicts: tst_automation_faces): value lines, and the protection a line sets.
        {"run: erase, program, value", AutoProcedure, {.hex = "blink.ihx",
            .script = "noprotect\npon\necHip\nprogram\nucfcg1=E3\npoff\n", .last = "^S$", .erased = {0, 0x2000},
            .holds = {{0, blink}}, .config = {{0, 0xE3}}}},
        {"run: a value write refused", AutoProcedure, {.script = "ucfcg1=E3\npoff\n", .rules = {refuse(0x02)},
            .ending = NotDone, .last = "^S$", .config = {{0, 0x63}}}},
        {"run: a value line without =", AutoProcedure, {.script = "ucfcg1\npoff\n", .ending = NotDone, .sent = {"S"}}},
        {"run: protect holds", AutoProcedure, {.script = "protect\nesector\n", .filter = ":03000004", .count = 7}},
        // Every file holds blink; a page goes as 139 characters, or 72 bytes in quick form, with no line end.
        {"program blink.ihx, text form", ProgramFirmware, {.hex = "blink.ihx", .quick = false, .holds = {{0, blink}},
            .bytes = 8 * 139}},
        {"program blink.ihx, quick form", ProgramFirmware, {.hex = "blink.ihx", .quick = true, .holds = {{0, blink}},
            .bytes = 8 * 72}},
        {"program blink-crlf-ela.hex, text form", ProgramFirmware, {.hex = "blink-crlf-ela.hex", .quick = false,
            .holds = {{0, blink}}, .bytes = 8 * 139}},
        {"program blink-objcopy.hex, quick form", ProgramFirmware, {.hex = "blink-objcopy.hex", .quick = true,
            .holds = {{0, blink}}, .bytes = 8 * 72}},
        {"program lowercase.hex, text form", ProgramFirmware, {.hex = "lowercase.hex", .quick = false,
            .holds = {{0, blink}}, .bytes = 8 * 139}},

    };
    // clang-format on
    // The security pass reads each sector's byte at its configuration address, offers it and
    // writes back what is given: sector 8 of a 16-sector part at 18, never the protection's 10.
    for (const auto& [part, sectors] :
         QList<std::pair<const char*, int>>{{"LPC932A1", 8}, {"LPC901", 4}, {"LPC954", 16}}) {
        Op op{.part = part,
              .values = QStringList(sectors, ScriptedQuestions::kCurrent),
              .question = {"Program Security Byte for Sector  0",
                           "Security Byte for Sector  0 Value (Hex) is: 40\r\nSecurity Byte for Sector  0 New Value "
                           "(Hex):"}};
        for (int sector = 0; sector < sectors; ++sector) {
            const int address = sector < 8 ? 0x08 + sector : 0x10 + sector;
            op.preset[address] = op.config[address] = 0x40 + sector;
            op.sent << record("01000003" + strDecToHex8(address))
                    << record("02000002" + strDecToHex8(address) + strDecToHex8(0x40 + sector));
        }
        rows.append({QByteArray("security bytes of the ") + part, ProgramSecurity, op});
    }
    return rows;
}

// An automation run's view of the window: pages from the bootloader's first one up, every sector,
// the firmware loaded.
class Face : public AutomationFace {
public:
    explicit Face(const FirmwareCache* image)
        : image_(image) {}
    CommandRequest requestFor(Command command) override {
        CommandRequest request;
        request.range = command == Command::ErasePage ? UnitRange{0x1E00 / 64, 127} : UnitRange{0, 7};
        request.program.image = image_;
        return request;
    }
    bool ensurePart(QString&) override { return true; }
    void stepEnded(Command, const CommandResult&) override {}

private:
    const FirmwareCache* image_;
};

} // namespace

class TestOperations : public QObject {
    Q_OBJECT

private slots:
    void operation_data() {
        QTest::addColumn<Command>("command");
        QTest::addColumn<Op>("op");
        for (const auto& [name, command, op] : operations())
            QTest::newRow(name.constData()) << command << op;
    }
    void operation() {
        QFETCH(Command, command);
        QFETCH(Op, op);
        QTemporaryDir dir;
        CommandRequest request;
        if (op.golden) {
            request.path = dir.filePath("golden.json");
            QVERIFY(ConnectedBoard(op.golden).run(Command::SaveGolden, request).done());
        }
        const bool search = command == Command::AutoConnect;
        ConnectedBoard t(op.part, search ? ConnectedBoard::Start::NoBoard : ConnectedBoard::Start::Identified);
        t.rig.placeAll(op.ports);
        if (search) { // Auto Connect's search, on the boards placed
            const Connection found = t.core.search(t.progress);
            QCOMPARE(found.ending, op.ending);
            QCOMPARE(found.port, op.found);
            QCOMPARE(t.progress.leds, op.leds);
            QCOMPARE(found.unopenable.size(), op.ports.count("locked"));
            for (int com = 1; com <= op.ports.size(); ++com) {
                const QString& port = op.ports[com - 1];
                if (!port.isEmpty() && port != "locked")
                    QCOMPARE(received(t.rig.board(com)).join(' '), port == "silent" ? "U U U" : "U U U :00000001FF");
            }
            return;
        }
        if (!op.ports.isEmpty()) {
            t.board = &t.rig.board(1);
            QVERIFY(t.core.openPort(1).done());
        }
        const bool pattern = op.old || QList<Command>{Command::EraseChip, Command::ErasePage, Command::EraseSector,
                                                      Command::GetSectorCRC}
                                           .contains(command);
        t.withBoard([&](sim::BoardModel& b) {
            const int boot = b.geometry().intBootloaderAddr;
            if (pattern)
                b.flash().replace(0, boot, QByteArray(boot, '\xAA'));
            b.faults().silent = op.pulled;
            if (op.formulation)
                b.setCrcVariant(*findCrcVariant(QString::fromLatin1(op.formulation)));
            for (auto it = op.preset.cbegin(); it != op.preset.cend(); ++it)
                b.setConfigByte(it.key(), quint8(it.value()));
        });
        if (op.lateBefore) {
            // Later than the global CRC's limit (twice the answer limit), before the next record's answer.
            t.core.link().setTiming({300ms, 500ms, 150ms});
            t.addRule(sim::FaultRule::onType(0x06, sim::FaultRule::Action::Late, 1).late(1100ms));
            QVERIFY(!t.run(Command::GetGlobalCRC).done());
            t.forget();
        }
        for (const sim::FaultRule& rule : op.rules)
            t.addRule(rule);
        t.core.setProtect(op.protect && op.script.isEmpty());
        t.questions.values = op.values;
        t.questions.confirmAnswer = op.confirm;
        std::optional<FirmwareCache> image;
        if (!op.hex.isEmpty())
            image = t.firmware(op.hex.contains(':') ? writeFile(dir.filePath("image.hex"), op.hex)
                                                    : fixturePath(op.hex.constData()));
        const AutomationScript script = parseAutomationFile(op.script, commandKeywords());
        Face face(image ? &*image : nullptr);
        const std::optional<GoldenCrcs> golden = op.golden ? loadGoldenCrcs(request.path, nullptr) : std::nullopt;
        request.range = op.units;
        request.program.image = image ? &*image : nullptr;
        request.program.erase = op.erase;
        request.program.quick = op.quick;
        if (op.verify || op.golden)
            request.program.verify = {op.golden ? VerifyChoice::Kind::Golden : VerifyChoice::Kind::Image,
                                      &defaultCrcVariant(), golden ? &*golden : nullptr};
        request.script = &script;
        request.automation = &face;
        QByteArray expected = t.flash();
        const qint64 bytesBefore = t.core.link().bytesWrittenTotal();
        QSignalSpy lost(&t.core.link(), &IspLink::portLost);
        if (op.pulled)
            QTimer::singleShot(50ms, [&t] { t.board->vanish(); });

        const CommandResult result = t.run(command, request);

        QCOMPARE(result.ending(), op.ending);
        QVERIFY2(result.base().reason.contains(op.reason), qPrintable(result.base().reason));
        QCOMPARE(lost.size(), op.pulled ? 1 : 0);
        QCOMPARE(t.core.link().lateAnswersDropped(), op.lateBefore ? 1 : 0);
        QStringList sent = t.sent();
        if (!op.last.isEmpty())
            QVERIFY2(sent.constLast().contains(QRegularExpression(op.last)), qPrintable(sent.constLast()));
        if (!op.filter.isEmpty())
            sent = sent.filter(QRegularExpression(op.filter));
        if (!op.sent.isEmpty())
            QCOMPARE(sent, op.sent);
        else if (op.count >= 0)
            QCOMPARE(sent.size(), op.count);
        const auto& [from, to] = op.erased;
        expected.replace(from, to - from, QByteArray(to - from, '\0'));
        for (const auto& [address, bytes] : op.holds)
            expected.replace(address, bytes.size(), bytes);
        QCOMPARE(t.flash(), expected);
        for (auto it = op.config.cbegin(); it != op.config.cend(); ++it)
            QCOMPARE(t.config(it.key()), std::optional<quint8>(it.value()));
        QCOMPARE(t.progress.leds.mid(t.progress.leds.size() - op.leds.size()), op.leds);
        if (const auto* erased = result.as<RangeEraseResult>())
            QCOMPARE(erased->protectedAt.value_or(-1), op.keptAt);
        if (const auto* read = result.as<ValueReading>(); read && !op.value.isEmpty())
            QCOMPARE(read->value, op.value);
        if (const auto* identified = result.as<Identification>()) {
            QCOMPARE(t.core.part() ? t.core.part()->name() : QString(), op.value);
            QCOMPARE(identified->nothingBehindBoard(), op.value == "unknown");
        }
        if (const auto* crcs = result.as<SectorCrcReading>(); crcs && crcs->done()) {
            for (const SectorCrc& crc : crcs->values)
                QCOMPARE(crc.value, crcText(t.withBoard([&](sim::BoardModel& b) { return b.sectorCrc(crc.address); })));
            QCOMPARE(crcs->values.constLast().address, op.units.last * crcs->sectorSize);
        }
        if (!op.question.isEmpty())
            QCOMPARE((QStringList{t.questions.asked[0].title, t.questions.asked[0].prompt}), op.question);
        QCOMPARE(t.questions.asked.size(), op.asked >= 0 ? op.asked : op.question.isEmpty() ? 0 : op.values.size());
        QCOMPARE(t.questions.confirmations.size(), command == Command::EraseChip && !op.protect ? 1 : 0);
        for (const QString& step : op.steps)
            QVERIFY2(t.progress.steps.contains(step), qPrintable(step));
        if (!op.steps.isEmpty())
            QCOMPARE(t.progress.steps.constLast(), op.steps.constLast());
        QCOMPARE(t.progress.notices.size(), op.notice.isEmpty() ? 0 : 1);
        QVERIFY2(t.progress.notices.value(0).startsWith(op.notice), qPrintable(t.progress.notices.value(0)));
        if (op.verify)
            QCOMPARE(result.as<ChipProgramming>()->verification->mismatched, op.mismatched);
        if (op.bytes >= 0) {
            QCOMPARE(t.core.link().bytesWrittenTotal() - bytesBefore, op.bytes);
            QCOMPARE(t.progress.counts.first(), (QPair<int, int>{0, 8})); // eight pages, counted, then the end
            QCOMPARE(t.progress.counts.mid(8), (QList<QPair<int, int>>{{8, 8}, {0, 0}}));
        }
    }

    // The board is given the whole synchronisation window after its three "U", even when it
    // answers the first at once: a real board may need all three to lock onto the speed.
    void synchronisationKeepsItsWindow() {
        ConnectedBoard t("LPC932A1", ConnectedBoard::Start::Opened);
        t.core.link().setTiming({300ms, 300ms, 400ms});
        QElapsedTimer clock;
        clock.start();
        QVERIFY(t.core.link().synchronise());
        QVERIFY2(clock.elapsed() >= 400, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(t.core.readVersion(t.progress).done());
        QCOMPARE(t.core.version(), QStringLiteral("ZELVAN ICP 2-1"));
        QCOMPARE(t.sent(), (QStringList{"U", "U", "U", ":00000001FF"}));
    }
};

QTEST_GUILESS_MAIN(TestOperations)
#include "tst_operations.moc"
