#pragma once

#include <QWidget>

class AudioInputWatcher;
class InputLevelMeter;
class QComboBox;
class QProgressBar;
class SettingsStore;

// The audio tab: the microphone takes record from ("系统默认" first, then
// the audio server's microphones), stored at once and used from the next
// take; while the tab is shown, a meter of the chosen microphone's input
// level; and the switches for the recording cues and for pausing media.
class AudioPage : public QWidget
{
    Q_OBJECT

public:
    // inputs: the audio server's microphones (none: only the default is offered).
    AudioPage(SettingsStore &store, AudioInputWatcher *inputs, QWidget *parent = nullptr);
    ~AudioPage() override;

    QComboBox *microphones() const { return m_microphones; }
    QProgressBar *levelBar() const { return m_level; }
    bool isMetering() const;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // Lists the microphones again, keeping the stored choice selected.
    void listMicrophones();
    void choose(int index);

    SettingsStore &m_store;
    AudioInputWatcher *m_inputs;
    QComboBox *m_microphones;
    QProgressBar *m_level;
    InputLevelMeter *m_meter;
};
