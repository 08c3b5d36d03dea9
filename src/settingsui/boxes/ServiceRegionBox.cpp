#include "ServiceRegionBox.h"

#include "DashScopeEndpoints.h"
#include "SettingsStore.h"
#include "SettingsWidgets.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

ServiceRegionBox::ServiceRegionBox(SettingsStore &store, QWidget *parent)
    : QGroupBox(tr("服务地域"), parent), m_store(store)
{
    auto *form = new QFormLayout(this);
    const AppConfig stored = m_store.loadAppConfig();

    m_region = new QComboBox(this);
    m_region->setAccessibleName(tr("服务地域"));
    m_region->addItem(tr("北京（中国内地）"), QStringLiteral("beijing"));
    m_region->addItem(tr("新加坡（国际）"), QStringLiteral("singapore"));
    m_region->setCurrentIndex(std::max(0, m_region->findData(stored.serviceRegion)));
    form->addRow(tr("地域"), m_region);
    m_regionNote = SettingsWidgets::secondaryLabel(QString(), this);
    m_regionNote->setWordWrap(true);
    form->addRow(m_regionNote);

    m_workspace = new QLineEdit(stored.workspaceId, this);
    m_workspace->setAccessibleName(tr("业务空间 ID"));
    m_workspace->setPlaceholderText(tr("可选，留空使用地域的公共地址"));
    form->addRow(tr("业务空间 ID"), m_workspace);
    m_workspaceProblem = new QLabel(this);
    m_workspaceProblem->setWordWrap(true);
    m_workspaceProblem->setStyleSheet(QStringLiteral("color: #d93025;"));
    m_workspaceProblem->hide();
    form->addRow(m_workspaceProblem);

    connect(m_region, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_store.saveAppConfigMember(&AppConfig::serviceRegion, m_region->itemData(index).toString());
        showRegionNote();
    });
    connect(m_workspace, &QLineEdit::editingFinished, this, &ServiceRegionBox::saveWorkspace);
    showRegionNote();
}

void ServiceRegionBox::showRegionNote()
{
    const QString region = m_region->currentData().toString();
    const QString made = region == QLatin1String("singapore")
        ? tr("在阿里云 Model Studio 国际站（新加坡）创建的 API Key 选这里。")
        : tr("在阿里云百炼控制台（中国内地，北京）创建的 API Key 选这里。");
    m_regionNote->setText(tr("%1API Key 只在创建它的地域有效。服务地址：%2")
                              .arg(made, DashScopeEndpoints::host(region, m_store.loadAppConfig().workspaceId)));
}

void ServiceRegionBox::saveWorkspace()
{
    const QString id = m_workspace->text().trimmed();
    if (!AppConfig::isValidWorkspaceId(id)) {
        m_workspaceProblem->setText(tr("业务空间 ID 只能由字母、数字和连字符组成，未保存"));
        m_workspaceProblem->show();
        return;
    }
    m_workspaceProblem->hide();
    m_store.saveAppConfigMember(&AppConfig::workspaceId, id);
    showRegionNote();
}
