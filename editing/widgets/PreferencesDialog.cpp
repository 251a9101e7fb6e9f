#include "editing/widgets/PreferencesDialog.h"

#include "board/Messages.h"
#include "editing/ArchiverChoice.h"
#include "platform/widgets/Dialogs.h"
#include "settings/Settings.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qv {

PreferencesDialog::PreferencesDialog(Settings& settings, AreaItems areas, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_areaItems(std::move(areas))
    , m_dialogs(dialogs)
    , m_definitions(ArchiverDefinitions::fromSlots(settings.archivers))
{
    setObjectName("Preferences");
    setWindowTitle(QStringLiteral("Preferences"));
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName("TabStrip1");
    m_tabs->addTab(buildGeneralPage(), QStringLiteral("General"));
    m_tabs->addTab(buildArchiverPage(), QStringLiteral("Archivers"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("cmdOK");
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName("cmdCancel");
    m_apply = new QPushButton(QStringLiteral("&Apply"), this);
    m_apply->setObjectName("cmdApply");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(m_apply);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] {
        apply();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_apply, &QPushButton::clicked, this, &PreferencesDialog::apply);

    // Opening state: the stored default area, the table up to its first empty slot.
    int index = -1;
    for (size_t i = 0; i < m_areaItems.size(); ++i)
        if (m_areaItems[i].first == settings.startupArea)
            index = int(i);
    if (settings.startupArea == 0 || index < 0) {
        m_first->setChecked(true);
    } else {
        m_following->setChecked(true);
        m_areas->setCurrentIndex(index);
    }
    m_areas->setEnabled(m_following->isChecked());
    fillList();
    m_tabs->setCurrentIndex(0);
    m_apply->setEnabled(false);
    resize(520, 400);
}

QWidget* PreferencesDialog::buildGeneralPage()
{
    auto* page = new QWidget;
    page->setObjectName("General");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Which area should be shown at startup?"), page));
    m_first = new QRadioButton(QStringLiteral("&First area in selected order (Default)"), page);
    m_first->setObjectName("optFirstArea");
    m_following = new QRadioButton(QStringLiteral("&Following area:"), page);
    m_following->setObjectName("optFollowingArea");
    m_areas = new QComboBox(page);
    m_areas->setObjectName("cmbArea");
    for (const auto& [number, text] : m_areaItems)
        m_areas->addItem(text, number);
    layout->addWidget(m_first);
    layout->addWidget(m_following);
    layout->addWidget(m_areas);
    layout->addStretch();
    connect(m_following, &QRadioButton::toggled, this, [this](bool on) {
        m_areas->setEnabled(on);
        changed();
    });
    connect(m_areas, &QComboBox::activated, this, &PreferencesDialog::changed);
    return page;
}

QWidget* PreferencesDialog::buildArchiverPage()
{
    auto* page = new QWidget;
    page->setObjectName("Archivers");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Defined archivers for FILE_ID.DIZ extraction"), page));
    m_list = new QTreeWidget(page);
    m_list->setObjectName("lstArchivers");
    m_list->setHeaderLabels({ QStringLiteral("EXT"), QStringLiteral("Path"), QStringLiteral("Options") });
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->header()->setStretchLastSection(true);
    // Paths are the long column; an extension takes three letters.
    m_list->setColumnWidth(0, m_list->fontMetrics().horizontalAdvance(QStringLiteral("EXTWW")));
    m_list->setColumnWidth(1, m_list->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 38);
    layout->addWidget(m_list, 1);
    auto* form = new QFormLayout;
    m_extension = new QLineEdit(page);
    m_extension->setObjectName("txtExtension");
    m_extension->setMaxLength(3);
    m_path = new QLineEdit(page);
    m_path->setObjectName("txtPath");
    m_options = new QLineEdit(page);
    m_options->setObjectName("txtOptions");
    m_browse = new QPushButton(QStringLiteral("&Browse..."), page);
    m_browse->setObjectName("cmdBrowse");
    m_pathMissing = new QLabel(QStringLiteral("Program not found"), page);
    m_pathMissing->setObjectName("lblPathMissing");
    QPalette warning = m_pathMissing->palette();
    warning.setColor(QPalette::WindowText, Qt::red);
    m_pathMissing->setPalette(warning);
    m_pathMissing->hide();
    auto* pathLine = new QHBoxLayout;
    pathLine->addWidget(m_path, 1);
    pathLine->addWidget(m_pathMissing);
    pathLine->addWidget(m_browse);
    form->addRow(QStringLiteral("Extension:"), m_extension);
    form->addRow(QStringLiteral("Path:"), pathLine);
    form->addRow(QStringLiteral("Options:"), m_options);
    layout->addLayout(form);
    m_addEdit = new QPushButton(QStringLiteral("A&dd/Edit"), page);
    m_addEdit->setObjectName("cmdAddEdit");
    m_delete = new QPushButton(QStringLiteral("D&elete"), page);
    m_delete->setObjectName("cmdDelete");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_addEdit);
    buttons->addWidget(m_delete);
    layout->addLayout(buttons);

    auto showRow = [this](QTreeWidgetItem* item) {
        if (!item)
            return;
        const auto& row = m_definitions.rows()[size_t(m_list->indexOfTopLevelItem(item))];
        m_extension->setText(row.extension);
        m_path->setText(row.path);
        m_options->setText(row.options);
    };
    connect(m_list, &QTreeWidget::currentItemChanged, this, showRow);
    // A click on the current row brings back its values after the boxes were edited.
    connect(m_list, &QTreeWidget::itemClicked, this, showRow);
    connect(m_extension, &QLineEdit::editingFinished, this,
        [this] { m_extension->setText(ArchiverDefinitions::normalizedExtension(m_extension->text())); });
    connect(m_path, &QLineEdit::editingFinished, this, [this] { m_path->setText(m_path->text().trimmed()); });
    // Said while typing: a program that is not there extracts nothing.
    connect(m_path, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_pathMissing->setVisible(!text.trimmed().isEmpty() && !ArchiverChoice::programFound(text.trimmed()));
    });
    connect(m_browse, &QPushButton::clicked, this, [this] {
        const QString found = ArchiverChoice::resolveProgram(m_path->text().trimmed());
        const QString chosen = m_dialogs.pickFile(
            this, QStringLiteral("Archiver program"), found.isEmpty() ? QStringLiteral("/usr/bin") : found);
        if (!chosen.isEmpty())
            m_path->setText(chosen);
    });
    connect(m_options, &QLineEdit::editingFinished, this, [this] { m_options->setText(m_options->text().trimmed()); });
    connect(m_addEdit, &QPushButton::clicked, this, &PreferencesDialog::addOrEdit);
    connect(m_delete, &QPushButton::clicked, this, &PreferencesDialog::deleteDefinition);
    return page;
}

