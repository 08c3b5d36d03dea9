#include "RecentTakesView.h"

#include "RunEnding.h"
#include "SettingsWidgets.h"
#include "TakeHistory.h"
#include "UserText.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

RecentTakesView::RecentTakesView(QWidget *parent) : QWidget(parent)
{
    setAccessibleName(tr("最近的记录"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *title = new QLabel(tr("最近的记录："), this);
    title->setFont(SettingsWidgets::semibold(title->font()));
    outer->addWidget(title);
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setMinimumHeight(120);
    scroll->setAccessibleName(tr("最近的记录列表"));
    auto *list = new QWidget(scroll);
    m_rows = new QVBoxLayout(list);
    m_rows->setContentsMargins(4, 4, 4, 4);
    m_empty = SettingsWidgets::secondaryLabel(tr("还没有记录"), list);
    m_rows->addWidget(m_empty);
    m_rows->addStretch();
    scroll->setWidget(list);
    outer->addWidget(scroll);
}

void RecentTakesView::refresh()
{
    // Everything but the placeholder and the closing stretch goes.
    while (m_rows->count() > 2) {
        QLayoutItem *item = m_rows->takeAt(1);
        if (QWidget *widget = item->widget())
            widget->deleteLater();
        delete item;
    }
    const QList<TakeRecord> takes = TakeHistory(TakeHistory::defaultPath()).newest(kShown);
    m_empty->setVisible(takes.isEmpty());
    int at = 1;
    for (const TakeRecord &take : takes) {
        const QString words = take.answer.isEmpty() ? take.text : take.text + QLatin1Char('\n') + take.answer;
        auto *row = new QWidget(m_rows->parentWidget());
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        auto *label = new QLabel(QStringLiteral("%1  %2").arg(take.time.toLocalTime().toString(QStringLiteral("MM-dd HH:mm")),
                                                             RunEnding::firstWords(words)),
                                 row);
        label->setToolTip(words);
        // A take that did not come through says so in words, and why where known.
        const bool cancelled = take.ending == QLatin1String(TakeRecord::kCancelled);
        if (cancelled || take.ending == QLatin1String(TakeRecord::kFailed)) {
            const QString how = cancelled ? tr("已取消") : tr("失败");
            auto *ending = new QLabel(how, row);
            const QString reason = UserText::shown(take.reason);
            ending->setToolTip(reason);
            ending->setAccessibleName(how);
            ending->setAccessibleDescription(reason);
            ending->setStyleSheet(cancelled ? QString() : QStringLiteral("color: #c0392b;"));
            line->addWidget(ending);
        }
        line->addWidget(label, 1);
        const auto addCopy = [&](const QString &title, const QString &name, const QString &text) {
            auto *copy = new QPushButton(title, row);
            copy->setAccessibleName(name);
            connect(copy, &QPushButton::clicked, this,
                    [text] { QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard); });
            line->addWidget(copy);
            return copy;
        };
        addCopy(tr("复制"), tr("复制：%1").arg(RunEnding::firstWords(take.text)), words);
        // A take a clean-up edited: the words as they were heard, too.
        if (!take.raw.isEmpty())
            addCopy(tr("复制原文"), tr("复制原文：%1").arg(RunEnding::firstWords(take.raw)), take.raw)->setToolTip(take.raw);
        const bool failed = take.ending == QLatin1String(TakeRecord::kFailed)
                            || take.ending == QLatin1String(TakeRecord::kCancelled);
        if (failed && !take.audio.isEmpty() && m_retry) {
            auto *retry = new QPushButton(tr("重试"), row);
            retry->setAccessibleName(
                tr("重试：%1").arg(take.time.toLocalTime().toString(QStringLiteral("MM-dd HH:mm:ss"))));
            connect(retry, &QPushButton::clicked, this, [this, take, retry] {
                retry->setEnabled(false); // once: the list is read again when it has ended
                m_retry(take);
            });
            line->addWidget(retry);
        }
        m_rows->insertWidget(at++, row);
    }
}
