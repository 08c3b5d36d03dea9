#pragma once

#include "AppMode.h"

#include <QWidget>

#include <array>

class HandsFreeBox;
class KeyRouteBox;
class ModifierKeyPicker;
class QLabel;
class QPushButton;
class SettingsViewModel;

// The shortcut screen: a picker per mode, a warning while two enabled modes
// share a key, how the keys are read here (and the choice where several ways
// work), how the keys work, whether global keys work on this desktop, and
// the way back to the default keys.
class ShortcutPage : public QWidget
{
    Q_OBJECT

public:
    explicit ShortcutPage(SettingsViewModel &model, QWidget *parent = nullptr);

    ModifierKeyPicker *picker(AppMode mode) const { return m_pickers[size_t(mode)]; }
    // Empty while there is no conflict.
    QString conflictWarning() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showConfig();
    void showAccessibility();

    SettingsViewModel &m_model;
    std::array<ModifierKeyPicker *, 3> m_pickers{};
    QWidget *m_warning;
    QLabel *m_warningText;
    QWidget *m_trusted;
    QPushButton *m_requestAccess;
    QLabel *m_accessProblem;
    HandsFreeBox *m_handsFree;
    KeyRouteBox *m_keyRoute;
};
