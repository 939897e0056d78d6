#include "command_table.h"

#include "command_call.h"
#include "operations.h"

#include "link/isp_commands.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>

namespace zelvan {

namespace {

using W = WindowPlace;
using A = Availability;
namespace op = operations;
constexpr int kNone = -1;

// In the order of the enum: the command line's commands in the order its help lists them, then the
// window's own. The tips are the window's (translatable, context "ButtonTips"); the
// help lines are the command line's.
constexpr std::array<CommandRow, kCommandCount> kCommands{{
    {Command::Ports, nullptr, nullptr, W::None, A::Never, "ports", "", nullptr, false, false, nullptr, kNone, nullptr,
     nullptr, "COM1..COM8: the device behind each, whether it opens (or why not) and whether a board answers"},
    {Command::GetID, "cmdGetID", "Get LPC ID", W::Button, A::VersionRead, "info", "", nullptr, false, false, nullptr,
     kNone, &op::identify,
     QT_TRANSLATE_NOOP("ButtonTips", "Reads the manufacturer and device ids (records 0100000310..12), names the part "
                                     "and fills the page and sector lists"),
     "connect, read the loader version and identify the part"},
    {Command::ICP, "cmdICP", "Enter ICP Mode", W::Button, A::Searching, "icp", "", "pon", false, false,
     "Peripheral ICP Mode", kNone, &op::icpMode,
     QT_TRANSLATE_NOOP("ButtonTips", "Puts the target into in-circuit programming mode (sends the letter P to the "
                                     "board)"),
     "the board puts the target in ICP mode"},
    {Command::OFF, "cmdOFF", "LPC Pwr Off", W::Button, A::Searching, "off", "", "poff", false, false,
     "Peripheral Power OFF", kNone, &op::powerOff,
     QT_TRANSLATE_NOOP("ButtonTips", "Switches the target's power off (sends the letter S to the board)"),
     "the board switches the target's power off"},
    {Command::EraseChip, "cmdEraseChip", "Erase Chip", W::Button, A::Identified, "erase chip", "", "echip", false,
     false, "Erasing Device", kNone, &op::eraseWholeChip,
     QT_TRANSLATE_NOOP("ButtonTips", "Erases the whole flash, the bootloader too (record 00000008): refused while "
                                     "Protect ISP Code is ticked, asked first while it is not"),
     "erase the whole flash (needs --no-protect: the bootloader goes too)", true},
    {Command::ErasePage, "cmdErasePage", "Erase Page(s)", W::Button, A::Identified, "erase pages", "[A-B]", "epage",
     true, true, "Erasing Device Pages", kNone, &op::erasePages,
     QT_TRANSLATE_NOOP("ButtonTips", "Erases the pages from Start to End of the Pages lists, one record a page "
                                     "(03000004 00 AAAA); while Protect ISP Code is ticked the bootloader's pages are "
                                     "left alone"),
     "erase pages A..B; A, B are indexes (0, 1, ...) or addresses (0x0400); no range: every page below the "
     "bootloader while it is protected, the whole flash otherwise",
     true},
    {Command::EraseSector, "cmdEraseSector", "Erase Sector(s)", W::Button, A::Identified, "erase sectors", "[A-B]",
     "esector", true, true, "Erasing Device Sectors", kNone, &op::eraseSectors,
     QT_TRANSLATE_NOOP("ButtonTips", "Erases the sectors from Start to End of the Sectors lists, one record a sector "
                                     "(03000004 01 AAAA); while Protect ISP Code is ticked the bootloader's sector is "
                                     "left alone"),
     "the same for sectors", true},
    {Command::GetGlobalCRC, "cmdGetGlobalCRC", "Global CRC", W::Button, A::Identified, "crc global", "", "gcrc", false,
     false, "Reading Global CRC", kNone, &op::globalCrc,
     QT_TRANSLATE_NOOP("ButtonTips", "Reads the CRC of the whole flash (record 00000006)"),
     "print the global CRC the target reports (\"crc\" alone says the same)"},
    {Command::GetSectorCRC, "cmdGetSectorCRC", "Sector CRC", W::Button, A::Identified, "crc sectors", "[A-B]", "scrc",
     true, true, "Reading Sectors CRC", kNone, &op::sectorCrcs,
     QT_TRANSLATE_NOOP("ButtonTips", "Reads the CRC of each sector from Start to End of the Sectors lists (record "
                                     "01000005 ss, ss the sector's address high byte)"),
     "print the CRC of each sector; --save FILE keeps them (and the global CRC) as golden CRCs of a known-good "
     "chip"},
    {Command::Calibrate, "mnuCalibrateCrc", "Calibrate CRC...", W::VerifyMenu, A::Always, "crc calibrate",
     "FILE.hex...", nullptr, true, true, "Calibrating CRC", kNone, &op::calibrateCrc,
     QT_TRANSLATE_NOOP("ButtonTips", "On a chip just programmed with the loaded firmware: finds which formulation of "
                                     "the signature its CRCs follow, and keeps it for every later verify"),
     "on a chip just programmed with the files: find which formulation of the signature its CRCs follow, and "
     "keep it for verify",
     true},
    {Command::ProgramFirmware, "cmdProgramFirmware", "Program Firmware", W::Button, A::FirmwareLoaded, "program",
     "FILE.hex...", "program", true, true, "Programming Firmware", kNone, &op::program,
     QT_TRANSLATE_NOOP("ButtonTips", "Writes the loaded firmware into the flash page by page (records LL AAAA 00 and "
                                     "the page's bytes; in Quick Mode \"Q:\" and the raw bytes), then the "
                                     "configuration bytes the file carried (02000002 0n vv)"),
     "load the files in order (later files win), erase, program, and write the configuration bytes the files "
     "carry",
     true},
    {Command::VerifyFirmware, "mnuVerifyFirmware", "Verify Firmware", W::VerifyMenu, A::Always, "verify", "FILE.hex...",
     nullptr, true, true, "Verifying Firmware", kNone, &op::verify,
     QT_TRANSLATE_NOOP("ButtonTips", "Reads the CRC of every sector the loaded firmware writes into (records "
                                     "01000005..) and compares it with the firmware's"),
     "compare the CRCs of the sectors the files decide with the files", true},
    {Command::ConfigGet, nullptr, nullptr, W::None, A::Never, "config get", "NAME", nullptr, false, false, nullptr,
     kNone, &op::configGet, nullptr, "NAME: ucfg1, ucfg2, bootv, status"},
    {Command::ConfigSet, nullptr, nullptr, W::None, A::Never, "config set", "NAME VALUE", nullptr, false, false,
     nullptr, kNone, &op::configSet, nullptr, "VALUE: a byte in hex (5A, 7; 0x not needed)"},
    {Command::SecurityGet, nullptr, nullptr, W::None, A::Never, "security get", "[SECTOR]", nullptr, true, false,
     nullptr, kNone, &op::securityGet, nullptr, "the security byte of a sector, or of every sector"},
    {Command::SecuritySet, nullptr, nullptr, W::None, A::Never, "security set", "SECTOR VALUE", nullptr, true, false,
     nullptr, kNone, &op::securitySet, nullptr, "write the security byte of a sector"},
    {Command::CCP, "cmdCCP", "Clear Conf. P.", W::Button, A::Identified, "ccp", "", nullptr, false, false,
     "Clear Configuration Protection", kNone, &op::clearProtection,
     QT_TRANSLATE_NOOP("ButtonTips", "Clears the configuration protection (record 020000021000)"),
     "clear the configuration protection"},
    {Command::AutoProcedure, "cmdAutoProcedure", "Auto Program", W::Button, A::AutomationFile, "run", "FILE.cfg",
     nullptr, false, true, "Automatic Programming", kNone, &op::automation,
     QT_TRANSLATE_NOOP("ButtonTips", "Runs the automation file chosen with File > Load Automation File, line by line, "
                                     "unattended"),
     "an automation file; its program keyword writes the --hex FILE.hex files", true},
    {Command::Records, nullptr, nullptr, W::None, A::Never, "records", "", nullptr, false, false, nullptr, kNone,
     nullptr, nullptr, "for each --record destination: how many chip records wait in its spool, the oldest"},
    {Command::RecordsFlush, nullptr, nullptr, W::None, A::Never, "records flush", "", nullptr, false, false, nullptr,
     kNone, nullptr, nullptr, "send what the spools of the --record destinations hold"},
    {Command::Version, "cmdVersion", "ICP/ISP Version", W::Button, A::Synchronised, nullptr, nullptr, nullptr, false,
     false, "Loader Version", kNone, &op::loaderVersion,
     QT_TRANSLATE_NOOP("ButtonTips", "Reads the board's loader version (record 00000001)"), nullptr},
    {Command::StatusByte, "cmdStatusByte", "Status Byte", W::Button, A::Identified, nullptr, nullptr, nullptr, false,
     false, "Programming Status Byte", configAddress::kStatusByte, &op::editConfiguration,
     QT_TRANSLATE_NOOP("ButtonTips", "Shows the status byte and writes the value typed (records 0100000303, then "
                                     "0200000203 vv)"),
     nullptr},
    {Command::SetBootVector, "cmdSetBootVector", "Boot Vector", W::Button, A::Identified, nullptr, nullptr, nullptr,
     false, false, "Programming Boot Vector", configAddress::kBootVector, &op::editConfiguration,
     QT_TRANSLATE_NOOP("ButtonTips", "Shows the boot vector and writes the value typed (records 0100000302, then "
                                     "0200000202 vv)"),
     nullptr},
    {Command::UCFG1, "cmdUCFG1", "UCFG1", W::Button, A::Identified, nullptr, nullptr, nullptr, false, false,
     "Programming UCFG1", configAddress::kUcfg1, &op::editConfiguration,
     QT_TRANSLATE_NOOP("ButtonTips", "Shows user configuration byte 1 and writes the value typed (records "
                                     "0100000300, then 0200000200 vv)"),
     nullptr},
    {Command::UCFG2, "cmdUCFG2", "UCFG2", W::Button, A::Identified, nullptr, nullptr, nullptr, false, false,
     "Programming UCFG2", configAddress::kUcfg2, &op::editConfiguration,
     QT_TRANSLATE_NOOP("ButtonTips", "Shows user configuration byte 2 and writes the value typed (records "
                                     "0100000301, then 0200000201 vv)"),
     nullptr},
    {Command::ProgramSecurity, "cmdProgramSecurity", "Security", W::Button, A::Identified, nullptr, nullptr, nullptr,
     true, false, nullptr, kNone, &op::editSecurity,
     QT_TRANSLATE_NOOP("ButtonTips", "Shows each sector's security byte and writes the value typed (records 01000003 "
                                     "ss, then 02000002 ss vv; ss 08..0F for sectors 0..7, 18..1F for 8..15)"),
     nullptr},
    {Command::AutoConnect, "cmdAutoConnect", "Auto Connect", W::Button, A::Always, nullptr, nullptr, nullptr, false,
     false, nullptr, kNone, nullptr,
     QT_TRANSLATE_NOOP("ButtonTips", "Looks for the programmer board on COM1..COM8: three \"U\" to lock onto the baud "
                                     "rate, the loader version (00000001), then Get LPC ID"),
     nullptr},
    {Command::ClearFirmware, "cmdClearFirmware", "Clear Firmware", W::Button, A::FirmwareLoaded, nullptr, nullptr,
     nullptr, false, false, nullptr, kNone, nullptr,
     QT_TRANSLATE_NOOP("ButtonTips", "Empties the firmware cache (nothing is sent)"), nullptr},
    {Command::LoadFirmware, "cmdLoadFirmware", "Load Firmware", W::Button, A::Identified, nullptr, nullptr, nullptr,
     false, false, nullptr, kNone, nullptr,
     QT_TRANSLATE_NOOP("ButtonTips", "Reads an Intel HEX file into the firmware cache; several files can be laid over "
                                     "each other (nothing is sent)"),
     nullptr},
    {Command::SaveGolden, "mnuSaveGolden", "Save Golden CRCs...", W::VerifyMenu, A::Always, nullptr, nullptr, nullptr,
     true, true, "Saving Golden CRCs", kNone, &op::saveGolden,
     QT_TRANSLATE_NOOP("ButtonTips", "Reads every sector's CRC and the global one and keeps them in a file, as the "
                                     "golden CRCs of a known-good chip"),
     nullptr},
    {Command::CompareGolden, "mnuCompareGolden", "Compare with Golden...", W::VerifyMenu, A::Always, nullptr, nullptr,
     nullptr, true, true, "Comparing with Golden CRCs", kNone, &op::compareGolden,
     QT_TRANSLATE_NOOP("ButtonTips", "Compares every sector's CRC and the global one with golden CRCs saved from a "
                                     "known-good chip of this part"),
     nullptr},
}};

static_assert(
    [] {
        for (int i = 0; i < kCommandCount; ++i) {
            if (static_cast<int>(kCommands[static_cast<size_t>(i)].command) != i)
                return false;
        }
        return true;
    }(),
    "the command table is in the order of the enum");

} // namespace

std::span<const CommandRow> commandTable() {
    return kCommands;
}

const CommandRow& commandRow(Command command) {
    return kCommands[static_cast<size_t>(command)];
}

const CommandRow* commandByWords(const QString& words) {
    const auto found = std::find_if(kCommands.begin(), kCommands.end(), [&words](const CommandRow& row) {
        return row.cliWords && words == QLatin1String(row.cliWords);
    });
    return found == kCommands.end() ? nullptr : &*found;
}

const CommandRow* commandByKeyword(const QString& keyword) {
    const auto found = std::find_if(kCommands.begin(), kCommands.end(), [&keyword](const CommandRow& row) {
        return row.keyword && keyword == QLatin1String(row.keyword);
    });
    return found == kCommands.end() ? nullptr : &*found;
}

QStringList commandKeywords() {
    QStringList keywords;
    for (const CommandRow& row : kCommands) {
        if (row.keyword)
            keywords.append(QLatin1String(row.keyword));
    }
    return keywords;
}

QStringList cliCommandWords() {
    QStringList words;
    for (const CommandRow& row : kCommands) {
        if (row.cliWords)
            words.append(QLatin1String(row.cliWords));
    }
    return words;
}

CommandResult runCommand(Command command, CommandCall& call) {
    const CommandRow& row = commandRow(command);
    if (row.needsPart && !call.board.part())
        return Result{Ending::NotDone, QStringLiteral("no device has been identified; use \"Get LPC ID\" first")};
    return row.operation(call);
}

} // namespace zelvan
