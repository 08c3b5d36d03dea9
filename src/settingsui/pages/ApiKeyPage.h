#pragma once

#include <QCoroTask>
#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class SettingsViewModel;

// The API key screen: a key field that shows 36 bullets for a stored key
// until the user starts a new entry, a button to show the key as typed, and
// the save with its progress and outcome; then how to get a key.
class ApiKeyPage : public QWidget
{
    Q_OBJECT

public:
    enum class SaveStatus { Idle, Saving, Success, Error };

    static QString maskedPlaceholder() { return QString(36, QChar(0x2022)); }
    // Where keys are made: the mainland console, and the international one.
    static constexpr auto kConsoleUrl = "https://bailian.console.aliyun.com/";
    static constexpr auto kInternationalConsoleUrl = "https://modelstudio.console.alibabacloud.com/";
    // The console of the region's keys.
    static QString consoleUrl(const QString &region);
    static constexpr int kSuccessShownMs = 2000;

    explicit ApiKeyPage(SettingsViewModel &model, QWidget *parent = nullptr);

    SaveStatus saveStatus() const { return m_saveStatus; }
    // The key as typed so far (never the bullets).
    QString apiKeyInput() const { return m_apiKeyInput; }
    bool isEditing() const { return m_isEditing; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The help names the console of the region chosen.
    void showConsole(const QString &region);
    void startEditing();
    void onTextChanged(const QString &text);
    // Shows the bullets or the input, whichever the state asks for.
    void refreshField();
    void setShowApiKey(bool show);
    void setSaveStatus(SaveStatus status);
    QCoro::Task<> save();

    SettingsViewModel &m_model;
    QString m_apiKeyInput;
    bool m_showApiKey = false;
    bool m_isEditing = false;
    bool m_settingText = false;
    QLabel *m_consoleStep = nullptr;
    QPushButton *m_console = nullptr;
    SaveStatus m_saveStatus = SaveStatus::Idle;

    QWidget *m_configured;
    QLineEdit *m_field;
    QToolButton *m_reveal;
    QPushButton *m_save;
    QProgressBar *m_progress;
    QLabel *m_status;
};
