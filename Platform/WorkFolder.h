#pragma once
#include <QString>

namespace Platform {

// A folder of this process's own, made fresh inside the folder that is to
// receive a job's result (a volume's root folder, a user's Desktop), where a
// tool builds that result out of everyone else's reach. The receiving folder
// is opened one component at a time from the system root down, never through
// a link, and the work folder is made in it with mode 0700, so nobody but
// this process's user writes inside.
//
// What a tool made there is checked by its descriptor: `holdFile` opens it
// without following links and keeps its identity, and every later step asks
// whether a path still leads to that same file. The result reaches its final
// name only through `moveHeldFileOut`, relative to the descriptors opened at
// the start and never over an existing entry. A job that does not end well
// calls `discard`, which removes what was made inside and the folder itself,
// nothing else.
class WorkFolder {
public:
    WorkFolder() = default;
    ~WorkFolder();
    WorkFolder(WorkFolder &&other) noexcept;
    WorkFolder &operator=(WorkFolder &&other) noexcept;
    WorkFolder(const WorkFolder &) = delete;
    WorkFolder &operator=(const WorkFolder &) = delete;

    // `destination`: a path of this machine under the system root.
    static WorkFolder create(const QString &destination, const QString &prefix);

    bool isValid() const { return m_workFd >= 0; }
    QString errorString() const { return m_error; }
    // The work folder's descriptor, for a tool to be started in it.
    int descriptor() const { return m_workFd; }
    // Device and inode of the held file (0 when none is held).
    quint64 heldInode() const;
    // The work folder's path, for log lines.
    QString path() const { return m_path; }
    // The receiving folder's path.
    QString destination() const { return m_destination; }

    // True when the receiving folder holds an entry of this name now.
    bool destinationHas(const QString &name) const;
    // Makes the file `name` in the work folder (never over an entry, never
    // through a link) and returns its descriptor, open for reading and writing and owned
    // by the caller; -1 (errorString) when it cannot.
    int createFile(const QString &name, int mode = 0600);
    // Takes hold of the file `name` that a tool made in the work folder: a
    // regular file, not a link, of this process's user, with one name only.
    bool holdFile(const QString &name);
    bool hasHeldFile() const { return m_heldFd >= 0; }
    // `path` leads to the held file itself now (device and inode).
    bool isHeldFile(const QString &path) const;
    // `path` leads to the entry `name` of the work folder now.
    bool isEntry(const QString &path, const QString &name) const;
    // The paths of the work folder and of its held file still lead to what
    // was opened: nobody has moved a folder on the way.
    bool pathsAreOurs() const;
    // Gives the held file the name `finalName` in the receiving folder; fails,
    // changing nothing, when that name is taken.
    bool moveHeldFileOut(const QString &finalName);
    // Removes everything made in the work folder and the folder itself.
    // Returns the names removed.
    QStringList discard();

private:
    void giveToDestinationOwner() const;
    void close();
    int m_destFd = -1;
    int m_workFd = -1;
    int m_heldFd = -1;
    QString m_path;
    QString m_destination;
    QString m_name;     // the work folder's name in the receiving folder
    QString m_heldName; // the held file's name in the work folder
    QString m_error;
};

} // namespace Platform
