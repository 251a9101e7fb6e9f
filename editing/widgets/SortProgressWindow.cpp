#include "editing/widgets/SortProgressWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace qv {

SortProgressWindow::SortProgressWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint)
{
    setObjectName("frmSortStat");
    setWindowTitle(QString());
    setWindowModality(Qt::ApplicationModal);
    m_captions = new QLabel(QStringLiteral("Files to Sort:\nSorted:\nProgress:"), this);
    m_captions->setObjectName("labStat");
    m_values = new QLabel(this);
    m_values->setObjectName("labVal");
    m_values->setAlignment(Qt::AlignRight | Qt::AlignTop);
    m_values->setMinimumWidth(m_values->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cancel->setObjectName("cmdCancel");
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancel->setEnabled(false);
        m_cancelled = true;
    });
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addWidget(m_captions);
    layout->addWidget(m_values);
    layout->addWidget(m_cancel, 0, Qt::AlignBottom);
    setProgress(0, 0);
}

void SortProgressWindow::setProgress(uint64_t settled, uint64_t count)
{
    const uint64_t percent = count ? settled * 100 / count : 0;
    m_values->setText(QStringLiteral("%1\n%2\n%3%").arg(count).arg(settled).arg(percent));
}

QString SortProgressWindow::captions() const
{
    return m_captions->text();
}

QString SortProgressWindow::values() const
{
    return m_values->text();
}

} // namespace qv
