#pragma once

#include <QGroupBox>

class QComboBox;
class QLineEdit;
class SettingsStore;

// The text screen's clean-up of dictated words: off, light or full, and the
// user's own rule for it. Each change is saved at once, into the stored
// record as it stands, and counts from the next take.
class CleanupBox final : public QGroupBox
{
    Q_OBJECT

public:
    explicit CleanupBox(SettingsStore &store, QWidget *parent = nullptr);

private:
    void save();

    SettingsStore &m_store;
    QComboBox *m_level;
    QLineEdit *m_instructions;
};
