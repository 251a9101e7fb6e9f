#include "editing/widgets/AddFilesDialog.h"

#include "board/Messages.h"
#include "editing/CurrentUploader.h"
#include "editing/PendingFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace qv {

AddFilesDialog::AddFilesDialog(Setup setup, AddHandler add, QWidget* parent)
    : QDialog(parent)
    , m_setup(std::move(setup))
    , m_add(std::move(add))
{
    setObjectName("AddFiles");
    setWindowTitle(QStringLiteral("Add Files"));
    auto* frame = new QGroupBox(QStringLiteral("&Add Files"), this);
    frame->setObjectName("frameAddFiles");
    auto* inner = new QVBoxLayout(frame);
    auto* select = new QLabel(QStringLiteral("Select file(s) to add:"), frame);
    auto* areaLabel = new QLabel(QStringLiteral("Area: %1 - %2").arg(m_setup.area).arg(m_setup.areaName), frame);
    areaLabel->setObjectName("labArea");
    auto* dirLabel = new QLabel(QStringLiteral("Directory: ") + m_setup.directory, frame);
    dirLabel->setObjectName("labDirectory");
    inner->addWidget(select);
    inner->addWidget(areaLabel);
    inner->addWidget(dirLabel);

    auto* form = new QFormLayout;
    m_mask = new QLineEdit(QStringLiteral("*.*"), frame);
    m_mask->setObjectName("txtMask");
    m_uploader = new QLineEdit(m_setup.uploader.left(35), frame);
    m_uploader->setObjectName("txtUploader");
    m_uploader->setMaxLength(35);
    form->addRow(QStringLiteral("Filemask:"), m_mask);
    form->addRow(QStringLiteral("Uploader:"), m_uploader);
    inner->addLayout(form);

    auto* lists = new QStackedWidget(frame);
    m_notInBase = new QListWidget(lists);
    m_notInBase->setObjectName("lstNotInBase");
    m_all = new QListWidget(lists);
    m_all->setObjectName("lstAllFiles");
    for (QListWidget* l : { m_notInBase, m_all }) {
        l->setSelectionMode(QAbstractItemView::ExtendedSelection);
        l->setUniformItemSizes(true);
        lists->addWidget(l);
    }
    inner->addWidget(lists, 1);
    m_count = new QLabel(frame);
    m_count->setObjectName("labCount");
    inner->addWidget(m_count);
    m_showAll = new QCheckBox(QStringLiteral("Show &all files"), frame);
    m_showAll->setObjectName("chkShowAll");
    m_noDiz = new QCheckBox(QStringLiteral("&Do not extract FILE_ID.DIZ"), frame);
    m_noDiz->setObjectName("chkNoDiz");
    inner->addWidget(m_showAll);
    inner->addWidget(m_noDiz);
    m_status = new QLabel(frame);
    m_status->setObjectName("labStatus");
    m_status->setFrameShape(QFrame::StyledPanel);
    inner->addWidget(m_status);

    m_refresh = new QPushButton(QStringLiteral("&Refresh"), this);
    m_refresh->setObjectName("cmdRefresh");
    m_refresh->setEnabled(false);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName("cmdOK");
    m_ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName("cmdCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_refresh);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    resize(420, 480);

    connect(m_mask, &QLineEdit::textChanged, this, [this] { m_refresh->setEnabled(true); });
    m_mask->installEventFilter(this);
    connect(m_refresh, &QPushButton::clicked, this, [this] {
        m_refresh->setEnabled(false);
        refresh();
    });
    connect(m_showAll, &QCheckBox::toggled, this, [this, lists](bool all) {
        lists->setCurrentWidget(all ? m_all : m_notInBase);
        updateCount();
    });
    connect(m_ok, &QPushButton::clicked, this, &AddFilesDialog::onOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void AddFilesDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_listed)
        refresh();
}

bool AddFilesDialog::event(QEvent* event)
{
    // Files come and go while the dialog waits behind another window: list them again.
    if (event->type() == QEvent::WindowActivate && m_listed)
        refresh();
    return QDialog::event(event);
}

bool AddFilesDialog::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the mask box lists the files for the mask; it does not add the selection.
    if (watched == m_mask && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_refresh->setEnabled(false);
            refresh();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AddFilesDialog::refresh()
{
    m_listed = true;
    setStatus(messages::searchingNotInBase());
    const auto listing = PendingFiles::list(m_setup.hostDirectory, m_mask->text(), m_setup.rowTexts);
    // What was selected stays selected where it is still listed.
    auto refill = [](QListWidget* list, const QStringList& names) {
        QSet<QString> selected;
        for (const QListWidgetItem* item : list->selectedItems())
            selected.insert(item->text());
        list->clear();
        list->addItems(names);
        for (int i = 0; i < list->count(); ++i)
            if (selected.contains(list->item(i)->text()))
                list->item(i)->setSelected(true);
    };
    refill(m_notInBase, listing.notInBase);
    refill(m_all, listing.all);
    updateCount();
    setStatus(QString());
}

void AddFilesDialog::setStatus(const QString& text)
{
    m_status->setText(text);
    m_status->repaint();
}

QListWidget* AddFilesDialog::visibleList() const
{
    return m_showAll->isChecked() ? m_all : m_notInBase;
}

void AddFilesDialog::updateCount()
{
    m_count->setText(QStringLiteral("Files: ") + QString::number(visibleList()->count()));
}

void AddFilesDialog::onOk()
{
    // The uploader is kept for the rest of the run, also when nothing is added.
    CurrentUploader::set(m_uploader->text());
    QStringList names;
    const QListWidget* list = visibleList();
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected())
            names << list->item(i)->text();
    if (names.isEmpty() || !m_add) {
        accept();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QStringList missing = m_add(names, m_uploader->text(), !m_noDiz->isChecked());
    QApplication::restoreOverrideCursor();
    if (missing.isEmpty()) {
        accept();
        return;
    }
    // Stay open and say which files had gone; the others were added.
    refresh();
    setStatus(messages::filesVanished(missing));
}

} // namespace qv
