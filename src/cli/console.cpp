#include "console.h"

#include <QJsonDocument>

namespace zelvan::cli {

Console::Console(bool quiet, bool json, bool stderrIsTerminal)
    : quiet_(quiet)
    , json_(json)
    , stderrIsTerminal_(stderrIsTerminal) {}

void Console::write(std::FILE* stream, const QString& text) {
    // A progress line being redrawn is ended first, so that a message never lands inside it.
    if (progressShown_ && stream == stderr) {
        std::fputc('\n', stderr);
        progressShown_ = false;
    }
    eraseBoardLines();
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
    drawBoardLines();
}

void Console::eraseBoardLines() {
    if (boardLinesShown_ == 0)
        return;
    // Up to the first board line, and everything from there down cleared.
    std::fprintf(stderr, "\x1b[%dA\r\x1b[J", boardLinesShown_);
    boardLinesShown_ = 0;
}

void Console::drawBoardLines() {
    if (boardLines_.isEmpty())
        return;
    const QByteArray bytes = (boardLines_.join(QStringLiteral("\x1b[K\n")) + QStringLiteral("\x1b[K\n")).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
    boardLinesShown_ = static_cast<int>(boardLines_.size());
}

void Console::boardLine(const QString& port, const QString& line) {
    QMutexLocker lock(&mutex_);
    qsizetype index = boardPorts_.indexOf(port);
    if (index < 0) {
        boardPorts_.append(port);
        boardLines_.append(QString());
        index = boardPorts_.size() - 1;
    }
    boardLines_[index] = line;
    eraseBoardLines();
    drawBoardLines();
}

void Console::endBoardLines() {
    QMutexLocker lock(&mutex_);
    boardPorts_.clear();
    boardLines_.clear();
    boardLinesShown_ = 0;
}

void Console::essential(const QString& line) {
    if (json_)
        return;
    QMutexLocker lock(&mutex_);
    write(stdout, line + QLatin1Char('\n'));
}

void Console::result(const QString& line) {
    if (json_ || quiet_)
        return;
    QMutexLocker lock(&mutex_);
    write(stdout, line + QLatin1Char('\n'));
}

void Console::note(const QString& line) {
    if (quiet_ || json_)
        return;
    QMutexLocker lock(&mutex_);
    write(stderr, line + QLatin1Char('\n'));
}

void Console::error(const QString& line) {
    QMutexLocker lock(&mutex_);
    write(stderr, line + QLatin1Char('\n'));
}

void Console::json(const QJsonObject& object) {
    if (!json_)
        return;
    QMutexLocker lock(&mutex_);
    write(stdout, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
}

void Console::progressLine(const QString& line) {
    QMutexLocker lock(&mutex_);
    const QByteArray bytes = (QLatin1Char('\r') + line + QStringLiteral("\x1b[K")).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
    progressShown_ = true;
}

void Console::endProgressLine() {
    QMutexLocker lock(&mutex_);
    if (progressShown_)
        std::fputc('\n', stderr);
    std::fflush(stderr);
    progressShown_ = false;
}

} // namespace zelvan::cli
