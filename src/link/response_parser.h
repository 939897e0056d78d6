#pragma once

#include <QByteArrayView>
#include <QString>

namespace zelvan {

// What the programmer board's answers have told so far. The parser only ever sets the flags;
// the wait and the commands clear them (and programming leaves fgResponseErr set as its
// failure mark).
struct ResponseState {
    bool fgResponseOK = false;  // "." arrived: the end of a successful answer
    bool fgResponseErr = false; // "X" or "R" arrived: the record was refused
    bool fgBaudSync = false;    // "U" arrived: the answer to the baud synchronisation
    QString strLastResponse;    // the last non-empty answer text, between ":"/"U" and "."
    QString strRxBuffer;        // what has been collected for the answer in progress
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
class ResponseParser {
public:
    // Applies the table above to every byte received.
    void comSerial_OnComm(QByteArrayView received);
    // Records a completed answer: a non-empty text becomes strLastResponse.
    void ParseResponse(const QString& text);

    ResponseState& state() { return state_; }
    const ResponseState& state() const { return state_; }

private:
    ResponseState state_;
};

} // namespace zelvan
