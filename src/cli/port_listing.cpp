#include "port_listing.h"

#include "exit_status.h"
#include "terminal_front.h"

#include "link/port_names.h"
#include "programmer/port_messages.h"
#include "programmer/programmer_connection.h"

#include <QJsonArray>

namespace zelvan::cli {

int listPorts(const CliRequest& request, Console& console) {
    QJsonArray ports;
    for (int port = 1; port <= kPortCount; ++port) {
        const QString name = QStringLiteral("COM%1").arg(port);
        const QString device = comDeviceName(port);
        QJsonObject entry{{QStringLiteral("port"), name}, {QStringLiteral("device"), device}};
        QString state;
        if (device.isEmpty()) {
            state = QStringLiteral("the system has no such serial port");
            entry[QStringLiteral("exists")] = false;
        } else {
            IspLink link;
            link.setBaud9600(request.options.baud9600);
            link.setTiming(linkTimingFromEnvironment());
            link.OpenComPort(port);
            entry[QStringLiteral("exists")] = link.lastOpenFailure().error != QSerialPort::DeviceNotFoundError;
            entry[QStringLiteral("opens")] = link.fgPortOpened();
            if (!link.fgPortOpened()) {
                state = portFailureLine(link.lastOpenFailure()).section(QStringLiteral("): "), 1);
            } else {
                StopRequest stop;
                ProgressReport progress(console, QString());
                TerminalDialogs dialogs(console, QString());
                TerminalFeedback feedback(progress);
                CommandContext ctx{link, feedback, dialogs, stop};
                const std::optional<QString> version =
                    NegotiateBaudrate(ctx) ? GetLoaderVersion(ctx) : std::optional<QString>();
                entry[QStringLiteral("board")] = version ? versionWithoutEcho(*version) : QJsonValue();
                state = version ? QStringLiteral("a board answers: %1").arg(versionWithoutEcho(*version))
                                : QStringLiteral("opens; no board answers");
            }
        }
        entry[QStringLiteral("state")] = state;
        ports.append(entry);
        console.result(QStringLiteral("%1  %2  %3")
                           .arg(name, (device.isEmpty() ? QStringLiteral("-") : device).leftJustified(16), state));
    }
    console.json(QJsonObject{{QStringLiteral("command"), QStringLiteral("ports")},
                             {QStringLiteral("status"), kDone},
                             {QStringLiteral("ports"), ports}});
    return kDone;
}

} // namespace zelvan::cli
