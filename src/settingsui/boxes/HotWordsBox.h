#pragma once

#include "ApiKeyProvider.h"

#include <QGroupBox>

#include <QCoroTask>

class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class SettingsStore;

// The hot words on the words page: the list, a word with its weight to add,
// the selected one to remove, and where the service's vocabulary stands.
// Each change is stored at once and then synced; a failed sync is shown here
// and tried again at the next change (or the next start).
class HotWordsBox : public QGroupBox
{
    Q_OBJECT

public:
    HotWordsBox(SettingsStore &store, ApiKeyProvider apiKey, QWidget *parent = nullptr);

    // The state as shown ("已同步", "尚未同步", "同步失败：…", "没有热词", "正在同步...").
    QString syncText() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showWords();
    void add();
    void removeSelected();
    QCoro::Task<> sync();

    SettingsStore &m_store;
    ApiKeyProvider m_apiKey;
    QListWidget *m_list;
    QLineEdit *m_word;
    QSpinBox *m_weight;
    QLabel *m_problem;
    QLabel *m_state;
    bool m_syncing = false;
    bool m_syncAgain = false;
};
