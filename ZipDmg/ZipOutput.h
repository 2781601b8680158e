#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// zip's listing (its standard output and error in one stream) read as it
// arrives. A pipe cuts the stream wherever it likes: one read may hold many
// lines or part of one ("  adding: big.bin" now, " (deflated 99%)" later), so
// only whole lines are read; the rest waits for the next chunk. Every
// "adding:" line is one entry written to the archive. A "zip warning:" or
// "zip error:" line (a name that was not there, a file that could not be
// read) means the archive is not what was asked for.
class ZipOutput {
public:
    // Takes one chunk; true when it completed at least one entry.
    bool feed(const QByteArray &chunk);
    // The end of the stream: a last line without its line end is read too.
    bool finish();

    quint64 entries() const { return m_entries; }
    // The last whole entry line, as the status line shows it
    // ("adding: Volumes/USB/a.txt (deflated 40%)").
    QString lastEntry() const { return m_lastEntry; }
    QStringList warnings() const { return m_warnings; }

private:
    bool takeLine(const QByteArray &line);

    QByteArray m_pending;
    quint64 m_entries = 0;
    QString m_lastEntry;
    QStringList m_warnings;
};
