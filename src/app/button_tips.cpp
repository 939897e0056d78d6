#include "button_tips.h"

#include <QCoreApplication>

#include <algorithm>
#include <iterator>

namespace zelvan {

namespace {

struct Tip {
    Command command;
    const char* text;
};

constexpr Tip kTips[] = {
    {Command::ICP, QT_TRANSLATE_NOOP("ButtonTips", "Puts the target into in-circuit programming mode (sends the "
                                                   "letter P to the board)")},
    {Command::OFF,
     QT_TRANSLATE_NOOP("ButtonTips", "Switches the target's power off (sends the letter S to the board)")},
    {Command::ErasePage, QT_TRANSLATE_NOOP("ButtonTips", "Erases the pages from Start to End of the Pages lists, one "
                                                         "record a page (03000004 00 AAAA); while Protect ISP Code is "
                                                         "ticked the bootloader's pages are left alone")},
    {Command::Version, QT_TRANSLATE_NOOP("ButtonTips", "Reads the board's loader version (record 00000001)")},
    {Command::GetID, QT_TRANSLATE_NOOP("ButtonTips", "Reads the manufacturer and device ids (records 0100000310..12), "
                                                     "names the part and fills the page and sector lists")},
    {Command::EraseChip, QT_TRANSLATE_NOOP("ButtonTips", "Erases the whole flash, the bootloader too (record "
                                                         "00000008): refused while Protect ISP Code is ticked, asked "
                                                         "first while it is not")},
    {Command::StatusByte, QT_TRANSLATE_NOOP("ButtonTips", "Shows the status byte and writes the value typed (records "
                                                          "0100000303, then 0200000203 vv)")},
    {Command::ProgramFirmware,
     QT_TRANSLATE_NOOP("ButtonTips", "Writes the loaded firmware into the flash page by page (records LL AAAA 00 and "
                                     "the page's bytes; in Quick Mode \"Q:\" and the raw bytes), then the "
                                     "configuration bytes the file carried (02000002 0n vv)")},
    {Command::EraseSector, QT_TRANSLATE_NOOP("ButtonTips", "Erases the sectors from Start to End of the Sectors lists, "
                                                           "one record a sector (03000004 01 AAAA); while Protect ISP "
                                                           "Code is ticked the bootloader's sector is left alone")},
    {Command::SetBootVector, QT_TRANSLATE_NOOP("ButtonTips", "Shows the boot vector and writes the value typed "
                                                             "(records 0100000302, then 0200000202 vv)")},
    {Command::UCFG1, QT_TRANSLATE_NOOP("ButtonTips", "Shows user configuration byte 1 and writes the value typed "
                                                     "(records 0100000300, then 0200000200 vv)")},
    {Command::UCFG2, QT_TRANSLATE_NOOP("ButtonTips", "Shows user configuration byte 2 and writes the value typed "
                                                     "(records 0100000301, then 0200000201 vv)")},
    {Command::ProgramSecurity,
     QT_TRANSLATE_NOOP("ButtonTips", "Shows each sector's security byte and writes the value typed (records 01000003 "
                                     "ss, then 02000002 ss vv; ss 08..0F for sectors 0..7, 18..1F for 8..15)")},
    {Command::CCP, QT_TRANSLATE_NOOP("ButtonTips", "Clears the configuration protection (record 020000021000)")},
    {Command::GetGlobalCRC, QT_TRANSLATE_NOOP("ButtonTips", "Reads the CRC of the whole flash (record 00000006)")},
    {Command::GetSectorCRC, QT_TRANSLATE_NOOP("ButtonTips", "Reads the CRC of each sector from Start to End of the "
                                                            "Sectors lists (record 01000005 ss, ss the sector's "
                                                            "address high byte)")},
    {Command::AutoConnect, QT_TRANSLATE_NOOP("ButtonTips", "Looks for the programmer board on COM1..COM8, the marked "
                                                           "port first: three \"U\" to lock onto the baud rate, the "
                                                           "loader version (00000001), then Get LPC ID")},
    {Command::ClearFirmware, QT_TRANSLATE_NOOP("ButtonTips", "Empties the firmware cache (nothing is sent)")},
    {Command::LoadFirmware, QT_TRANSLATE_NOOP("ButtonTips", "Reads an Intel HEX file into the firmware cache; several "
                                                            "files can be laid over each other (nothing is sent)")},
    {Command::AutoProcedure, QT_TRANSLATE_NOOP("ButtonTips", "Runs the automation file chosen with File > Load "
                                                             "Automation File, line by line, unattended")},
};

} // namespace

QString buttonTip(Command command) {
    const auto tip =
        std::find_if(std::begin(kTips), std::end(kTips), [command](const Tip& t) { return t.command == command; });
    return tip == std::end(kTips) ? QString() : QCoreApplication::translate("ButtonTips", tip->text);
}

QString indicatorTip() {
    return QCoreApplication::translate("ButtonTips", "The link to the board:\n"
                                                     "yellow: a record is being sent\n"
                                                     "dark yellow: waiting for the answer, or between the units of "
                                                     "a range\n"
                                                     "green: the last exchange succeeded\n"
                                                     "red: the last exchange was refused or not answered");
}

} // namespace zelvan
