#pragma once

#include "common/ending.h"
#include "common/progress.h"
#include "common/stop_request.h"
#include "device/identification.h"
#include "link/isp_link.h"
#include "link/link_context.h"

#include <QList>
#include <QString>

#include <optional>

namespace zelvan {

// How a search for the board, or the opening of one port, ended.
struct Connection : Result {
    int port = 0;                      // the COM the board was found on (0: a device, or none)
    QString version;                   // the loader version's whole answer, echo included
    QList<PortOpenFailure> unopenable; // ports that exist but could not be opened, with the reason
    bool synchronised = false;         // a "U" came back on the last port tried
};

// What an identification found.
struct Identification : Result {
    std::optional<Part> part;
    // The three ids read FF: nothing answers behind the board (no target, or it is unpowered).
    bool nothingBehindBoard() const { return part && part->ids.allFF(); }
};

// What a progress report hears of a connection as it goes: whether the board answered the
// synchronisation on the port just tried.
class ConnectionProgress : public Progress {
public:
    virtual void synchronised(bool /*answered*/) {}
};

// One programmer board and the target behind it, for one front end: the link, the port search and
// opening, the synchronisation and loader version, the identified part, the protection in force
// for the command (or run) that works now, and the user's request to stop. Every operation on the
// board works through it; none of them shows anything: each returns its result.
//
// Everything runs on the thread that owns the board; requestStop() may be called from any thread.
class Board {
public:
    Board();

    IspLink& link() { return link_; }
    const IspLink& link() const { return link_; }
    LinkContext context(Progress& progress) { return LinkContext{link_, progress, stop_}; }

    // ---- Stop and protection
    void requestStop() { stop_.request(); }
    // From another thread: the stop, and the wait in progress ended at once (the link lives on the
    // board's thread, so its wait ends there, at its next look at events).
    void stopFromAnotherThread();
    void clearStop() { stop_.reset(); }
    const StopRequest& stop() const { return stop_; }
    // Whether the bootloader area is kept from erasing and programming by the command that runs.
    bool protect() const { return protect_; }
    void setProtect(bool protect) { protect_ = protect; }

    // ---- Connection
    // Opens COM<port> (1..8) only: no synchronisation.
    Connection openPort(int port);
    // Auto Connect's search: COM1..COM8 in order; the first port whose board answers the
    // synchronisation and the loader version request is kept open.
    Connection search(ConnectionProgress& progress);
    // One port, named "COM3" or by its device: opens it, synchronises and reads the loader version.
    Connection connect(const QString& portName, ConnectionProgress& progress);
    // Reads the loader version again. The value is the whole answer (the echo of the record first).
    ValueReading readVersion(Progress& progress);
    // The loader version without the echo of the record ("ZELVAN ICP 2-1"), once read.
    QString version() const { return version_; }

    // ---- Identification
    // Reads the target's ids and takes its part from the catalogue. A failed read changes nothing:
    // the part identified before stays in force.
    Identification identify(Progress& progress);
    // The identified part; nothing before the first completed identification.
    const std::optional<Part>& part() const { return part_; }

private:
    // Synchronises on the open port and reads the loader version.
    bool synchroniseAndReadVersion(ConnectionProgress& progress, Connection& connection);

    IspLink link_;
    StopRequest stop_;
    bool protect_ = true;
    QString version_;
    std::optional<Part> part_;
};

// The loader version text without the echo of the record in front ("ZELVAN ICP 2-1").
QString versionWithoutEcho(const QString& answerText);

} // namespace zelvan
