#include "ModelPage.h"

#include "SettingsStore.h"
#include "SettingsViewModel.h"
#include "SettingsWidgets.h"
#include "TTSVoiceOption.h"
#include "UserText.h"
#include "VoiceItemDelegate.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ModelPage::ModelPage(SettingsViewModel &model, QWidget *parent) : QWidget(parent), m_model(model)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    const auto section = [&](const QString &title) {
        auto *box = new QGroupBox(title, this);
        auto *form = new QFormLayout(box);
        layout->addWidget(box);
        return form;
    };

    QFormLayout *llm = section(tr("LLM 配置"));
    llm->addRow(tr("模型名称"),
                boundField(tr("模型名称"), &SettingsViewModel::llmModel, &SettingsViewModel::setLlmModel,
                           &SettingsViewModel::llmModelChanged));
    llm->addRow(QStringLiteral("Base URL"),
                boundField(QStringLiteral("Base URL"), &SettingsViewModel::compatibleBaseURL,
                           &SettingsViewModel::setCompatibleBaseURL, &SettingsViewModel::compatibleBaseURLChanged));

    QFormLayout *asr = section(tr("ASR 配置"));
    asr->addRow(tr("语音识别模型"),
                boundField(tr("语音识别模型"), &SettingsViewModel::asrModel, &SettingsViewModel::setAsrModel,
                           &SettingsViewModel::asrModelChanged));
    // Saved at once into the record as stored, used from the next take.
    auto *language = new QComboBox(this);
    language->setAccessibleName(tr("识别语言"));
    const std::pair<const char *, QString> languages[]
        = {{"auto", tr("自动")}, {"zh", tr("中文")}, {"en", QStringLiteral("English")}, {"ja", tr("日本語")}};
    for (const auto &[value, label] : languages)
        language->addItem(label, QString::fromLatin1(value));
    SettingsStore &store = m_model.settingsStore();
    language->setCurrentIndex(std::max(0, language->findData(store.loadAppConfig().asrLanguage)));
    connect(language, &QComboBox::currentIndexChanged, this, [language, &store](int index) {
        store.saveAppConfigMember(&AppConfig::asrLanguage, language->itemData(index).toString());
    });
    asr->addRow(tr("识别语言"), language);

    QFormLayout *tts = section(tr("TTS 配置"));
    tts->addRow(tr("语音合成模型"),
                boundField(tr("语音合成模型"), &SettingsViewModel::ttsModel, &SettingsViewModel::setTtsModel,
                           &SettingsViewModel::ttsModelChanged));
    m_voice = new QComboBox(this);
    m_voice->setAccessibleName(tr("语音音色"));
    m_voice->setItemDelegate(new VoiceItemDelegate(m_voice));
    for (const TTSVoiceOption &voice : TTSVoiceOption::all()) {
        m_voice->addItem(UserText::shown(voice.attribute), voice.id);
        m_voice->setItemData(m_voice->count() - 1, UserText::shown(voice.language), VoiceItemDelegate::kLanguageRole);
    }
    tts->addRow(tr("语音音色"), m_voice);
    showVoice(m_model.ttsVoice());
    connect(m_voice, &QComboBox::activated, this,
            [this](int index) { m_model.setTtsVoice(m_voice->itemData(index).toString()); });
    connect(&m_model, &SettingsViewModel::ttsVoiceChanged, this, &ModelPage::showVoice);

    QFormLayout *vl = section(tr("VL 视觉模型配置"));
    vl->addRow(tr("视觉模型名称"),
               boundField(tr("视觉模型名称"), &SettingsViewModel::vlModel, &SettingsViewModel::setVlModel,
                          &SettingsViewModel::vlModelChanged));
    vl->addRow(SettingsWidgets::secondaryLabel(tr("用于 BFF 智能回复，分析截图中的聊天界面"), this));

    auto *reset = new QPushButton(tr("恢复默认设置"), this);
    connect(reset, &QPushButton::clicked, this, [this, language] {
        m_model.resetToDefaults();
        // The language is stored apart from the view model's settings: it
        // goes back too (saved by its own change).
        language->setCurrentIndex(std::max(0, language->findData(AppConfig::defaults().asrLanguage)));
    });
    layout->addWidget(reset, 0, Qt::AlignLeft);
    layout->addStretch();
}

QLineEdit *ModelPage::boundField(const QString &name, QString (SettingsViewModel::*read)() const,
                                 void (SettingsViewModel::*write)(const QString &),
                                 void (SettingsViewModel::*changed)(const QString &))
{
    auto *field = new QLineEdit((m_model.*read)(), this);
    field->setAccessibleName(name);
    // Every change counts, typed or set by an assistive tool; setting the
    // same text back is a no-op on both sides.
    connect(field, &QLineEdit::textChanged, &m_model, [this, write](const QString &text) { (m_model.*write)(text); });
    connect(&m_model, changed, field, [field](const QString &value) {
        if (field->text() != value)
            field->setText(value);
    });
    return field;
}

void ModelPage::showVoice(const QString &id)
{
    const int index = m_voice->findData(id);
    if (index >= 0) {
        m_voice->setCurrentIndex(index);
        return;
    }
    // A voice the list does not know (set elsewhere): shown as it is, kept as it is.
    m_voice->addItem(id, id);
    m_voice->setCurrentIndex(m_voice->count() - 1);
}
