#pragma once

#include <QGroupBox>

class QComboBox;
class QLabel;
class QLineEdit;
class SettingsStore;

// Where the user's account lives: the service region (a key works only in
// the region it was made in) and an optional workspace ID (the workspace's
// own host). Each change is saved into the record as stored and used from
// the next request; a workspace ID that cannot be part of a host name is
// refused, said so, and not stored.
class ServiceRegionBox final : public QGroupBox
{
    Q_OBJECT

public:
    explicit ServiceRegionBox(SettingsStore &store, QWidget *parent = nullptr);

    QComboBox *region() const { return m_region; }
    QLineEdit *workspace() const { return m_workspace; }

private:
    void showRegionNote();
    void saveWorkspace();

    SettingsStore &m_store;
    QComboBox *m_region;
    QLabel *m_regionNote;
    QLineEdit *m_workspace;
    QLabel *m_workspaceProblem;
};
