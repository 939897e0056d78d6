#pragma once

#include "common/ending.h"

#include <QString>

namespace zelvan {

// How the board answered one record, tested in this order: a refusal ("X"/"R") wins over an
// acknowledgement ("."), and neither means no answer in time (or nothing could be sent).
enum class Outcome { Refused, Acknowledged, NoAnswer };

// The answer to one exchange.
struct IspAnswer {
    Outcome outcome = Outcome::NoAnswer;
    // The closing "." arrived, whether or not a refusal came with it. The identification reads
    // and the loader version judge by this alone: "X." counts as answered for them.
    bool fullStop = false;
    // The answer's text: the echo of the record, then the data. Empty when nothing came back.
    QString text;
    // How many characters of the text are the echo of the record.
    qsizetype echoLength = 0;

    bool acknowledged() const { return outcome == Outcome::Acknowledged; }
    // The data the board sent after the echo, at most width characters (fewer when it sent fewer).
    QString data(qsizetype width) const { return text.mid(qMin(echoLength, text.size()), width); }
};

// What the program says when a record was refused, or not answered.
inline const QString kErrPeripheral = QStringLiteral("ERROR: Check Peripheral Connections");
inline const QString kErrNoResponse = QStringLiteral("ERROR: No response, check RS232 cable");

// The ending of an operation that stopped at an answer of this outcome.
inline Ending endingOf(Outcome outcome) {
    switch (outcome) {
    case Outcome::Acknowledged:
        return Ending::Done;
    case Outcome::Refused:
        return Ending::Refused;
    case Outcome::NoAnswer:
        break;
    }
    return Ending::Unanswered;
}

// The text that reports a failed outcome (empty for Acknowledged).
inline QString failureText(Outcome outcome) {
    return outcome == Outcome::Refused ? kErrPeripheral : outcome == Outcome::NoAnswer ? kErrNoResponse : QString();
}

// The text that reports a failed ending of an exchange: refused or unanswered.
inline QString failureText(Ending ending) {
    return ending == Ending::Refused ? kErrPeripheral : ending == Ending::Unanswered ? kErrNoResponse : QString();
}

} // namespace zelvan
