#pragma once
#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>

class FileNode;
using FileNodePtr = std::shared_ptr<FileNode>;
using FileNodeList = QList<FileNodePtr>;
// The top-level array of a selection. The page that keeps a selection and the
// file browser that shows it hold the same array (FileNodeArrayPtr); it is
// changed only on the main thread (the root scan hands its nodes over there).
using FileNodeArray = FileNodeList;
using FileNodeArrayPtr = std::shared_ptr<FileNodeArray>;

// One file or folder of a source volume in the selection tree. A plain record:
// parents own their children, `father` points back without owning.
class FileNode {
public:
    // Check marks.
    enum : qint64 { Unchecked = 0, Checked = 1, PartlyChecked = 2 };

    FileNode(const QString &path, const QString &name, bool isDirectory, FileNode *father);
    static FileNodePtr initWithPath(const QString &path, const QString &withName, bool isDirectory,
                                    FileNode *withFather);
    // A node for a path given as the file system's bytes (names need not be
    // UTF-8): `nativePath` keeps them, `path` and `name` show them.
    static FileNodePtr initWithNativePath(const QByteArray &path, bool isDirectory, FileNode *withFather);

    QString name;             // the name it was listed under
    QString path;             // full path
    bool isDirectory = false; // a folder when listed (links to folders count as folders)
    FileNodeList children;    // filled once, by the child listing, in listing order
    qint64 state = Checked;   // 0, 1 or 2
    FileNode *father = nullptr;
    quint64 size = 0; // a file's logical size when listed; 0 for a folder, never summed in
    qint32 isButtonState = 0;
    QRectF checkBoxRect;
    bool isExpand = false; // the browser shows it expanded

    // What the file system itself says: the path's bytes (empty for a node
    // made from a display path only) and the entry's identity when it was
    // listed (0: not known), so a copy can tell that what it opens now is what
    // was listed.
    QByteArray nativePath;
    quint64 device = 0;
    quint64 inode = 0;
    bool isSymbolicLink = false;

    // The path and name as bytes: nativePath, or the display path encoded.
    QByteArray pathBytes() const;
    QByteArray nameBytes() const;
    // Takes device, inode and link-ness from an lstat of the entry.
    void recordListing();

    // Computed from `path` on every read.
    bool isSystemFile() const;
    QIcon icon() const;
    QString displayName() const;

    // The one way a checked tree is read: a node in state 1 is taken whole
    // (with everything below it on disk, listed or not), a node in state 2 is
    // not taken itself but its children are read by the same rule, a node in
    // state 0 is skipped. `take` sees the taken nodes in order.
    static void walkSelection(const FileNodeList &nodes, const std::function<void(FileNode *)> &take);
    static void walkSelectionNodes(const FileNodeList &nodes, const std::function<void(const FileNodePtr &)> &take);

    FileNode(const FileNode &) = delete;
    FileNode &operator=(const FileNode &) = delete;
};
