#pragma once

#include "AppConfig.h"
#include "ShortcutConfig.h"

class KeyValueStore;

// Loads and saves the two settings records. Loading never fails: absent or
// undecodable data yields the defaults, silently, and leaves the stored bytes
// as they are until the next save replaces them.
class SettingsStore
{
public:
    static constexpr auto kShortcutConfigKey = "shortcutConfigV2";
    static constexpr auto kAppConfigKey = "appConfig";

    explicit SettingsStore(KeyValueStore &store);

    // The store over the user's own settings.
    static SettingsStore &shared();

    ShortcutConfig loadShortcutConfig() const;
    void saveShortcutConfig(const ShortcutConfig &config);

    // Also corrects outdated model names, saving each correction at once so
    // that the stored record equals the returned one.
    AppConfig loadAppConfig();
    void saveAppConfig(const AppConfig &config);
    // Sets one member of the record as stored and saves it, leaving every
    // other member as another page or the command line left it.
    template <typename T>
    void saveAppConfigMember(T AppConfig::*member, const T &value)
    {
        AppConfig config = loadAppConfig();
        if (config.*member == value)
            return;
        config.*member = value;
        saveAppConfig(config);
    }

private:
    KeyValueStore &m_store;
};
