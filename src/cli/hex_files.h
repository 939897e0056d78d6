#pragma once

#include "console.h"

#include "automation/automation_file.h"
#include "device/device_catalogue.h"
#include "firmware/firmware_cache.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace zelvan::cli {

// Reads every HEX file once before anything is sent, so that a broken or unreadable file stops
// the command with its line and reason (exit status 2) while the board is still untouched.
// Returns the reason of the first file that cannot be used; empty when all can.
QString checkHexFiles(const QStringList& files);

// Loads the files in order over the cache, later files winning, for the identified part; a file
// that reaches beyond the flash gets a note. False (with the reason) when one cannot be loaded.
bool loadHexFiles(const QStringList& files, FirmwareCache& cache, const DeviceGeometry& part, const QString& prefix,
                  Console& console, QString* error);

// Reads and checks an automation file; nothing, with the reason, when it cannot be used.
std::optional<AutomationScript> readAutomationScript(const QString& path, QString* error);

} // namespace zelvan::cli
