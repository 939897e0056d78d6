#include "outcome_report.h"

namespace zelvan {

QString failureText(Outcome outcome) {
    switch (outcome) {
    case Outcome::Refused:
        return kErrPeripheral;
    case Outcome::NoAnswer:
        return kErrNoResponse;
    case Outcome::Acknowledged:
        break;
    }
    return QString();
}

Outcome showOutcome(Feedback& feedback, const IspAnswer& answer) {
    feedback.setIndicator(answer.acknowledged() ? Led::Green : Led::Red);
    return answer.outcome;
}

QString closingStatus(const QString& phrase, Ending ending) {
    switch (ending) {
    case Ending::Done:
        return phrase + QStringLiteral(": Done");
    case Ending::Error:
        break;
    case Ending::Interrupted:
        return phrase + QStringLiteral(": Interrupted");
    }
    return phrase + QStringLiteral(": Error");
}

} // namespace zelvan
