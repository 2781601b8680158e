#pragma once
#include "PanelHostedController.h"

#include <memory>

class QLabel;
class TextImageButton;

namespace Ui {
class FormatEndViewController;
}

// The done panel laid over the main window after a format
// ("FormatEndViewController"): says how the format ended; "好的" closes it.
// The page also shows it when a rename was not carried out.
class FormatEndViewController : public PanelHostedController {
    Q_OBJECT
public:
    enum class Result {
        Succeeded,
        // The tool refused or failed.
        Failed,
        // The volume was no longer the one chosen, so nothing was run.
        VolumeChanged,
        // The volume was formatted but kept its old name (the rename before an
        // APFS reformat was refused).
        NameKept,
        // A rename: the tool refused it or could not be run.
        RenameFailed,
        // A rename: the volume was no longer the one chosen (or the list was
        // being read again), so nothing was run.
        RenameVolumeChanged,
    };

    explicit FormatEndViewController(QWidget *parent = nullptr);
    ~FormatEndViewController() override;

    void setResult(Result result);
    Result result() const { return m_result; }
    static QString textForResult(Result result);

    TextImageButton *closeButton() const;
    QLabel *endLabel() const;

private:
    std::unique_ptr<Ui::FormatEndViewController> ui;
    Result m_result = Result::Succeeded;
};
