#pragma once

#include "arguments.h"
#include "console.h"

#include "board/command_call.h"
#include "production/chip_record.h"

#include <QJsonObject>
#include <QString>

#include <map>
#include <optional>

namespace zelvan::cli {

// What a command's result shows on the command line: result lines on stdout (printed as they are
// made), the fields of its JSON object and the reason when it failed.
struct JobOutput {
    JobOutput(Console& console, QString prefix)
        : console(console)
        , prefix(std::move(prefix)) {}

    void line(const QString& text) { console.result(prefix + text); }

    Console& console;
    QString prefix;
    QString variantName; // the signature formulation a verify against the image uses
    QJsonObject fields;
    QString error;
    int crcsVerified = 0;
};

// Describes the result of the command the user asked for; returns the exit status it earns.
int describe(Command command, const CliRequest& request, const Board& board, const CommandResult& result,
             JobOutput& output);

// Describes a step of an automation run: the values it read.
void describeStep(Command command, const CommandResult& result, JobOutput& output);

} // namespace zelvan::cli
