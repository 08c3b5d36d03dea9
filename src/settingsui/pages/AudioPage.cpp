#include "AudioPage.h"

#include "AudioInputWatcher.h"
#include "InputLevelMeter.h"
#include "SettingSwitch.h"
#include "SettingsStore.h"
#include "SettingsWidgets.h"

#include <QComboBox>
#include <QLabel>
#include <QGroupBox>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

AudioPage::AudioPage(SettingsStore &store, AudioInputWatcher *inputs, QWidget *parent)
    : QWidget(parent), m_store(store), m_inputs(inputs), m_meter(new InputLevelMeter(this))
{
    auto *layout = new QVBoxLayout(this);

    auto *microphone = new QGroupBox(tr("麦克风"), this);
    microphone->setAccessibleName(tr("麦克风"));
    auto *micLayout = new QVBoxLayout(microphone);
    m_microphones = new QComboBox(microphone);
    m_microphones->setAccessibleName(tr("录音使用的麦克风"));
    micLayout->addWidget(m_microphones);
    m_level = new QProgressBar(microphone);
    m_level->setRange(0, 100);
    m_level->setValue(0);
    m_level->setTextVisible(false);
    m_level->setAccessibleName(tr("输入电平"));
    micLayout->addWidget(m_level);
    micLayout->addWidget(SettingsWidgets::secondaryLabel(
        tr("从下一次录音起使用。所选麦克风断开时改用系统默认麦克风，状态窗口会提示。"), microphone));
    layout->addWidget(microphone);

    auto *sound = new QGroupBox(tr("声音"), this);
    sound->setAccessibleName(tr("声音"));
    auto *soundLayout = new QVBoxLayout(sound);
    soundLayout->addWidget(new SettingSwitch(tr("录音开始和结束时播放提示音"), m_store, &AppConfig::soundCues, sound));
    soundLayout->addWidget(
        new SettingSwitch(tr("录音和播报回答时暂停正在播放的媒体"), m_store, &AppConfig::pauseMedia, sound));
    layout->addWidget(sound);
    layout->addStretch();

    listMicrophones();
    connect(m_microphones, &QComboBox::activated, this, &AudioPage::choose);
    connect(m_meter, &InputLevelMeter::levelChanged, this,
            [this](double level) { m_level->setValue(qRound(level * 100)); });
    if (m_inputs)
        connect(m_inputs, &AudioInputWatcher::inputsChanged, this, [this] {
            listMicrophones();
            if (isVisible())
                m_meter->start(m_store.loadAppConfig().inputDevice.toUtf8());
        });
}

AudioPage::~AudioPage() = default;

bool AudioPage::isMetering() const
{
    return m_meter->isRunning();
}

void AudioPage::listMicrophones()
{
    const QSignalBlocker quiet(m_microphones);
    const QByteArray chosen = m_store.loadAppConfig().inputDevice.toUtf8();
    m_microphones->clear();
    m_microphones->addItem(tr("系统默认"), QByteArray());
    bool listed = chosen.isEmpty();
    for (const AudioInputWatcher::Input &input : m_inputs ? m_inputs->inputs() : QList<AudioInputWatcher::Input>()) {
        m_microphones->addItem(input.description.isEmpty() ? QString::fromUtf8(input.id) : input.description, input.id);
        listed = listed || input.id == chosen;
    }
    // A chosen one that is not connected stays chosen, and says so.
    if (!listed)
        m_microphones->addItem(tr("%1（未连接）").arg(QString::fromUtf8(chosen)), chosen);
    m_microphones->setCurrentIndex(std::max(0, m_microphones->findData(chosen)));
}

void AudioPage::choose(int index)
{
    const QByteArray id = m_microphones->itemData(index).toByteArray();
    m_store.saveAppConfigMember(&AppConfig::inputDevice, QString::fromUtf8(id));
    if (isVisible())
        m_meter->start(id);
}

void AudioPage::showEvent(QShowEvent *event)
{
    listMicrophones();
    m_meter->start(m_store.loadAppConfig().inputDevice.toUtf8());
    QWidget::showEvent(event);
}

void AudioPage::hideEvent(QHideEvent *event)
{
    m_meter->stop();
    QWidget::hideEvent(event);
}
