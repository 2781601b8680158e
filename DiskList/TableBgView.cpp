#include "TableBgView.h"

TableBgView::TableBgView(QWidget *parent) : QWidget(parent) {}
