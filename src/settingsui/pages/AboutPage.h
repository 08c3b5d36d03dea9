#pragma once

#include <QWidget>

// Who we are and what the assistant does.
class AboutPage : public QWidget
{
    Q_OBJECT

public:
    explicit AboutPage(QWidget *parent = nullptr);
};
