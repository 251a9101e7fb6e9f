#include "tools/widgets/FileListDialog.h"

#include "board/Board.h"
#include "platform/widgets/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace qv {

FileListDialog::FileListDialog(const Board& board, Dialogs& dialogs, const QStringList& areaItems, QWidget* parent)
    : QDialog(parent)
    , m_board(board)
    , m_dialogs(dialogs)
{
    setObjectName("MakeFileList");
    setWindowTitle(QStringLiteral("Make File List"));
    m_list = new QListWidget(this);
    m_list->setObjectName("Areas");
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->addItems(areaItems);
    m_list->selectAll();
    m_output = new QLineEdit(this);
    m_output->setObjectName("Output");
    m_newOnly = new QCheckBox(QStringLiteral("&New files only, uploaded in the last"), this);
    m_newOnly->setObjectName("NewOnly");
    m_days = new QSpinBox(this);
    m_days->setObjectName("Days");
    m_days->setRange(0, 36500);
    m_days->setValue(7);
    m_days->setSuffix(QStringLiteral(" days"));
    m_days->setEnabled(false);
    connect(m_newOnly, &QCheckBox::toggled, m_days, &QWidget::setEnabled);
    m_html = new QCheckBox(QStringLiteral("&HTML page (UTF-8)"), this);
    m_html->setObjectName("Html");
    m_banner = new QLineEdit(this);
    m_banner->setObjectName("Banner");
    m_footer = new QLineEdit(this);
    m_footer->setObjectName("Footer");
    m_status = new QLabel(this);
    m_status->setObjectName("Status");
    auto* make = new QPushButton(QStringLiteral("&Make"), this);
    make->setObjectName("Make");
    make->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Close"), this);
    cancel->setObjectName("Close");
    connect(make, &QPushButton::clicked, this, &FileListDialog::make);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* days = new QHBoxLayout;
    days->addWidget(m_newOnly);
    days->addWidget(m_days);
    days->addStretch(1);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Write to:"), m_output);
    form->addRow(QStringLiteral("&Banner file:"), m_banner);
    form->addRow(QStringLiteral("&Footer file:"), m_footer);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(make);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Areas to list:"), this));
    layout->addWidget(m_list, 1);
    layout->addLayout(days);
    layout->addWidget(m_html);
    layout->addLayout(form);
    layout->addLayout(buttons);
    resize(460, 520);
}

FileList::Options FileListDialog::options() const
{
    FileList::Options o;
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->isSelected())
            o.areas.push_back(m_list->item(i)->text().left(5).toInt());
    if (m_newOnly->isChecked())
        o.days = m_days->value();
    o.html = m_html->isChecked();
    return o;
}

bool FileListDialog::make()
{
    FileList::Options o = options();
    const QString out = m_output->text().trimmed();
    auto refuse = [&](const QString& text) {
        m_dialogs.message(this, QStringLiteral("Error!"), text, Dialogs::Icon::Exclamation);
        return false;
    };
    if (out.isEmpty())
        return refuse(QStringLiteral("Give the file the list is written to."));
    if (o.areas.empty())
        return refuse(QStringLiteral("Select the areas to list."));
    for (const auto& [box, into] : { std::pair { m_banner, &o.banner }, std::pair { m_footer, &o.footer } }) {
        const QString path = box->text().trimmed();
        if (path.isEmpty())
            continue;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return refuse(QStringLiteral("Could not open: ") + path);
        *into = f.readAll();
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto r = FileList(m_board).writeFile(out, o, [this](int area) {
        m_status->setText(QStringLiteral("Now doing: area %1").arg(area));
        m_status->repaint();
    });
    QApplication::restoreOverrideCursor();
    if (!r.ok) {
        m_status->clear();
        return refuse(r.problem);
    }
    m_status->setText(
        QStringLiteral("%1 files, %2 bytes in %3 areas").arg(r.totals.files).arg(r.totals.bytes).arg(r.totals.areas));
    return true;
}

} // namespace qv
