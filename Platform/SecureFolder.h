#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace Platform {

// A folder that a root process works in on behalf of a user (the per-user
// settings folder under the user's home). It is reached from a trusted
// starting folder through named sub-folders, each one checked the moment it
// is opened: a real folder, not a symbolic link, owned by root, by this
// process's user or by one of the trusted users. Everything done inside
// (reading, creating, replacing or removing a file, changing modes) is done
// relative to the opened folder, so a component swapped for a link after the
// check changes nothing, and no file is ever opened through a link.
//
// A "safe file" below is a regular file, not a link, owned by one of the
// trusted owners, with no second name (a hard link to some other file of
// root's would pass the owner test).
class SecureFolder {
public:
    enum class Status {
        Open,    // every component checked and opened
        Missing, // a component does not exist (only without `create`)
        Unsafe,  // a component is a link, not a folder or owned by someone else
        Failed,  // the start folder or a creation could not be opened or made
    };
    enum class Entry { Missing, SafeFile, Unsafe };

    SecureFolder() = default;
    ~SecureFolder();
    SecureFolder(SecureFolder &&other) noexcept;
    SecureFolder &operator=(SecureFolder &&other) noexcept;
    SecureFolder(const SecureFolder &) = delete;
    SecureFolder &operator=(const SecureFolder &) = delete;

    // `components` are single names ("Library", "Application Support"); an
    // empty name, ".", ".." or one holding "/" is unsafe. With `create`,
    // missing components are made with `folderMode` (less the umask; never
    // set-uid or set-gid), owned by the owner and group of the folder they
    // are made in.
    static SecureFolder open(const QString &base, const QStringList &components, const QStringList &trustedUsers,
                             bool create, int folderMode = 0777);

    Status status() const { return m_status; }
    bool isOpen() const { return m_status == Status::Open; }
    QString path() const { return m_path; }
    QString errorString() const { return m_error; }

    Entry entry(const QString &name) const;
    // The contents of a safe file; nothing for a missing or unsafe entry.
    std::optional<QByteArray> readFile(const QString &name) const;
    // Creates a new file, owned by the folder's owner and group; never
    // replaces an existing entry.
    bool createFile(const QString &name, const QByteArray &data, int permissions = 0644);
    // Replaces the file atomically (a new file renamed over the name). The new
    // file keeps the owner, group and permission bits (0777 at most: never a
    // set-uid, set-gid or sticky bit) of a safe file it replaces; without
    // one it is made like createFile's.
    bool replaceFile(const QString &name, const QByteArray &data, int permissions = 0644);
    // Removes a file or link (never a folder, never what a link points to).
    bool removeFile(const QString &name);
    // chmod(2) of a safe file inside, through a descriptor of the checked
    // file; permission bits only (mode & 0777).
    bool setFileMode(const QString &name, int mode);
    // chmod(2) of the folder itself; permission bits and the sticky bit
    // (mode & 01777).
    bool setMode(int mode);

private:
    bool ownerTrusted(uint uid) const;
    int m_fd = -1;
    Status m_status = Status::Failed;
    QString m_path;
    QString m_error;
    QList<uint> m_owners;
};

} // namespace Platform
