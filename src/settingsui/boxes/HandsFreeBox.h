#pragma once

#include <QGroupBox>

class SettingsStore;

// The shortcut screen's hands-free switches: whether a double tap of the
// dictation or the chat assistant key starts a take that goes on with the key
// let go, and how that works. Each change is saved at once and counts from
// the next tap.
class HandsFreeBox final : public QGroupBox
{
    Q_OBJECT

public:
    explicit HandsFreeBox(SettingsStore &store, QWidget *parent = nullptr);
};
