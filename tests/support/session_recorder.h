#pragma once

#include "session/session.h"
#include "sim/pty_board_server.h"

#include <QList>
#include <QPair>
#include <QRegularExpression>
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

inline QStringList received(sim::PtyBoardServer& board) {
    return board.withBoard([](sim::BoardModel& model) { return model.received(); });
}

// The records of the type among those sent, in order: "00" a page, "02" a configuration value.
inline QStringList recordsOfType(const QStringList& sent, const QString& type) {
    return sent.filter(QRegularExpression(QStringLiteral("^:.{6}") + type));
}

inline QByteArray flashOf(sim::PtyBoardServer& board) {
    return board.withBoard([](sim::BoardModel& model) { return model.flash(); });
}

inline void clearReceived(sim::PtyBoardServer& board) {
    board.withBoard([](sim::BoardModel& model) { model.clearReceived(); });
}

} // namespace zelvan::test
