#include "preflight.h"

#include "hex_files.h"

#include "device/device_catalogue.h"

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
    if (request.kind == CommandKind::Program)
        return checkHexFiles(request.files);
    if (request.kind == CommandKind::Run) {
        QString error;
        if (!readAutomationScript(request.files.constFirst(), &error))
            return error;
        return checkHexFiles(options.hexFiles);
    }
    return QString();
}

} // namespace zelvan::cli
