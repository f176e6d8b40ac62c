// TAboutBox: the maker's dialog, made fresh for every showing so that its
// copyright year is the year of the day it is opened.
#pragma once

#include <QDate>
#include <QDialog>
#include <QLabel>

#include "ui/ButtonsXP.h"

namespace sondrel {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr, QDate today = QDate::currentDate());

    QLabel* Copyright = nullptr;
    TBitBtnXP* WebBtn = nullptr;
    TBitBtnXP* OKBtn = nullptr;

    // The copyright line as written, with "XXXX" where the year goes.
    static const char* const CopyrightText;

protected:
    void showEvent(QShowEvent* event) override;
};

// The about box's picture, 306 x 322.
QPixmap AboutPicture();

}  // namespace sondrel
