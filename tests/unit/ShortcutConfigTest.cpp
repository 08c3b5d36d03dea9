#include "ShortcutConfig.h"

#include <gtest/gtest.h>

namespace {

QByteArray stored(const char *voice, const char *chat, const char *bff)
{
    return QByteArray("{\"voiceInput\":") + voice + ",\"chatAssistant\":" + chat
           + ",\"bffReply\":" + bff + "}";
}

TEST(ModifierKey, StoredNamesRoundTripAndNothingElseIsAccepted)
{
    std::uint64_t seen = 0;
    for (ModifierKey key : allModifierKeys) {
        EXPECT_EQ(seen & ModifierKeys::mask(key), 0u) << "masks must be distinct bits";
        seen |= ModifierKeys::mask(key);
        EXPECT_EQ(ModifierKeys::fromRawValue(ModifierKeys::rawValue(key)), key);
    }
    EXPECT_FALSE(ModifierKeys::fromRawValue(QStringLiteral("Option")));
    EXPECT_FALSE(ModifierKeys::fromRawValue(QStringLiteral("option ")));
    EXPECT_FALSE(ModifierKeys::fromRawValue(QStringLiteral("alt")));
    for (AppMode mode : allAppModes)
        EXPECT_EQ(AppModes::fromRawValue(AppModes::rawValue(mode)), mode);
    EXPECT_FALSE(AppModes::fromRawValue(QStringLiteral("voiceInput")));
}

TEST(ShortcutConfig, EncodesTheStoredFormInFieldOrder)
{
    EXPECT_EQ(ShortcutConfig::defaults().toJson(),
              QByteArray(R"({"voiceInput":{"modifier":"option","enabled":true},)"
                         R"("chatAssistant":{"modifier":"control","enabled":true},)"
                         R"("bffReply":{"modifier":"command","enabled":true}})"));
}

TEST(ShortcutConfig, DecodesAnyMemberOrderAndIgnoresExtraMembers)
{
    const auto config = ShortcutConfig::fromJson(stored(
        R"({"enabled":false,"modifier":"shift","colour":"red"})",
        R"({"modifier":"option","enabled":true})", R"({"modifier":"command","enabled":true})")
        + " ");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->voiceInput, (HotkeyConfig{ModifierKey::Shift, false}));
    EXPECT_EQ(config->chatAssistant.modifier, ModifierKey::Option);

    const auto reordered = ShortcutConfig::fromJson(
        R"({"bffReply":{"modifier":"shift","enabled":true},"extra":1,)"
        R"("chatAssistant":{"modifier":"control","enabled":false},)"
        R"("voiceInput":{"modifier":"option","enabled":true}})");
    ASSERT_TRUE(reordered);
    EXPECT_EQ(reordered->bffReply.modifier, ModifierKey::Shift);
    EXPECT_FALSE(reordered->chatAssistant.enabled);
}

TEST(ShortcutConfig, AnyMissingOrMistypedMemberFailsTheWholeRecord)
{
    const char *good = R"({"modifier":"option","enabled":true})";
    const QList<QByteArray> bad{
        // "bffReply" lacks "enabled": not a partial record with one mode reset
        stored(good, good, R"({"modifier":"command"})"),
        stored(good, good, R"({"enabled":true})"),
        R"({"voiceInput":{"modifier":"option","enabled":true},"chatAssistant":{"modifier":"option","enabled":true}})",
        stored(R"({"modifier":"Option","enabled":true})", good, good),
        stored(R"({"modifier":"alt","enabled":true})", good, good),
        stored(R"({"modifier":1,"enabled":true})", good, good),
        stored(R"({"modifier":"option","enabled":"true"})", good, good),
        stored(R"({"modifier":"option","enabled":1})", good, good),
        stored(R"({"modifier":"option","enabled":null})", good, good),
        stored(R"(["option",true])", good, good),
        R"([{"voiceInput":{}}])",
        "",
        "not json",
        "{\"voiceInput\":",
        QByteArray("\xff\xfe{}", 4),
    };
    for (const QByteArray &json : bad)
        EXPECT_FALSE(ShortcutConfig::fromJson(json)) << json.constData();
}

TEST(ShortcutConfig, RoundTripsEveryAssignment)
{
    ShortcutConfig config;
    config.voiceInput = {ModifierKey::Shift, false};
    config.chatAssistant = {ModifierKey::Command, true};
    config.bffReply = {ModifierKey::Option, false};
    EXPECT_EQ(ShortcutConfig::fromJson(config.toJson()), config);
}

TEST(ShortcutConfig, ConflictsAreEnabledPairsOnOneModifierInFixedOrder)
{
    EXPECT_TRUE(ShortcutConfig::defaults().conflicts().isEmpty());
    ShortcutConfig config;
    config.voiceInput = {ModifierKey::Shift, true};
    config.chatAssistant = {ModifierKey::Shift, true};
    EXPECT_EQ(config.conflicts(), (QList<ModePair>{{AppMode::VoiceInput, AppMode::ChatAssistant}}));

    config.chatAssistant.enabled = false;
    EXPECT_TRUE(config.conflicts().isEmpty()) << "a disabled mode never conflicts";
    config.chatAssistant.enabled = true;
    config.voiceInput.enabled = false;
    EXPECT_TRUE(config.conflicts().isEmpty());

    ShortcutConfig all;
    for (AppMode mode : allAppModes)
        all.config(mode) = {ModifierKey::Command, true};
    EXPECT_EQ(all.conflicts(), (QList<ModePair>{{AppMode::VoiceInput, AppMode::ChatAssistant},
                                                {AppMode::VoiceInput, AppMode::BffReply},
                                                {AppMode::ChatAssistant, AppMode::BffReply}}));

    ShortcutConfig outer;
    outer.voiceInput.modifier = ModifierKey::Command; // with bffReply, skipping chat
    EXPECT_EQ(outer.conflicts(), (QList<ModePair>{{AppMode::VoiceInput, AppMode::BffReply}}));
}

TEST(ShortcutConfig, ConflictWarningNamesEachPair)
{
    EXPECT_EQ(ShortcutConfig::conflictWarning({{AppMode::VoiceInput, AppMode::ChatAssistant}}),
              QStringLiteral("⚠️ 快捷键冲突：语音输入法 与 聊天助手 使用了相同的修饰键"));
    EXPECT_EQ(ShortcutConfig::conflictWarning({{AppMode::VoiceInput, AppMode::ChatAssistant},
                                               {AppMode::VoiceInput, AppMode::BffReply},
                                               {AppMode::ChatAssistant, AppMode::BffReply}}),
              QStringLiteral("⚠️ 快捷键冲突：语音输入法 与 聊天助手、语音输入法 与 BFF智能回复、"
                             "聊天助手 与 BFF智能回复 使用了相同的修饰键"));
    EXPECT_TRUE(ShortcutConfig::conflictWarning({}).isEmpty());
}

} // namespace
