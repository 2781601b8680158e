#pragma once
#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <optional>

// What a shell runner hands back. `path` is the member's output file (null
// for a null command). The file under that fixed name holds the latest run's
// output and may already be replaced by a concurrent run of the same member
// (two volume pickers, the Disk Manager's scan and its rename), so a caller
// reads its own result through dictionary(), which parses what this run's
// tool wrote.
struct RunnerResult {
    QString path;
    // This run's standard output; empty when nothing ran or nothing was written.
    QByteArray output;
    // False when the command was null, its line did not fit, or the output
    // file could not be made.
    bool ran = false;
    // The tool's exit status: -1 when nothing ran, the tool could not be
    // started or it ended by a signal. For the few callers that must tell a
    // refusal from success (a rename, a format).
    int exitStatus = -1;

    bool isNull() const { return path.isNull(); }
    // dictionaryWithContentsOfFile: of this run's output: nothing when it is
    // empty, not a property list or not a dictionary.
    std::optional<QVariantMap> dictionary() const;
};
