#pragma once

#include "common/feedback.h"
#include "link/isp_answer.h"

#include <QString>

namespace zelvan {

inline const QString kErrPeripheral = QStringLiteral("ERROR: Check Peripheral Connections");
inline const QString kErrNoResponse = QStringLiteral("ERROR: No response, check RS232 cable");

// The text that reports a failed outcome (empty for Acknowledged).
QString failureText(Outcome outcome);

// Shows the outcome of an exchange on the indicator: green after an acknowledgement, red after a
// refusal or silence. Returns the outcome.
Outcome showOutcome(Feedback& feedback, const IspAnswer& answer);

// How a command ended, for the closing status line "<phrase>: Done" / ": Error" / ": Interrupted".
enum class Ending { Done, Error, Interrupted };
QString closingStatus(const QString& phrase, Ending ending);
inline Ending endingOf(bool done) {
    return done ? Ending::Done : Ending::Error;
}

} // namespace zelvan
