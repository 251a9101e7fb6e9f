#include "editing/widgets/SortDialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qv {

QStringList SortDialog::keyCaptions()
{
    return { QStringLiteral("&File Names"), QStringLiteral("File &Sizes"), QStringLiteral("File &Dates"),
        QStringLiteral("&Upload Dates"), QStringLiteral("&Last Download Dates"), QStringLiteral("&Number of Downloads"),
        QStringLiteral("Names of U&ploader") };
}

SortDialog::SortDialog(Scope scope, SortKey preselected, QWidget* parent)
    : QDialog(parent)
{
    setObjectName("Form15");
    setWindowTitle(scope == Scope::All ? QStringLiteral("Sort All...") : QStringLiteral("Sort Selection..."));
    setModal(true);

    auto* byBox = new QGroupBox(QStringLiteral("Sort by"), this);
    byBox->setObjectName("SortBy");
    auto* byLayout = new QVBoxLayout(byBox);
    const QStringList captions = keyCaptions();
    for (int k = 0; k < kSortKeyCount; ++k) {
        m_keys[k] = new QRadioButton(captions[k], byBox);
        m_keys[k]->setObjectName(QStringLiteral("SortOrder%1").arg(k));
        byLayout->addWidget(m_keys[k]);
    }
    m_keys[int(preselected)]->setChecked(true);

    auto* orderBox = new QGroupBox(QStringLiteral("Order"), this);
    orderBox->setObjectName("Order");
    auto* orderLayout = new QVBoxLayout(orderBox);
    m_descending = new QRadioButton(QStringLiteral("D&escending"), orderBox);
    m_descending->setObjectName("Order0");
    m_ascending = new QRadioButton(QStringLiteral("&Ascending"), orderBox);
    m_ascending->setObjectName("Order1");
    m_ascending->setChecked(true);
    orderLayout->addWidget(m_descending);
    orderLayout->addWidget(m_ascending);
    orderLayout->addStretch(1);

    auto* buttons = new QDialogButtonBox(Qt::Vertical, this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName("OK");
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName("Cancel");
    // Escape rejects a QDialog by itself.
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* right = new QVBoxLayout;
    right->addWidget(orderBox);
    right->addWidget(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(byBox);
    layout->addLayout(right);
}

SortKey SortDialog::key() const
{
    for (int k = 0; k < kSortKeyCount; ++k)
        if (m_keys[k]->isChecked())
            return SortKey(k);
    return SortKey::Name;
}

bool SortDialog::descending() const
{
    return !m_ascending->isChecked();
}

std::optional<SortDialog::Choice> SortDialog::ask(QWidget* parent, Scope scope, SortKey preselected)
{
    SortDialog dialog(scope, preselected, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return Choice { dialog.key(), dialog.descending() };
}

} // namespace qv
