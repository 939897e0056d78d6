#include "response_parser.h"

namespace zelvan {

bool ResponseParser::endsCurrentAnswer() {
    if (expectedEcho_.isEmpty() || echoSeen_ || state_.strRxBuffer.startsWith(expectedEcho_))
        return true;
    ++state_.lateAnswersDropped;
    state_.strRxBuffer.clear();
    return false;
}

void ResponseParser::comSerial_OnComm(QByteArrayView received) {
    for (const char c : received) {
        switch (c) {
        case ':':
            state_.strRxBuffer.clear();
            echoSeen_ = false;
            break;
        case 'U':
            state_.strRxBuffer.clear();
            state_.fgBaudSync = true;
            break;
        case 'X':
        case 'R':
            if (endsCurrentAnswer())
                state_.fgResponseErr = true;
            break;
        case '.':
            if (!endsCurrentAnswer())
                break;
            ParseResponse(state_.strRxBuffer);
            state_.answerText = state_.strRxBuffer;
            state_.strRxBuffer.clear();
            state_.fgResponseOK = true;
            break;
        case '\r':
        case '\n':
            break;
        default:
            // Bytes are 8-bit character codes on the line.
            state_.strRxBuffer.append(QChar(static_cast<uchar>(c)));
            if (!echoSeen_ && !expectedEcho_.isEmpty() && state_.strRxBuffer == expectedEcho_)
                echoSeen_ = true;
            break;
        }
    }
}

void ResponseParser::ParseResponse(const QString& text) {
    if (!text.isEmpty())
        state_.strLastResponse = text;
}

} // namespace zelvan
