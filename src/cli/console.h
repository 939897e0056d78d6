#pragma once

#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace zelvan::cli {

// Where zelvan-cli's words go: results on stdout (or one JSON object per command with --json),
// notes, progress and errors on stderr. Safe to use from the threads of several boards at once;
// every line is written whole.
class Console {
public:
    Console(bool quiet, bool json, bool stderrIsTerminal);

    bool json() const { return json_; }
    // A progress bar is drawn only for a terminal, never with -q or --json, and not for several
    // boards at once (their bars would overwrite each other: each prints a line a tenth instead).
    bool drawsProgressBar() const { return stderrIsTerminal_ && !quiet_ && !json_ && !severalBoards_; }
    void setSeveralBoards() { severalBoards_ = true; }
    bool showsProgress() const { return !quiet_ && !json_; }

    // A result line on stdout (left out with -q and --json).
    void result(const QString& line);
    // A note on stderr (left out with -q and --json).
    void note(const QString& line);
    // An error on stderr, always.
    void error(const QString& line);
    // One JSON object on stdout, compact, on one line (only with --json).
    void json(const QJsonObject& object);
    // A result that is printed with -q too (not with --json): the serial numbers given.
    void essential(const QString& line);
    // Redraws the progress line on the terminal (no line end), or ends it with one.
    void progressLine(const QString& line);
    void endProgressLine();
    // Several boards on a terminal: the line of each board (by its port), all of them redrawn in
    // place, in the order the boards first showed one.
    bool drawsBoardLines() const { return stderrIsTerminal_ && !quiet_ && !json_ && severalBoards_; }
    void boardLine(const QString& port, const QString& line);
    // The boards are done: their lines stay where they are, and what follows goes below them.
    void endBoardLines();

private:
    void write(std::FILE* stream, const QString& text);
    // The board lines are taken off the terminal before other text is written, and put back after.
    void eraseBoardLines();
    void drawBoardLines();

    QMutex mutex_;
    bool quiet_;
    bool json_;
    bool stderrIsTerminal_;
    bool progressShown_ = false;
    bool severalBoards_ = false;
    QStringList boardPorts_;
    QStringList boardLines_;
    int boardLinesShown_ = 0;
};

} // namespace zelvan::cli
