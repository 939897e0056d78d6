#pragma once

#include <QString>

namespace zelvan {

// How an operation ended. Every operation returns one, with the reason in words when it was not
// done; each front end decides what a person sees of it.
enum class Ending {
    Done,        // the work was done
    Refused,     // the board or the target refused a record ("X" or "R")
    Unanswered,  // no answer in time, or no port to send on
    NotDone,     // nothing (or not all) was done, for the reason given: protection, no range, nothing to write
    BadInput,    // nothing was sent: the request does not fit this part, or an input is not usable
    Interrupted, // the user asked to stop; it stopped between two records
    Mismatch,    // the work was done, but the chip does not hold what it should (a verify failed)
};

// The closing line of an operation as the status line shows it: "<phrase>: Done", ": Interrupted",
// or ": Error" for every other ending.
inline QString closingStatus(const QString& phrase, Ending ending) {
    switch (ending) {
    case Ending::Done:
        return phrase + QStringLiteral(": Done");
    case Ending::Interrupted:
        return phrase + QStringLiteral(": Interrupted");
    default:
        return phrase + QStringLiteral(": Error");
    }
}

// The common part of every operation's result: how it ended, and why when it was not done.
struct Result {
    Ending ending = Ending::NotDone;
    QString reason; // one line, lower case first: "the board refused the erase of page 0040H"

    bool done() const { return ending == Ending::Done; }
    // Ends the result with ending and reason; returns it, for "return result.end(...)".
    Result& end(Ending how, const QString& why = QString()) {
        ending = how;
        reason = why;
        return *this;
    }
};

// A value the board reported (the loader version, a configuration byte, a CRC), as it sent it.
struct ValueReading : Result {
    QString value;
};

} // namespace zelvan
