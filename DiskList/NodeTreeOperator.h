#pragma once
#include <QString>

// The scanner's size source: a file's logical size as the file system records
// it, read once when the file is listed.
class NodeTreeOperator {
public:
    NodeTreeOperator() = default;

    // The logical size of the entry at `path` itself (a link counts its own
    // size and is not followed; a folder has none); 0 when it cannot be read.
    // Safe to call from any thread.
    quint64 getOneFileSizeWithPath(const QString &path) const;
    quint64 getOneFileSizeWithPath(const QByteArray &path) const;

    NodeTreeOperator(const NodeTreeOperator &) = delete;
    NodeTreeOperator &operator=(const NodeTreeOperator &) = delete;
};
