#include "FormatEndViewController.h"

#include "ui_FormatEndViewController.h"

#include "ConfirmPanel.h"
#include "TextImageButton.h"

#include <QLabel>

FormatEndViewController::FormatEndViewController(QWidget *parent)
    : PanelHostedController(parent), ui(std::make_unique<Ui::FormatEndViewController>())
{
    ui->setupUi(this);
    setUpPanelButton(ui->closeButton, PanelButtonLook::Primary, QStringLiteral("好的"));
    connect(ui->closeButton, &QAbstractButton::clicked, this, &PanelHostedController::closeWindow);
    setResult(Result::Succeeded);
}

FormatEndViewController::~FormatEndViewController() = default;

TextImageButton *FormatEndViewController::closeButton() const { return ui->closeButton; }
QLabel *FormatEndViewController::endLabel() const { return ui->endLabel; }

void FormatEndViewController::setResult(Result result)
{
    m_result = result;
    ui->endLabel->setText(textForResult(result));
}

QString FormatEndViewController::textForResult(Result result)
{
    switch (result) {
    case Result::Succeeded:
        return QStringLiteral("格式化完成。");
    case Result::Failed:
        return QStringLiteral("格式化失败，请检查磁盘后重试。");
    case Result::VolumeChanged:
        return QStringLiteral("所选的磁盘已发生变化，未进行格式化。");
    case Result::NameKept:
        return QStringLiteral("格式化完成，但未能更改磁盘名称。");
    case Result::RenameFailed:
        return QStringLiteral("未能更改磁盘名称，请检查名称后重试。");
    case Result::RenameVolumeChanged:
        return QStringLiteral("所选的磁盘已发生变化，未更改名称。");
    }
    return {};
}
