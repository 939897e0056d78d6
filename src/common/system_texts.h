#pragma once

#include <QString>

namespace zelvan {

// Texts of this program that look like slips but are its own, exactly as users, their scripts
// and their automation files know them. Do not "correct" them: files in the field use the keyword
// spellings, and people search manuals and forums for the messages as they read.
namespace systemText {

// The refusal of a configuration or security value that is not one byte.
inline const QString kUncorrectValue = QStringLiteral("Uncorrect Value");
// What the loaded-firmware label shows until firmware is loaded or cleared.
inline const QString kIstruzioni = QStringLiteral("Istruzioni");
// The automation keywords that write UCFG1 and UCFG2 (with a "c" before the "g").
inline const QString kUcfg1Keyword = QStringLiteral("ucfcg1");
inline const QString kUcfg2Keyword = QStringLiteral("ucfcg2");
// The title of the box that says a port chosen from the menu could not be opened.
inline const QString kPortErrorTitle = QStringLiteral("ZANO Main CPU Simulator");
// The box when the chosen automation file is gone ("File" twice).
inline const QString kAutomationFileNotFound = QStringLiteral("Automation File file not found");
// Two blanks before "=" in the global CRC box, and two between "Sector" and its number.
inline const QString kGlobalCrcPrefix = QStringLiteral("Global CRC  = ");
inline const QString kSecurityByteForSector = QStringLiteral("Security Byte for Sector ");

} // namespace systemText

} // namespace zelvan
