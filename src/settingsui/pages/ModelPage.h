#pragma once

#include <QWidget>

class QComboBox;
class QLineEdit;
class SettingsViewModel;

// The model screen: the names of the chat, recognition, synthesis and vision
// models, the compatible-mode base URL and the synthesis voice, each bound
// to the view model, which saves them a second after the last edit.
class ModelPage : public QWidget
{
    Q_OBJECT

public:
    explicit ModelPage(SettingsViewModel &model, QWidget *parent = nullptr);

private:
    // A text field that edits one of the view model's strings, both ways.
    QLineEdit *boundField(const QString &name, QString (SettingsViewModel::*read)() const,
                          void (SettingsViewModel::*write)(const QString &),
                          void (SettingsViewModel::*changed)(const QString &));
    void showVoice(const QString &id);

    SettingsViewModel &m_model;
    QComboBox *m_voice;
};
