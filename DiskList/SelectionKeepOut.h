#pragma once
#include "FileNode.h"

#include <functional>
#include <memory>

// What the jobs leave out of a checked tree (the other volumes' content under
// the startup volume's Volumes/ folder, the job's own destination), so that a
// size sum counts what a job copies. The rule itself belongs to the copy
// engine, above this folder: the application installs it at start.
class SelectionKeepOut {
public:
    virtual ~SelectionKeepOut() = default;
    // Called for each top-level node before asking about it or anything below it.
    virtual void enterTopLevel(const FileNode &top) = 0;
    // `whole`: the node is taken with everything below it (state 1).
    virtual bool keepsOut(const FileNode &node, bool whole) const = 0;

    // A fresh rule for one walk of a tree; none until the application has
    // installed its maker.
    using Maker = std::function<std::unique_ptr<SelectionKeepOut>()>;
    static void install(Maker maker);
    static std::unique_ptr<SelectionKeepOut> make();
};
