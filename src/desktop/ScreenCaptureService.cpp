#include "ScreenCaptureService.h"

#include "DesktopBackend.h"
#include "ImageEncoding.h"
#include "Log.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

ScreenCaptureService::ScreenCaptureService(DesktopBackend &desktop) : m_desktop(desktop) {}

std::optional<qsizetype> ScreenCaptureService::pickScreen(const QList<QRect> &screens,
                                                          const std::optional<QRect> &focusedWindow,
                                                          const std::optional<QPoint> &pointer)
{
    for (const auto &point : {focusedWindow ? std::optional<QPoint>(focusedWindow->center()) : std::nullopt, pointer}) {
        if (!point)
            continue;
        for (qsizetype i = 0; i < screens.size(); ++i) {
            if (screens[i].contains(*point))
                return i;
        }
    }
    return std::nullopt;
}

QScreen *ScreenCaptureService::findFocusedScreen()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    QList<QRect> areas;
    for (QScreen *screen : screens)
        areas << screen->geometry();
    if (const auto index = pickScreen(areas, m_desktop.focusedWindowRect(), m_desktop.pointerPosition())) {
        QScreen *found = screens[*index];
        Log::line(QStringLiteral("✅ [截屏] 定位到键盘焦点屏幕 (displayID: %1, %2x%3pt)")
                      .arg(found->name())
                      .arg(found->geometry().width())
                      .arg(found->geometry().height()));
        return found;
    }
    Log::line(QStringLiteral("⚠️ [截屏] 未能匹配焦点屏幕，回退到默认显示器"));
    return QGuiApplication::primaryScreen();
}

QScreen *ScreenCaptureService::screenToCapture()
{
    if (!m_desktop.canCapture()) {
        Log::line(QStringLiteral("❌ [截屏] 当前桌面不支持截屏"));
        return nullptr;
    }
    if (QGuiApplication::screens().isEmpty()) {
        Log::line(QStringLiteral("❌ [截屏] 未找到可用显示器"));
        return nullptr;
    }
    QScreen *screen = findFocusedScreen();
    if (!screen || !std::isfinite(screen->devicePixelRatio())) {
        Log::line(QStringLiteral("❌ [截屏] 未找到可用显示器"));
        return nullptr;
    }
    return screen;
}

std::optional<QImage> ScreenCaptureService::taken(const QImage &image)
{
    if (image.isNull()) {
        Log::line(QStringLiteral("❌ [截屏] 截屏失败: 无法读取屏幕内容"));
        return std::nullopt;
    }
    Log::line(QStringLiteral("✅ [截屏] 截屏成功，尺寸：%1x%2").arg(image.width()).arg(image.height()));
    return image;
}

std::optional<QString> ScreenCaptureService::encoded(const std::optional<QImage> &image, int maxDimension, double quality)
{
    if (!image)
        return std::nullopt;
    const auto base64 = ImageEncoding::jpegBase64(ImageEncoding::resizeImage(*image, maxDimension), quality);
    if (!base64) {
        Log::line(QStringLiteral("❌ [截屏] 图片编码为 JPEG 失败"));
        return std::nullopt;
    }
    Log::line(QStringLiteral("✅ [截屏] Base64 编码完成，约 %1 KB").arg(base64->size() / 1024));
    return base64;
}

std::optional<QImage> ScreenCaptureService::captureFocusedScreen()
{
    QScreen *screen = screenToCapture();
    if (!screen)
        return std::nullopt;
    // The whole screen at its full pixel size.
    return taken(m_desktop.grabScreen(screen));
}

std::optional<QString> ScreenCaptureService::captureFocusedScreenAsBase64(int maxDimension, double quality)
{
    return encoded(captureFocusedScreen(), maxDimension, quality);
}

QCoro::Task<std::optional<QString>> ScreenCaptureService::captureFocusedScreenAsBase64Async(int maxDimension,
                                                                                          double quality)
{
    QScreen *screen = screenToCapture();
    if (!screen)
        co_return std::nullopt;
    const QImage image = co_await m_desktop.grabScreenAsync(screen);
    co_return encoded(taken(image), maxDimension, quality);
}
