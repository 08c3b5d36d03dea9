#pragma once

#include "DesktopBackend.h"

// Where no supported desktop is found: nothing is pasted, no focus is known.
class NullDesktopBackend final : public DesktopBackend
{
public:
    bool canPaste() const override { return false; }
    QCoro::Task<> paste() override { co_return; }
    std::optional<QRect> focusedWindowRect() const override { return std::nullopt; }
    std::optional<QPoint> pointerPosition() const override { return std::nullopt; }
    bool canCapture() const override { return false; }
};
