#pragma once

#include <QGroupBox>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;
class QLabel;
class SettingsStore;

// What the shortcut screen says about how the mode keys reach Quillwren, and
// where several ways work here, the choice between them.
struct KeyRouteChoices
{
    // Each way that works here: its stored name ("x11", "evdev", "portal",
    // "bindings") and its label. No choice is offered with fewer than two.
    QList<QPair<QString, QString>> working;
    // The way in use, in lines for the user (the desktop's shortcuts with
    // their keys, on the portal route).
    std::function<QStringList()> describe;
    // Emits changed() when what describe() says changes; may be null.
    QObject *events = nullptr;
};

// The box: the way in use and, where there is a choice, a list that saves
// the keyRoute setting (used from the next start).
class KeyRouteBox final : public QGroupBox
{
    Q_OBJECT

public:
    KeyRouteBox(SettingsStore &store, KeyRouteChoices choices, QWidget *parent = nullptr);

    QComboBox *choice() const { return m_choice; }

public Q_SLOTS:
    // Reads describe() again.
    void refresh();

private:
    SettingsStore &m_store;
    KeyRouteChoices m_choices;
    QLabel *m_current;
    QComboBox *m_choice;
};
