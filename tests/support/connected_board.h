#pragma once

#include "board_rig.h"

#include "board/command_call.h"
#include "firmware/firmware_loading.h"

#include <QList>
#include <QPair>
#include <QStringList>

namespace zelvan::test {

// What an operation told its front end as it went.
struct RecordedProgress : ConnectionProgress {
    QStringList steps;
    QStringList notices;
    QList<Led> leds;
    QList<QPair<int, int>> counts; // units done, of the units of the pass

    void indicate(Led led) override { leds.append(led); }
    void step(const QString& text) override { steps.append(text); }
    void units(int done, int total) override { counts.append({done, total}); }
    void notice(const QString& text) override { notices.append(text); }
};

// Answers from a script: byte values in order (kCurrent takes the value offered; none left: no
// value given), every confirmation with confirmAnswer. Keeps what was asked.
struct ScriptedQuestions : Questions {
    static inline const QString kCurrent = QStringLiteral("<current>");
    QStringList values;
    bool confirmAnswer = true;
    QList<ByteQuestion> asked;
    QStringList confirmations;

    std::optional<QString> byteValue(const ByteQuestion& question) override {
        asked.append(question);
        if (values.isEmpty())
            return std::nullopt;
        const QString value = values.takeFirst();
        return value == kCurrent ? question.current : value;
    }
    bool confirm(const QString& question, const QString&) override {
        confirmations.append(question);
        return confirmAnswer;
    }
};

// The core on a simulated board at COM1, with short time limits, without a window. Identified: the
// board answered the synchronisation and the loader version, and the part is identified; Opened:
// COM1 is only opened; NoBoard: nothing is placed. What was sent, reported and asked starts empty.
struct ConnectedBoard : SimTarget {
    enum class Start { Identified, Opened, NoBoard };

    Board core;
    RecordedProgress progress;
    ScriptedQuestions questions;

    explicit ConnectedBoard(const char* part = "LPC932A1", Start start = Start::Identified) {
        core.link().setTiming(fastTiming());
        if (start == Start::NoBoard)
            return;
        board = &rig.place(1, boardFor(part));
        const bool ready = start == Start::Opened ? core.openPort(1).done()
                                                  : core.connect(QStringLiteral("COM1"), progress).done() &&
                                                        core.identify(progress).done();
        if (!ready)
            qFatal("the simulated board at COM1 does not answer");
        forget();
    }

    // Runs the command's operation as a front end does; a configuration command works on its byte.
    CommandResult run(Command command, CommandRequest request = {}) {
        if (!request.configByte)
            request.configByte = configByteAt(commandRow(command).configAddress);
        CommandCall call{core, progress, questions, request};
        return runCommand(command, call);
    }
    // The HEX file, read and laid out for the identified part.
    FirmwareCache firmware(const QString& path) {
        const HexFile file = loadHexFile(path);
        if (!file.ok())
            qFatal("%s cannot be loaded", qPrintable(path));
        return FirmwareCache::layOut(file.image, core.part()->geometry.intFlashLastAddr);
    }
    void forget() {
        clearReceived(*board);
        progress = RecordedProgress();
        questions.asked.clear();
        questions.confirmations.clear();
    }
};

} // namespace zelvan::test
