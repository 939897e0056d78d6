#include "exchange.h"

namespace zelvan {

Outcome outcomeOf(const ResponseState& state) {
    if (state.fgResponseErr)
        return Outcome::Refused;
    if (state.fgResponseOK)
        return Outcome::Acknowledged;
    return Outcome::NoAnswer;
}

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

Outcome judgeAnswer(CommandContext& ctx) {
    ResponseState& state = ctx.link.response();
    const Outcome outcome = outcomeOf(state);
    switch (outcome) {
    case Outcome::Refused:
        ctx.feedback.setIndicator(Led::Red);
        state.fgResponseErr = false;
        break;
    case Outcome::Acknowledged:
        ctx.feedback.setIndicator(Led::Green);
        state.fgResponseOK = false;
        break;
    case Outcome::NoAnswer:
        ctx.feedback.setIndicator(Led::Red);
        break;
    }
    return outcome;
}

Outcome exchangeRecord(IspLink& link, const QString& body) {
    link.sendRecord(body);
    link.WaitResponse();
    return outcomeOf(link.response());
}

} // namespace zelvan
