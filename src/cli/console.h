#pragma once

#include <QJsonObject>
#include <QMutex>
#include <QString>

#include <cstdio>

namespace zelvan::cli {

// Where zelvan-cli's words go: results on stdout (or one JSON object per command with --json),
// notes, progress and errors on stderr. Safe to use from the threads of several boards at once;
// every line is written whole.
class Console {
public:
    Console(bool quiet, bool json, bool stderrIsTerminal);

    bool json() const { return json_; }
    bool quiet() const { return quiet_; }
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
    // Redraws the progress line on the terminal (no line end), or ends it with one.
    void progressLine(const QString& line);
    void endProgressLine();

private:
    void write(std::FILE* stream, const QString& text);

    QMutex mutex_;
    bool quiet_;
    bool json_;
    bool stderrIsTerminal_;
    bool progressShown_ = false;
    bool severalBoards_ = false;
};

} // namespace zelvan::cli
