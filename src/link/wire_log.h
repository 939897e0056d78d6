#pragma once

#include <QByteArrayView>
#include <QLoggingCategory>
#include <QString>

namespace zelvan {

// The wire log: every write to the board and every answer, time-stamped, in printable form.
// It is the logging category "zelvan.wire" (debug level), off unless a front end or the
// environment switches it on (QT_LOGGING_RULES="zelvan.wire.debug=true"), so that a user of a
// real board can send a trace. Nothing is formatted while it is off.
Q_DECLARE_LOGGING_CATEGORY(lcWire)
// The timing of each exchange and wait ("zelvan.wire.timing", debug level), beside the wire log:
// how long a record took to leave and the answer to come, and how long the synchronisation waited.
Q_DECLARE_LOGGING_CATEGORY(lcWireTiming)

// The bytes as text: printable ASCII as it is, CR and LF as <CR> and <LF>, anything else as <xx>.
QString printableBytes(QByteArrayView bytes);

// Logs one direction of the traffic on a port: "12:00:01.234 COM1 -> :00000001FF<CR><LF>".
void logWire(const QString& port, bool toBoard, QByteArrayView bytes);

// Logs something the program noticed between the records, in the same place:
// "12:00:01.234 COM1 note: 2 page(s) of the firmware lie in the bootloader area ...".
void logNote(const QString& port, const QString& text);

// Logs the timing of one exchange or wait on a port: "12:00:01.234 COM1 timing: ...".
void logTiming(const QString& port, const QString& text);

// Switches the wire log on and sends its lines to stderr, to a file, or both (a front end without a
// window of its own); other log messages go where they went before. False (with the reason) when
// the file cannot be opened.
// With timing, the timing of each exchange and wait goes with it.
bool routeWireLog(bool toStderr, const QString& file, bool timing, QString* error);

} // namespace zelvan
