#pragma once

#include "board_rig.h"

#include "session/session.h"

#include <QList>
#include <QPair>
#include <QSet>
#include <QStringList>

namespace zelvan::test {

// Keeps the history of what a Session showed: status lines, indicator colours, connection label.
struct SessionRecorder {
    QStringList statuses;
    QList<Led> leds;
    QList<QPair<QString, Rgb>> connections;

    explicit SessionRecorder(Session& session) {
        QObject::connect(&session, &Session::statusChanged, [this](const QString& text) { statuses.append(text); });
        QObject::connect(&session, &Session::indicatorChanged, [this](Led led) { leds.append(led); });
        QObject::connect(&session, &Session::connectionChanged, [this](const QString& text, Rgb colour) {
            connections.append({text, colour});
        });
    }
    void clear() {
        statuses.clear();
        leds.clear();
        connections.clear();
    }
    // The last status line shown; empty when none was.
    QString lastStatus() const { return statuses.isEmpty() ? QString() : statuses.constLast(); }
};

// The commands a Session has enabled.
inline QSet<Command> enabledCommands(const Session& session) {
    QSet<Command> enabled;
    for (const CommandRow& row : commandTable()) {
        if (row.place == WindowPlace::Button && session.isEnabled(row.command))
            enabled.insert(row.command);
    }
    return enabled;
}

} // namespace zelvan::test
