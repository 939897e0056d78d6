#pragma once

#include <QByteArrayView>
#include <QString>

namespace zelvan {

// What the programmer board's answers have told so far. The parser only ever sets the flags;
// the wait and the exchange of the link clear them.
struct ResponseState {
    bool fgResponseOK = false;  // "." arrived: the end of a successful answer
    bool fgResponseErr = false; // "X" or "R" arrived: the record was refused
    bool fgBaudSync = false;    // "U" arrived: the answer to the baud synchronisation
    QString strLastResponse;    // the last non-empty answer text, between ":"/"U" and "."
    QString strRxBuffer;        // what has been collected for the answer in progress
    QString answerText;         // the text of the answer the last accepted "." ended (may be empty)
    int lateAnswersDropped = 0; // answers to earlier records, recognised by their echo and dropped
};

// Classifies every character the board sends. The answer text survives between reads, so an
// answer split over several arrivals is assembled whole.
//
//   ":"      start of a line: what was collected is discarded
//   "U"      baud synchronisation answer: collected text discarded, fgBaudSync set
//   "X","R"  refusal: fgResponseErr set, not collected
//   "."      end of answer: collected text (if any) becomes strLastResponse, fgResponseOK set
//   CR, LF   ignored
//   other    collected
//
// The board echoes every text record before its answer. While an echo is expected, a refusal or
// a "." on a line that did not begin with it answers an earlier record that was given up on (the
// board took longer than the time limit): it is dropped, as if it had not come. A line that began
// with the echo stays the answer's even when a "U" in its data empties the collected text.
class ResponseParser {
public:
    // Applies the table above to every byte received.
    void comSerial_OnComm(QByteArrayView received);
    // Records a completed answer: a non-empty text becomes strLastResponse.
    void ParseResponse(const QString& text);

    // The echo the answer to the record just sent starts with; empty when it has none (the
    // letters "U", "P", "S" and the quick form of a firmware record).
    void expectEcho(const QString& echo) {
        expectedEcho_ = echo;
        echoSeen_ = false;
    }

    ResponseState& state() { return state_; }
    const ResponseState& state() const { return state_; }

private:
    // An answer end that belongs to the record just sent (always, when no echo is expected).
    bool endsCurrentAnswer();

    ResponseState state_;
    QString expectedEcho_;
    bool echoSeen_ = false; // the line in progress began with the expected echo
};

} // namespace zelvan
