#pragma once

#include "ApiKeyProvider.h"
#include "AppConfig.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QTableWidget;
class SettingsStore;

// The settings of the user's words: the hot words taught to the recogniser,
// their clean-up by a chat model, the replacements applied to what it heard, whether takes are kept in the history (and clearing
// it), and whether the clipboard is given back after a paste. Each change
// is saved at once, into the stored record as it stands (the command line
// may have changed it meanwhile).
class TextPage : public QWidget
{
    Q_OBJECT

public:
    TextPage(SettingsStore &store, ApiKeyProvider apiKey, QWidget *parent = nullptr);

private:
    void showReplacements();
    void addReplacement();
    void removeSelected();
    void saveSwitch(bool AppConfig::*member, bool on);

    SettingsStore &m_store;
    QTableWidget *m_table;
    QLineEdit *m_from;
    QLineEdit *m_to;
    QCheckBox *m_keepHistory;
    QCheckBox *m_restoreClipboard;
};
