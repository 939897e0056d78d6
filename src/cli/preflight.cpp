#include "preflight.h"

#include "hex_files.h"

#include "device/device_catalogue.h"

#include <algorithm>

namespace zelvan::cli {

QString preflight(const CliRequest& request) {
    const CliOptions& options = request.options;
    if (options.simulatorPart && !findPartByName(*options.simulatorPart))
        return QStringLiteral("--simulator: \"%1\" is not a part of the catalogue (see zelvan-programmer "
                              "--list-parts)")
            .arg(*options.simulatorPart);
    const bool erasesChip = request.kind == CommandKind::EraseChip ||
                            (request.kind == CommandKind::Program && options.erase == EraseMode::Chip);
    if (erasesChip && !options.noProtect)
        return QStringLiteral("a chip erase takes the bootloader with it; give --no-protect to allow it");
    if (request.kind == CommandKind::Program || request.kind == CommandKind::Verify ||
        request.kind == CommandKind::CrcCalibrate)
        return checkHexFiles(request.files);
    if (request.kind == CommandKind::Run) {
        QString error;
        const std::optional<AutomationScript> script = readAutomationScript(request.files.constFirst(), &error);
        if (!script)
            return error;
        // Taking the protection off the bootloader is granted by the option, as for every command.
        const auto unprotects = [](const AutomationLine& line) { return line.command == CommandKeyword::NoProtect; };
        if (!options.noProtect && std::any_of(script->lines.begin(), script->lines.end(), unprotects))
            return QStringLiteral("the file takes the protection off the bootloader (\"noprotect\"); give --no-protect "
                                  "to allow it");
        return checkHexFiles(options.hexFiles);
    }
    return QString();
}

} // namespace zelvan::cli
