#pragma once
#include "FileNode.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What a copy of a checked tree never takes in, in one place for every job
// that copies or archives a selection: the job's own destination folder and
// the target volume's mount folder (nor anything that holds them: a copy
// never copies into itself), and, on the startup volume, the folder where the
// other volumes are mounted (Volumes/), whose content belongs to other
// volumes. Paths are bytes, compared as given and with their folders' links
// resolved.
class CopyKeepOut {
public:
    enum class Reason {
        None,
        Destination,  // is or holds the job's destination folder
        TargetVolume, // is or holds the target volume's mount folder
        OtherVolume,  // lies in, or holds, the startup volume's Volumes/ folder
    };

    // `destination`, `targetMountPath`: empty when there is none.
    CopyKeepOut(const QByteArray &destination, const QByteArray &targetMountPath);

    // Called for each top-level node before asking about it or anything below
    // it: a top-level item that itself lies in Volumes/ (a volume mounted
    // there, dropped on the card) may copy from inside it.
    void enterTopLevel(const FileNode &top);
    // `whole`: the node is taken with everything below it (state 1); false: a
    // partly checked folder that only gets its folder made.
    Reason reason(const FileNode &node, bool whole) const;

    // A kept-out item the user chose that makes the job a partial result (the
    // destination, the target); leaving out other volumes is by design.
    static bool isFailure(Reason reason) { return reason == Reason::Destination || reason == Reason::TargetVolume; }
    static QString describe(Reason reason);

private:
    QList<QByteArray> m_destination;
    QList<QByteArray> m_target;
    QList<QByteArray> m_volumesFolder;
    bool m_fenceVolumes = true;
};
