#pragma once
#include <QByteArray>
#include <QString>

namespace Platform {

// A file that a root process writes in a folder other users may write to
// (/tmp, the temporary directory). Whatever someone else left under the name
// is never written through: a symbolic link, a file of another user, a hard
// link to some other file, a fifo or a device. Such an entry is removed (the
// entry itself, never what it points to) and a fresh file is created in its
// place with O_EXCL, so a link planted between the two steps makes the
// creation fail instead of being followed. A folder under the name is left
// alone and the open fails.
class SecureFile {
public:
    enum class Mode { Append, Truncate };

    SecureFile() = default;
    ~SecureFile();
    SecureFile(SecureFile &&other) noexcept;
    SecureFile &operator=(SecureFile &&other) noexcept;
    SecureFile(const SecureFile &) = delete;
    SecureFile &operator=(const SecureFile &) = delete;

    // Opens `path` for writing, creating it when missing. An existing regular
    // file of this process's user with a single link is kept (appended to, or
    // emptied for Truncate); anything else is replaced as described above.
    static SecureFile openForWriting(const QString &path, Mode mode, int permissions = 0644);
    // A new file, open for reading and writing, whose name is `prefix`
    // followed by six random characters.
    static SecureFile createUnique(const QString &prefix, int permissions = 0600);
    // Removes the entry at `path` itself (a link, not its target). Folders are
    // not removed. True when nothing is left under the name.
    static bool removeEntry(const QString &path);

    bool isOpen() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    QString errorString() const { return m_error; }
    // The descriptor, for handing to a child process (Platform::CommandRunner).
    int handle() const { return m_fd; }

    // Writes the whole buffer with one write where the system allows.
    bool write(const QByteArray &data);
    // Everything in the file, read from its start through the descriptor.
    QByteArray readAll() const;
    qint64 size() const;
    // Gives this file the name `target` in the same folder, replacing any
    // entry standing there without following it. The file stays open.
    bool moveTo(const QString &target);
    // Unlinks the file's current name.
    bool remove();
    void close();

private:
    int m_fd = -1;
    QString m_path;
    QString m_error;
};

} // namespace Platform
