#pragma once

#include <QString>

#include <optional>

namespace zelvan {

// A byte value an operation asks for: the window shows an input box with the current value.
struct ByteQuestion {
    QString prompt;       // "User Configuration Byte 1 Value (Hex) is: 63\r\nInsert ..."
    QString title;        // "Program UCFG1"
    QString current;      // the value read, offered as the default
    QString refusalTitle; // the title of the box that refuses an entry that is not a byte ("UCFG1 Value")
};

// What an operation may ask a person. The window asks with its boxes; the command line answers
// from its arguments and options; an unattended run answers for itself. None of them may block a
// run that has no person in front of it.
class Questions {
public:
    virtual ~Questions() = default;

    // The new value of a byte, as two hex digits; nothing when the person gave none (cancelled).
    virtual std::optional<QString> byteValue(const ByteQuestion& question) = 0;
    // A yes/no question before something that cannot be undone; true to go on.
    virtual bool confirm(const QString& question, const QString& title) = 0;
};

// The answers of a run with nobody to ask: no value, and the confirmations the caller granted.
class NoQuestions : public Questions {
public:
    explicit NoQuestions(bool confirmations = false)
        : confirmations_(confirmations) {}
    std::optional<QString> byteValue(const ByteQuestion&) override { return std::nullopt; }
    bool confirm(const QString&, const QString&) override { return confirmations_; }

private:
    bool confirmations_;
};

} // namespace zelvan
