#pragma once

#include "SettingsViewModel.h"

#include <QWidget>

#include <memory>

class ApiKeyPage;
class AudioPage;
class ModelPage;
class QTabWidget;
class ShortcutPage;

// The settings window "设置": six tabs (API key, models, shortcuts, texts and
// history, audio, about)
// over a view model of its own, made afresh with each window, so that every
// opening shows the stored values. Closing it saves what is still waiting.
class SettingsWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize kInitialSize{600, 700};
    static constexpr QSize kMinimumSize{600, 500};

    explicit SettingsWindow(SettingsViewModel::Services services, QWidget *parent = nullptr);
    ~SettingsWindow() override;

    SettingsViewModel &viewModel() { return *m_model; }
    QTabWidget *tabs() const { return m_tabs; }
    ApiKeyPage *apiKeyPage() const { return m_apiKeyPage; }
    ModelPage *modelPage() const { return m_modelPage; }
    ShortcutPage *shortcutPage() const { return m_shortcutPage; }
    AudioPage *audioPage() const { return m_audioPage; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    std::unique_ptr<SettingsViewModel> m_model;
    QTabWidget *m_tabs;
    ApiKeyPage *m_apiKeyPage;
    ModelPage *m_modelPage;
    ShortcutPage *m_shortcutPage;
    AudioPage *m_audioPage;
};
