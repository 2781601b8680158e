#include "NodeViewController.h"

#include "ui_NodeViewController.h"

NodeViewController::NodeViewController(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::NodeViewController>())
{
    ui->setupUi(this);
    setAttribute(Qt::WA_TranslucentBackground);
}

NodeViewController::~NodeViewController() = default;
