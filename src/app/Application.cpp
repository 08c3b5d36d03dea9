#include "Application.h"

#include "AudioInputWatcher.h"
#include "DashScopeAPIService.h"
#include "DesktopBackend.h"
#include "KeyEventSource.h"
#include "KeychainManager.h"
#include "SettingsStore.h"

Application::Application()
    : m_endpoints(DashScopeEndpoints::fromEnvironment()), m_backend(PlatformFactory::detectBackend())
{
}

Application::~Application() = default;

SettingsStore &Application::settings()
{
    return SettingsStore::shared();
}

KeychainManager &Application::keychain()
{
    return KeychainManager::shared();
}

ApiKeyProvider Application::apiKeyProvider()
{
    // Not a coroutine lambda: its captures would not outlive its first suspension.
    return [&keychain = keychain()] { return keychain.read(); };
}

KeyEventSource &Application::keyEventSource()
{
    if (!m_keyEventSource)
        m_keyEventSource = PlatformFactory::createKeyEventSource(m_backend);
    return *m_keyEventSource;
}

KeyEventSource &Application::localKeyEventSource()
{
    if (!m_localKeyEventSource)
        m_localKeyEventSource = PlatformFactory::createLocalKeyEventSource();
    return *m_localKeyEventSource;
}

DesktopBackend &Application::desktop()
{
    if (!m_desktop)
        m_desktop = PlatformFactory::createDesktopBackend(m_backend);
    return *m_desktop;
}

AudioInputWatcher &Application::audioInputWatcher()
{
    if (!m_audioInputWatcher)
        m_audioInputWatcher = PlatformFactory::createAudioInputWatcher();
    return *m_audioInputWatcher;
}

DashScopeAPIService &Application::modelService()
{
    if (!m_modelService)
        m_modelService = std::make_unique<DashScopeAPIService>(apiKeyProvider(), m_endpoints);
    return *m_modelService;
}