void PreferencesDialog::fillList()
{
    m_list->clear();
    for (const auto& row : m_definitions.rows()) {
        auto* item = new QTreeWidgetItem(m_list, { row.extension, row.path, row.options });
        // A program that is not there extracts nothing; say so where the sysop looks.
        if (!ArchiverChoice::programFound(row.path)) {
            item->setIcon(1, style()->standardIcon(QStyle::SP_MessageBoxWarning));
            item->setToolTip(1, QStringLiteral("Program not found"));
            item->setForeground(1, QBrush(Qt::red));
        }
    }
}

void PreferencesDialog::addOrEdit()
{
    const QString extension = ArchiverDefinitions::normalizedExtension(m_extension->text());
    m_extension->setText(extension);
    if (extension.isEmpty())
        return;
    const int existing = m_definitions.find(extension);
    if (existing >= 0) {
        const auto q = messages::replaceArchiver(extension);
        if (m_dialogs.question(
                this, q.title, q.text, Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::Answer::No)
            != Dialogs::Answer::Yes)
            return;
        m_definitions.replace(existing, m_path->text(), m_options->text());
    } else if (!m_definitions.add({ extension, m_path->text(), m_options->text() })) {
        const auto full = messages::archiverTableFull();
        m_dialogs.message(this, full.title, full.text, Dialogs::Icon::Exclamation);
        return;
    }
    fillList();
    changed();
}

void PreferencesDialog::deleteDefinition()
{
    const QString extension = ArchiverDefinitions::normalizedExtension(m_extension->text());
    const int index = m_definitions.find(extension);
    if (index < 0)
        return;
    const auto q = messages::deleteArchiver(extension);
    if (m_dialogs.question(this, q.title, q.text, Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::Answer::No)
        != Dialogs::Answer::Yes)
        return;
    m_definitions.remove(index);
    fillList();
    changed();
}

void PreferencesDialog::changed()
{
    m_apply->setEnabled(true);
}

void PreferencesDialog::apply()
{
    m_settings.archivers = m_definitions.toSlots();
    const int index = m_areas->currentIndex();
    m_settings.startupArea = m_first->isChecked() || index < 0 ? 0 : m_areas->itemData(index).toInt();
    m_apply->setEnabled(false);
}

} // namespace qv
