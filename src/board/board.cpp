#include "board.h"

#include "port_messages.h"

#include "link/isp_commands.h"
#include "link/link_timing.h"
#include "link/port_names.h"
#include "link/records.h"

namespace zelvan {

Board::Board() = default;

QString versionWithoutEcho(const QString& answerText) {
    const QString echo = strAddChecksum(loaderVersionBody());
    return (answerText.startsWith(echo) ? answerText.mid(echo.size()) : answerText).trimmed();
}

Connection Board::openPort(int port) {
    Connection connection;
    if (link_.OpenComPort(port)) {
        connection.port = port;
        connection.end(Ending::Done);
    } else {
        connection.unopenable.append(link_.lastOpenFailure());
        connection.end(Ending::NotDone, portFailureLine(link_.lastOpenFailure()));
    }
    return connection;
}

ValueReading Board::readVersion(Progress& progress) {
    progress.indicate(Led::Yellow);
    progress.indicate(Led::DarkYellow);
    const IspAnswer answer = link_.exchangeRecord(loaderVersionBody());
    // The version judges by the closing "." alone: "X." counts as answered.
    progress.indicate(answer.fullStop ? Led::Green : Led::Red);
    ValueReading reading;
    if (!answer.fullStop) {
        reading.end(endingOf(answer.outcome), QStringLiteral("the board does not answer the loader version request"));
        return reading;
    }
    reading.value = answer.text;
    version_ = versionWithoutEcho(answer.text);
    reading.end(Ending::Done);
    return reading;
}

bool Board::synchroniseAndReadVersion(ConnectionProgress& progress, Connection& connection) {
    connection.synchronised = link_.synchronise([&progress](Led led) { progress.indicate(led); });
    progress.synchronised(connection.synchronised);
    if (!connection.synchronised) {
        progress.indicate(Led::Red);
        connection.end(Ending::Unanswered, QStringLiteral("no programmer board answers (no \"U\" came back to the "
                                                          "synchronisation)"));
        return false;
    }
    progress.step(QStringLiteral("Programmer Found. Getting Loader Version..."));
    const ValueReading version = readVersion(progress);
    static_cast<Result&>(connection) = version;
    connection.version = version.value;
    return version.done();
}

Connection Board::search(ConnectionProgress& progress) {
    progress.step(QStringLiteral("Searching programmer..."));
    Connection connection;
    QList<PortOpenFailure> unopenable;
    QStringList tried;
    for (int port = 1; port <= kPortCount && !link_.aborted(); ++port) {
        const bool opened = link_.OpenComPort(port);
        link_.processEventsOnce();
        if (!opened) {
            if (isWorthReporting(link_.lastOpenFailure()))
                unopenable.append(link_.lastOpenFailure());
            tried.append(portFailureLine(link_.lastOpenFailure()));
            continue;
        }
        if (synchroniseAndReadVersion(progress, connection)) {
            connection.port = port;
            connection.unopenable = unopenable;
            return connection;
        }
        tried.append(QStringLiteral("COM%1 (%2): %3").arg(port).arg(link_.deviceName(), connection.reason));
    }
    connection.unopenable = unopenable;
    connection.end(Ending::NotDone,
                   QStringLiteral("no programmer board found (%1)").arg(tried.join(QStringLiteral("; "))));
    return connection;
}

Connection Board::connect(const QString& portName, ConnectionProgress& progress) {
    Connection connection;
    const int com = comNumberOf(portName);
    if (!(com ? link_.OpenComPort(com) : link_.openDevice(portName))) {
        connection.unopenable.append(link_.lastOpenFailure());
        connection.end(Ending::NotDone,
                       QStringLiteral("the port cannot be opened: ") + portFailureLine(link_.lastOpenFailure()));
        return connection;
    }
    connection.port = com;
    synchroniseAndReadVersion(progress, connection);
    return connection;
}

Identification Board::identify(Progress& progress) {
    LinkContext ctx = context(progress);
    const IdReading reading = readIdBytes(ctx);
    Identification identification;
    static_cast<Result&>(identification) = reading;
    if (!reading.ids)
        return identification; // a failed read leaves the previous identification in force
    part_ = partForIds(*reading.ids, part_);
    identification.part = part_;
    return identification;
}

void Board::stopFromAnotherThread() {
    requestStop();
    QMetaObject::invokeMethod(&link_, &IspLink::abort, Qt::QueuedConnection);
}

} // namespace zelvan
