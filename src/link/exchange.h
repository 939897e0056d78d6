#pragma once

#include "command_context.h"

#include <QString>

namespace zelvan {

inline const QString kErrPeripheral = QStringLiteral("ERROR: Check Peripheral Connections");
inline const QString kErrNoResponse = QStringLiteral("ERROR: No response, check RS232 cable");

// How the board answered one record, tested in this order: a refusal ("X"/"R") wins over an
// acknowledgement ("."), and neither means no answer in time.
enum class Outcome { Refused, Acknowledged, NoAnswer };

Outcome outcomeOf(const ResponseState& state);

// The text that reports a failed outcome (empty for Acknowledged).
QString failureText(Outcome outcome);

// Judges the answer to the last record the way the board and flash commands do: red after a
// refusal or silence, green after an acknowledgement, and the flag acted on is cleared again.
Outcome judgeAnswer(CommandContext& ctx);

// Sends ":" + body + checksum + CR LF and waits for the answer; returns the outcome without
// touching the flags.
Outcome exchangeRecord(IspLink& link, const QString& body);

} // namespace zelvan
