#pragma once
// The intent record of a change: what it is about to do to the world's
// folders, written to <root>/.diskworld/intent.plist before each folder moves.
// A tool killed in the middle of a change leaves the record behind; the next
// tool that opens the world reads it and either undoes the folder steps (the
// state was not written: the world stays as it was) or finishes them (the
// state was written: the change happened).
#include <QString>
#include <optional>
#include <vector>

namespace Platform::DiskWorld {

class Intent {
public:
    struct Step {
        enum Kind { Move, MakeFolder };
        Kind kind = Move;
        QString from;         // Move: where the folder was
        QString to;           // Move: where it goes; MakeFolder: the new folder
        int mode = -1;        // Move: the folder's mode, restored wherever it ends; -1: not changed
        bool writable = true; // MakeFolder: false for a read-only volume's folder
    };

    // A record for a change that starts from the state with this serial.
    Intent(QString path, qint64 baseSerial);

    // Adds a step and writes the record; nothing may move before this succeeded.
    bool add(const Step &step, QString *error);
    // The change is over (written or rolled back): the record goes.
    void clear();

    qint64 baseSerial() const { return m_base; }
    const std::vector<Step> &steps() const { return m_steps; }

    // The record a killed tool left behind, if any.
    static std::optional<Intent> read(const QString &path);

    // Puts every step back, newest first.
    void undo() const;
    // Completes what the steps leave undone once the state is written.
    void finish() const;

private:
    bool write(QString *error) const;

    QString m_path;
    qint64 m_base = 0;
    std::vector<Step> m_steps;
};

// A stop point for drills: with TARNWICK_DISKWORLD_STOP_AT=N in the
// environment, the process kills itself (SIGKILL) at its N-th stop point, as a
// tool killed at that moment would be. Without it this does nothing.
void stopPoint();

} // namespace Platform::DiskWorld
