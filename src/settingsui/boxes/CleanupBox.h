#pragma once

#include <QGroupBox>
#include <QTimer>

class QComboBox;
class QLineEdit;
class SettingsStore;

// The text screen's clean-up of dictated words: off, light or full, and the
// user's own rule for it. Each change is saved into the stored record as it
// stands (the level at once, the rule as it is typed) and counts from the
// next take.
class CleanupBox final : public QGroupBox
{
    Q_OBJECT

public:
    explicit CleanupBox(SettingsStore &store, QWidget *parent = nullptr);
    ~CleanupBox() override;

private:
    static constexpr int kSaveDelayMs = 700;

    void save();

    SettingsStore &m_store;
    QComboBox *m_level;
    QLineEdit *m_instructions;
    QTimer m_saveLater;
};
