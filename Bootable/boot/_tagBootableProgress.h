#pragma once
#include <QtGlobal>

// One report of the clone engine: an error code (0, or -8 … -1), the step the
// run has reached, and that step's share of the whole run in percent. The
// record lives only while the delegate call that receives it runs.
struct _tagBootableProgress {
    qint32 iErrCode = 0;
    qint32 iStepCode = 0;
    qint32 iPercent = 0;
};
