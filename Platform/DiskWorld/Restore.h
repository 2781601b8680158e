#pragma once
// `asr restore`: a volume's content copied onto another volume of the world,
// with the texts and the pacing its readers rely on.
#include "World.h"

#include <QByteArray>
#include <functional>
#include <optional>

namespace Platform::DiskWorld {

struct RestoreOptions {
    QString source; // a mount point or identifier; "/" is the running system
    QString target;
    bool erase = false;
    bool prompt = true; // ask before erasing
    bool verify = true;
};

// Where the restore talks to. Every `write` must reach the reader on its own,
// so the caller writes it unbuffered; `pause` spaces the writes out.
struct RestoreIO {
    std::function<void(const QByteArray &)> write;
    std::function<void(const QString &)> error;
    std::function<std::optional<char>()> readAnswer; // the first character typed, nothing at end of input
    std::function<void(double seconds)> pause;
};

// Returns the tool's exit status.
int restore(const World &w, const RestoreOptions &options, const RestoreIO &io);

} // namespace Platform::DiskWorld
