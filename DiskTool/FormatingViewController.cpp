#include "FormatingViewController.h"

#include "ui_FormatingViewController.h"

#include "ITProgressBar.h"

#include <QLabel>

FormatingViewController::FormatingViewController(QWidget *parent)
    : PanelHostedController(parent), ui(std::make_unique<Ui::FormatingViewController>())
{
    ui->setupUi(this);
    // No progress comes from the tool: a full bar with moving stripes.
    ui->progressBar->setFloatValue(1.0);
    ui->progressBar->setAnimates(true);
}

FormatingViewController::~FormatingViewController() = default;

QLabel *FormatingViewController::tipLabel() const { return ui->tipLabel; }
ITProgressBar *FormatingViewController::progressBar() const { return ui->progressBar; }
