#include "port_listing.h"

#include "exit_status.h"

#include "board/board.h"
#include "board/port_messages.h"
#include "link/port_names.h"

#include <QJsonArray>
#include <QJsonObject>

namespace zelvan::cli {

int listPorts(const RunSetup& setup, Console& console) {
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
            Board board;
            board.link().setBaud9600(setup.request.options.baud9600);
            board.link().setTiming(setup.timing);
            ConnectionProgress quiet;
            const Connection connection = board.connect(name, quiet);
            const bool opened = connection.unopenable.isEmpty();
            entry[QStringLiteral("exists")] =
                opened || connection.unopenable.constFirst().error != QSerialPort::DeviceNotFoundError;
            entry[QStringLiteral("opens")] = opened;
            if (!opened) {
                state = portFailureLine(connection.unopenable.constFirst()).section(QStringLiteral("): "), 1);
            } else {
                entry[QStringLiteral("board")] = connection.done() ? QJsonValue(board.version()) : QJsonValue();
                state = connection.done() ? QStringLiteral("a board answers: %1").arg(board.version())
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
