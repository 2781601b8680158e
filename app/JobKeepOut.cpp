#include "JobKeepOut.h"

#include "CopyKeepOut.h"
#include "SelectionKeepOut.h"

#include <memory>

namespace {

// A sum has no destination and no target yet: what stays out is what the
// rule keeps out of any job, the other volumes under the startup volume.
class CopyKeepOutForSums : public SelectionKeepOut {
public:
    void enterTopLevel(const FileNode &top) override { m_rule.enterTopLevel(top); }
    bool keepsOut(const FileNode &node, bool whole) const override
    {
        return m_rule.reason(node, whole) != CopyKeepOut::Reason::None;
    }

private:
    CopyKeepOut m_rule{QByteArray(), QByteArray()};
};

} // namespace

void installJobKeepOutForSums()
{
    SelectionKeepOut::install([] { return std::make_unique<CopyKeepOutForSums>(); });
}
