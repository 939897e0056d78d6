#include "fault_rules.h"

namespace zelvan::sim {

std::optional<FaultRule> parseFaultRule(const QString& text, FaultRule::Action action) {
    FaultRule rule;
    rule.action = action;
    QString what = text.trimmed();
    const qsizetype hash = what.indexOf(QLatin1Char('#'));
    if (hash >= 0) {
        bool ok = false;
        rule.occurrence = what.mid(hash + 1).toInt(&ok);
        if (!ok || rule.occurrence < 1)
            return std::nullopt;
        what.truncate(hash);
    }
    if (what.size() == 1 && QStringLiteral("UPS").contains(what)) {
        rule.letter = what.at(0).toLatin1();
        return rule;
    }
    if (what.startsWith(QLatin1String("type:"))) {
        bool ok = false;
        rule.recordType = what.mid(5).toInt(&ok, 16);
        return ok && rule.recordType >= 0 && rule.recordType <= 0xFF ? std::optional(rule) : std::nullopt;
    }
    if (what.startsWith(QLatin1String("body:")) && what.size() > 5) {
        rule.bodyPrefix = what.mid(5).toUpper().toLatin1();
        return rule;
    }
    return std::nullopt;
}

} // namespace zelvan::sim
